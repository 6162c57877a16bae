package com.korvan.kvbridge.server;

import static org.junit.jupiter.api.Assertions.assertArrayEquals;
import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertFalse;
import static org.junit.jupiter.api.Assertions.assertTrue;

import com.korvan.kvbridge.KorvanSim;
import com.korvan.kvbridge.testmodels.Resources;
import java.nio.file.Path;
import org.junit.jupiter.api.io.TempDir;
import org.junit.jupiter.params.ParameterizedTest;
import org.junit.jupiter.params.provider.CsvSource;

/**
 * Whatever a model throws, also what ordinary catch clauses miss, fails the call with the
 * model's own message, ends the run and leaves the outputs of the last good step.
 */
class ContainmentTest {
    @TempDir Path temp;

    @ParameterizedTest(name = "{2} in {0}")
    @CsvSource(delimiterString = "|", value = {
        "1 | 1 | the table file is gone (IOException)",
        "1 | 2 | level below the outlet (AssertionError)",
        "1 | 3 | Java heap space (OutOfMemoryError)",
        "2 | 1 | the table file is gone (IOException)",
        "2 | 2 | level below the outlet (AssertionError)",
        "2 | 3 | Java heap space (OutOfMemoryError)",
    })
    void aModelFailureOfAnyKindEndsTheRunWithItsMessage(int where, int what, String reason) {
        KorvanSim facade = KorvanSim.connectedTo(new EmbeddedServer());
        String name = "throwing" + where + what;
        assertTrue(facade.doInstantiate(name, Resources.throwing(temp, name, where, what)));
        assertTrue(facade.doSetupExperiment(name, 0.0, false, 0.0));
        if (where == 1) {
            assertFalse(facade.doInitializeModel(name));
            assertEquals("Model Throwing failed to initialize at t = 0.0: " + reason,
                    facade.getLasterror());
            assertArrayEquals(new double[] {0.0, 0.0}, facade.getData(name));
            return;
        }
        assertTrue(facade.doInitializeModel(name));
        assertTrue(facade.doStepModel(name, 0.0, 0.1, new double[] {3.0}));
        assertFalse(facade.doStepModel(name, 0.1, 0.1, new double[] {4.0}));
        assertEquals("Model Throwing failed in the step from t = 0.1 over 0.1 s: " + reason,
                facade.getLasterror());
        // The failed step wrote half its outputs: they are not shown as results.
        assertArrayEquals(new double[] {3.0, 0.1}, facade.getData(name));
        assertFalse(facade.doStepModel(name, 0.2, 0.1, new double[] {4.0}));
        assertTrue(facade.getLasterror().contains("has ended its run"), facade.getLasterror());
        facade.doFreeInstance(name);
    }
}
