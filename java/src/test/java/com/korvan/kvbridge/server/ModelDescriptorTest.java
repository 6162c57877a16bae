package com.korvan.kvbridge.server;

import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertThrows;
import static org.junit.jupiter.api.Assertions.assertTrue;

import com.korvan.kvbridge.testmodels.Resources;
import java.io.IOException;
import java.io.StringReader;
import java.nio.file.Path;
import java.util.List;
import java.util.Map;
import java.util.Properties;
import org.junit.jupiter.api.Test;
import org.junit.jupiter.api.io.TempDir;
import org.junit.jupiter.params.ParameterizedTest;
import org.junit.jupiter.params.provider.ValueSource;

class ModelDescriptorTest {
    private static final String VALID = "model.class=com.korvan.kvbridge.models.FirstOrderLag\n"
            + "model.outputs=1\nmodel.inputs=1\n";

    private static ModelDescriptor parse(String text) throws SimulationException {
        Properties properties = new Properties();
        try {
            properties.load(new StringReader(text));
        } catch (IOException e) {
            throw new AssertionError(e);
        }
        return ModelDescriptor.parse(properties, "model.properties");
    }

    private static String refusal(String text) {
        return assertThrows(SimulationException.class, () -> parse(text)).getMessage();
    }

    @Test
    void readsEveryKey(@TempDir Path temp) throws SimulationException {
        Path folder = Resources.folder(temp, "r", "model.class = my.Model ",
                "model.jars=lag.jar, lib/util.jar ,", "model.outputs=2", "model.inputs=0",
                "parameter.K=2.5", "parameter.T=-1e-3", "parameter.y0=.5");
        ModelDescriptor descriptor = ModelDescriptor.read(folder);
        assertEquals("my.Model", descriptor.modelClass());
        assertEquals(List.of("lag.jar", "lib/util.jar"), descriptor.modelJars());
        assertEquals(2, descriptor.outputs());
        assertEquals(0, descriptor.inputs());
        assertEquals(Map.of("K", 2.5, "T", -1e-3, "y0", 0.5), descriptor.parameters());
    }

    @Test
    void aFolderWithoutDescriptorIsRefused(@TempDir Path temp) {
        String message = assertThrows(SimulationException.class,
                () -> ModelDescriptor.read(temp)).getMessage();
        assertTrue(message.contains("has no model.properties"), message);
    }

    @Test
    void unknownKeysAreRefusedByName() {
        String message = refusal(VALID + "model.clas=x\nparamter.K=1\n");
        assertTrue(message.contains("unknown keys model.clas, paramter.K"), message);
    }

    @Test
    void theModelClassAndCountsAreRequired() {
        assertTrue(refusal("model.outputs=1\nmodel.inputs=1\n").contains("add model.class="));
        assertTrue(refusal("model.class=a.B\nmodel.inputs=1\n").contains("lacks model.outputs"));
        assertTrue(refusal("model.class=a.B\nmodel.outputs=1\n").contains("lacks model.inputs"));
        assertTrue(refusal(VALID.replace("inputs=1", "inputs=-1"))
                .contains("model.inputs=-1 is not a count"));
        assertTrue(refusal(VALID.replace("outputs=1", "outputs=two"))
                .contains("model.outputs=two is not a count"));
    }

    @ParameterizedTest
    @ValueSource(strings = {"NaN", "Infinity", "-Infinity", "1e999", "1,5", "0x10", "2d", "abc"})
    void parameterValuesMustBeFiniteDecimals(String value) {
        String message = refusal(VALID + "parameter.K=" + value + "\n");
        assertTrue(message.contains("parameter K=" + value + " is not a finite decimal number"),
                message);
    }

    @Test
    void aParameterWithoutValueIsRefused() {
        assertTrue(refusal(VALID + "parameter.K=\n").contains("parameter K has no value"));
    }
}
