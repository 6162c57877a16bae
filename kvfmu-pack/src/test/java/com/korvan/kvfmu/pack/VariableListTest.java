package com.korvan.kvfmu.pack;

import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertThrows;
import static org.junit.jupiter.api.Assertions.assertTrue;

import com.korvan.kvbridge.model.DefaultExperiment;
import com.korvan.kvbridge.model.Input;

import java.nio.charset.StandardCharsets;
import java.nio.file.Files;
import java.nio.file.Path;
import java.util.List;
import org.junit.jupiter.api.Test;
import org.junit.jupiter.api.io.TempDir;

/** The variable list: what it reads, what it refuses with line numbers, and its FMU. */
class VariableListTest {
    @TempDir
    Path folder;

    @Test
    void readsEveryRecordInOrder() throws PackException {
        ModelInterface model = VariableListReader.parse("plant.txt", String.join("\r\n",
            "# Plant served by our own server",
            "",
            "model   Plant   Heating plant,  two zones",
            "experiment 0 3600 1.5",
            "   # indented comment",
            "output T1 degC heat,valve  Zone 1   temperature",
            "output T2 degC -",
            "input  heat W 250.0 Heat flow into zone 1",
            "input  valve - -0.5"));
        assertEquals("Plant", model.modelName());
        assertEquals("Heating plant,  two zones", model.description());
        assertEquals(new DefaultExperiment(0, 3600, 1.5), model.experiment());
        assertEquals(List.of(
                new OutputVariable("T1", "Zone 1   temperature", "degC", List.of("heat", "valve")),
                new OutputVariable("T2", "", "degC", List.of())),
            model.outputs());
        assertEquals(List.of(new Input("heat", "Heat flow into zone 1", "W", 250.0),
                             new Input("valve", "", "", -0.5)),
                     model.inputs());
    }

    @Test
    void reportsEveryFaultWithItsLineNumber() {
        PackException e = assertThrows(PackException.class, () -> VariableListReader.parse("v.txt", """
            model A
            model B
            experiment 0 zero 1
            output y m
            output y2 m u,w
            output y2 m -
            input u - start
            input v
            input a,b - 0
            parameter k 1
            experiment 1 0 1
            """));
        assertEquals(PackException.Kind.INPUT, e.kind);
        assertEquals(String.join("\n",
            "v.txt:2: a second model line (the first is line 1)",
            "v.txt:3: stop time: 'zero' is not a finite decimal number",
            "v.txt:4: output: expected 'output NAME UNIT DEPENDS [DESCRIPTION]'",
            "v.txt:6: the name y2 is used before, on line 5",
            "v.txt:7: start value of u: 'start' is not a finite decimal number",
            "v.txt:8: input: expected 'input NAME UNIT START [DESCRIPTION]'",
            "v.txt:9: the name a,b holds a comma",
            "v.txt:10: unknown record 'parameter' (expected model, experiment, output or input)",
            "v.txt:11: a second experiment line (the first is line 3)",
            "v.txt:5: output y2 depends on 'w', which is not an input"), e.getMessage());
    }

    @Test
    void reportsWhatIsMissing() {
        PackException e = assertThrows(PackException.class,
            () -> VariableListReader.parse("empty.txt", "# nothing\n"));
        assertEquals(String.join("\n", "empty.txt: no model line ('model NAME [DESCRIPTION]')",
                                 "empty.txt: no experiment line ('experiment START STOP STEP')",
                                 "empty.txt: no output line"), e.getMessage());
        PackException order = assertThrows(PackException.class, () -> VariableListReader.parse(
            "t.txt", "model M\nexperiment 2 1 0.1\noutput y - -\n"));
        assertEquals("t.txt:2: experiment: need START < STOP and STEP > 0", order.getMessage());
    }

    @Test
    void commandReportsListFaultsAndUnreadableFiles() throws Exception {
        String facade = Packing.buildFile("facadeJar").toString();
        Path list = Packing.write(folder.resolve("bad.txt"), "model M\nexperiment 0 1 0.1\noutput y\n");
        Packing.refused(3, list + ":3: output: expected", "--variables", list.toString(),
                        "--facade-jar", facade, "--output-dir", folder.toString());
        Packing.refused(3, "none.txt: cannot be read", "--variables",
                        folder.resolve("none.txt").toString(), "--facade-jar", facade);

        Path latin1 = folder.resolve("latin1.txt");
        Files.write(latin1, new byte[] {'m', 'o', 'd', 'e', 'l', ' ', (byte) 0xE9, '\n'});
        Packing.refused(3, "not UTF-8 text", "--variables", latin1.toString(), "--facade-jar", facade);
    }

    @Test
    void facadeJarMustHoldTheFacadeClass() throws Exception {
        Path list = Packing.write(folder.resolve("ok.txt"), "model M\nexperiment 0 1 0.1\noutput y - -\n");
        Packing.refused(3, "no facade jar holds com/korvan/kvbridge/KorvanSim.class",
                        "--variables", list.toString(), "--facade-jar",
                        Packing.buildFile("modelJar").toString(), "--output-dir", folder.toString());
    }

    @Test
    void fmuCarriesTheFacadeJarsAndNoDescriptor() throws Exception {
        Path list = Packing.write(folder.resolve("ok.txt"), "model M\nexperiment 0 1 0.1\noutput y - -\n");
        Path facade = Packing.buildFile("facadeJar");
        Path fmu = Packing.pack(folder.resolve("M.fmu"), "--variables", list.toString(),
                                "--facade-jar", facade.toString(),
                                "--facade-jar", Packing.buildFile("modelJar").toString());
        assertEquals(List.of("modelDescription.xml", "binaries/", "binaries/linux64/",
                             "binaries/linux64/M.so", "binaries/linux64/libkvfmu.so",
                             "documentation/", "documentation/externalDependencies.txt",
                             "resources/", "resources/" + facade.getFileName(),
                             "resources/kvfmu_pack_test_model.jar", "resources/provider.conf"),
                     Packing.entryNames(fmu));
        String settings = new String(Packing.entry(fmu, "resources/provider.conf"),
                                     StandardCharsets.UTF_8);
        assertTrue(settings.contains("\nfacade-jar " + facade.getFileName()
                                     + "\nfacade-jar kvfmu_pack_test_model.jar\n"), settings);
    }
}
