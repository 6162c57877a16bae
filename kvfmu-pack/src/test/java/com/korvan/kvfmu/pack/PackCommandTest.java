package com.korvan.kvfmu.pack;

import static org.junit.jupiter.api.Assertions.assertArrayEquals;
import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertTrue;

import java.io.IOException;
import java.io.StringReader;
import java.nio.charset.StandardCharsets;
import java.nio.file.Files;
import java.nio.file.Path;
import java.time.LocalDateTime;
import java.util.List;
import java.util.Map;
import java.util.Properties;
import java.util.stream.Stream;
import java.util.zip.ZipEntry;
import java.util.zip.ZipFile;
import org.junit.jupiter.api.Test;
import org.junit.jupiter.api.io.TempDir;
import org.junit.jupiter.params.ParameterizedTest;
import org.junit.jupiter.params.provider.Arguments;
import org.junit.jupiter.params.provider.MethodSource;
import org.w3c.dom.Element;

/** The FMU a model class packs to, and what the command does with bad input. */
class PackCommandTest {
    @TempDir
    Path folder;

    @Test
    void fmuHoldsTheFilesInAFixedOrderWithSlashPathsAndOneTimeStamp() throws IOException {
        Path fmu = Packing.packLag(folder);
        assertEquals(List.of("modelDescription.xml", "binaries/", "binaries/linux64/",
                             "binaries/linux64/Lag.so", "binaries/linux64/libkvfmu.so",
                             "documentation/", "documentation/externalDependencies.txt",
                             "resources/", "resources/kvbridge.jar",
                             "resources/commons-math3.jar",
                             "resources/kvfmu_pack_test_model.jar", "resources/model.properties",
                             "resources/provider.conf"),
                     Packing.entryNames(fmu));
        try (ZipFile zip = new ZipFile(fmu.toFile())) {
            for (ZipEntry entry : zip.stream().toList()) {
                assertEquals(LocalDateTime.of(1980, 1, 1, 0, 0), entry.getTimeLocal(), entry.getName());
            }
        }
        assertArrayEquals(Files.readAllBytes(Packing.buildFile("linuxLibrary")),
                          Packing.entry(fmu, "binaries/linux64/libkvfmu.so"));
        assertArrayEquals(Files.readAllBytes(Packing.buildFile("linuxProvider")),
                          Packing.entry(fmu, "binaries/linux64/Lag.so"));
        assertArrayEquals(Files.readAllBytes(Packing.buildFile("bridgeJar")),
                          Packing.entry(fmu, "resources/kvbridge.jar"));
        assertArrayEquals(Files.readAllBytes(Packing.buildFile("modelJar")),
                          Packing.entry(fmu, "resources/kvfmu_pack_test_model.jar"));
        // The jars the bridge jar's manifest names travel beside it as facade jars.
        assertArrayEquals(Files.readAllBytes(Path.of("/usr/share/java/commons-math3.jar")),
                          Packing.entry(fmu, "resources/commons-math3.jar"));
        String settings = new String(Packing.entry(fmu, "resources/provider.conf"),
                                     StandardCharsets.UTF_8);
        assertTrue(settings.contains("\nfacade-jar kvbridge.jar\nfacade-jar commons-math3.jar\n"),
                   settings);
        String dependencies = new String(
            Packing.entry(fmu, "documentation/externalDependencies.txt"), StandardCharsets.UTF_8);
        assertTrue(dependencies.contains("resources/kvbridge.jar"), dependencies);
        assertTrue(dependencies.contains("Java runtime (JDK or JRE), version 17 or later"),
                   dependencies);
    }

    @Test
    void samePackingGivesTheSameBytes() throws IOException {
        Path first = Packing.packLag(Files.createDirectory(folder.resolve("first")), "--parameter", "T=4");
        Path second = Packing.packLag(Files.createDirectory(folder.resolve("second")), "--parameter", "T=4");
        assertArrayEquals(Files.readAllBytes(first), Files.readAllBytes(second));
    }

    @Test
    void descriptorNamesClassJarsCountsAndEveryParameter() throws IOException {
        Path fmu = Packing.packLag(folder, "--parameter", "y0 = -1.5e-3");
        Properties descriptor = new Properties();
        descriptor.load(new StringReader(new String(Packing.entry(fmu, "resources/model.properties"),
                                                    StandardCharsets.UTF_8)));
        assertEquals(Map.of("model.class", Packing.LAG, "model.jars", "kvfmu_pack_test_model.jar",
                            "model.outputs", "2", "model.inputs", "2",
                            "parameter.T", "2.0", "parameter.y0", "-0.0015"),
                     Map.copyOf(descriptor));
    }

    @Test
    void descriptorEscapesSurviveLoading() throws IOException {
        String key = "parameter.a b=c:d#e!f\\g\tö";
        String value = " leading blank\\ and = sign";
        Properties loaded = new Properties();
        loaded.load(new StringReader(DescriptorWriter.escape(key, true) + "="
                                     + DescriptorWriter.escape(value, false) + "\n"));
        assertEquals(Map.of(key, value), Map.copyOf(loaded));
    }

    @Test
    void modelDescriptionFollowsTheLibraryLayout() throws Exception {
        Element root = Packing.modelDescription(Packing.packLag(folder));
        assertEquals("Lag", root.getAttribute("modelName"));
        assertTrue(root.getAttribute("guid").matches(
            "\\{[0-9A-F]{8}-[0-9A-F]{4}-5[0-9A-F]{3}-[89AB][0-9A-F]{3}-[0-9A-F]{12}\\}"),
                   root.getAttribute("guid"));
        assertEquals("kvfmu-pack " + BuildInfo.VERSION, root.getAttribute("generationTool"));
        List<Element> variables = ModelDescriptionRules.children(
            (Element) root.getElementsByTagName("ModelVariables").item(0));
        assertEquals(List.of("y:0:output:continuous:", "sum:1:output:continuous:",
                             "y_copy:2:local:continuous:", "sum_copy:3:local:continuous:",
                             "u:4:input:continuous:1.5", "gain:5:input:continuous:2.0",
                             "T:6:parameter:tunable:2.0", "y0:7:parameter:fixed:0.0"),
                     variables.stream().map(v -> v.getAttribute("name") + ":"
                         + v.getAttribute("valueReference") + ":" + v.getAttribute("causality") + ":"
                         + v.getAttribute("variability") + ":"
                         + ((Element) v.getElementsByTagName("Real").item(0)).getAttribute("start"))
                         .toList());
        Element cs = (Element) root.getElementsByTagName("CoSimulation").item(0);
        assertEquals("Lag", cs.getAttribute("modelIdentifier"));
        assertEquals(10, cs.getAttributes().getLength());
        Element experiment = (Element) root.getElementsByTagName("DefaultExperiment").item(0);
        assertEquals("0.01", experiment.getAttribute("stepSize"));
    }

    @Test
    void parametersShowTheirPackedValueUnitAndDescription() throws Exception {
        Element root = Packing.modelDescription(Packing.packLag(folder, "--parameter", "y0=-0.25"));
        Element y0 = ModelDescriptionRules.children(
            (Element) root.getElementsByTagName("ModelVariables").item(0)).get(7);
        assertEquals("Initial output", y0.getAttribute("description"));
        Element real = (Element) y0.getElementsByTagName("Real").item(0);
        assertEquals("m", real.getAttribute("unit"));
        assertEquals("-0.25", real.getAttribute("start"));
    }

    @Test
    void dependenciesAreExactlyTheInputsAnOutputFeedsThrough() throws Exception {
        // Lag: y depends on no input, sum = y + u on u alone (not on gain); at the start
        // the outputs may also depend on the parameters T and y0 (indices 7 and 8).
        Element root = Packing.modelDescription(Packing.packLag(folder));
        assertEquals(List.of("1:", "2:5"), unknowns(root, "Outputs"));
        assertEquals(List.of("1:7 8", "2:5 7 8"), unknowns(root, "InitialUnknowns"));
    }

    private static List<String> unknowns(Element root, String list) {
        return ModelDescriptionRules.children((Element) root.getElementsByTagName(list).item(0))
            .stream().map(u -> u.getAttribute("index") + ":" + u.getAttribute("dependencies")).toList();
    }

    @Test
    void startValuesAreTheInputsThenTheParametersInValueReferenceOrder() throws Exception {
        ModelInterface model = ModelClassReader.toInterface(
            new com.korvan.kvbridge.models.FirstOrderLag().declaration(), Map.of("T", 0.5));
        assertEquals(List.of(new StartValue(2, 0.0), new StartValue(3, 1.0), new StartValue(4, 0.5),
                             new StartValue(5, 0.0), new StartValue(6, 0.01),
                             new StartValue(7, 1e-10), new StartValue(8, 1e-10)),
                     model.startValues());
        assertEquals(9, model.numberOfReals());
    }

    @Test
    void outputDirIsMadeWhenMissing() throws IOException {
        Path nested = folder.resolve("a").resolve("b");
        Packing.Run run = Packing.run("--class", Packing.LAG, "--model-jar",
                                      Packing.buildFile("modelJar").toString(), "--output-dir", nested.toString());
        assertEquals(0, run.exitCode(), run.err());
        assertTrue(Files.isRegularFile(nested.resolve("Lag.fmu")));
    }

    @Test
    void copyNamesStayUniqueAndModelNameMakesTheFileName() throws Exception {
        Packing.Run run = Packing.run("--class", "com.korvan.kvfmu.testmodel.CopyNameClash", "--model-jar",
                              Packing.buildFile("modelJar").toString(), "--output-dir", folder.toString());
        assertEquals(0, run.exitCode(), run.err());
        Path fmu = folder.resolve("Copy_name_clash.fmu");
        Element root = Packing.modelDescription(fmu);
        assertEquals("Copy name clash", root.getAttribute("modelName"));
        List<String> names = ModelDescriptionRules.children(
                (Element) root.getElementsByTagName("ModelVariables").item(0))
            .stream().map(v -> v.getAttribute("name")).toList();
        assertEquals(List.of("a", "a_copy2", "a_copy"), names);
    }

    @Test
    void windowsBuildGoesToWin64() throws IOException {
        Path dll = Packing.write(folder.resolve("libkvfmu.dll"), "MZ stand-in");
        Path provider = Packing.write(folder.resolve("kvfmu_provider.dll"), "MZ provider stand-in");
        Path runtime = folder.resolve("jre-win64");
        Packing.write(Files.createDirectories(runtime.resolve("bin/server")).resolve("jvm.dll"), "MZ VM");
        Packing.write(runtime.resolve("release"), "JAVA_VERSION=\"17.0.9\"\n");
        Path fmu = Packing.packLag(folder, "--windows-library", dll.toString(),
                                   "--windows-provider", provider.toString(),
                                   "--windows-runtime", runtime.toString());
        assertArrayEquals(Files.readAllBytes(dll), Packing.entry(fmu, "binaries/win64/libkvfmu.dll"));
        assertEquals("MZ VM", new String(Packing.entry(fmu, "resources/runtime/win64/bin/server/jvm.dll"),
                                         StandardCharsets.UTF_8));
        assertTrue(Packing.entryNames(fmu).contains("resources/runtime/win64/release"));
        assertArrayEquals(Files.readAllBytes(provider), Packing.entry(fmu, "binaries/win64/Lag.dll"));
        // The licence of the runtime library linked into them travels with them.
        assertTrue(new String(Packing.entry(fmu, "documentation/licenses/windows-binaries.txt"),
                              StandardCharsets.UTF_8).contains("winpthreads"));
        List<String> names = Packing.entryNames(fmu);
        assertEquals(List.of("binaries/linux64/Lag.so", "binaries/linux64/libkvfmu.so",
                             "binaries/win64/", "binaries/win64/Lag.dll",
                             "binaries/win64/libkvfmu.dll"),
                     names.subList(names.indexOf("binaries/linux64/Lag.so"),
                                   names.indexOf("binaries/win64/libkvfmu.dll") + 1));
    }

    static Stream<Arguments> badInput() {
        String jar = System.getProperty("kvfmu.test.modelJar");
        String model = "com.korvan.kvfmu.testmodel.";
        String builtIn = "com.korvan.kvbridge.models.";
        return Stream.of(
            Arguments.of(new String[] {"--class", model + "Nowhere", "--model-jar", jar}, 3,
                         "model class " + model + "Nowhere not found"),
            Arguments.of(new String[] {"--class", model + "Lag"}, 3,
                         "not found in kvbridge.jar (no model jar given)"),
            Arguments.of(new String[] {"--class", builtIn + "WaterTank", "--runtime-module", "java.sql"},
                         2, "--runtime-module goes with --bundle-runtime"),
            Arguments.of(new String[] {"--class", builtIn + "WaterTank", "--windows-runtime", "jre"},
                         2, "--windows-runtime needs the Windows build"),
            Arguments.of(new String[] {"--class", model + "NotAModel", "--model-jar", jar}, 3,
                         "is not a model: it does not implement com.korvan.kvbridge.model.Model"),
            Arguments.of(new String[] {"--class", model + "NeedsArguments", "--model-jar", jar}, 3,
                         "has no public no-argument constructor"),
            Arguments.of(new String[] {"--class", model + "BrokenDeclaration", "--model-jar", jar}, 3,
                         "declaration() failed: java.lang.IllegalStateException: declaration not ready"),
            Arguments.of(new String[] {"--class", model + "ControlCharacterName", "--model-jar", jar}, 3,
                         "output name 'two?lines' holds a control character"),
            Arguments.of(new String[] {"--class", model + "Lag", "--model-jar", "missing.jar"}, 3,
                         "model jar missing.jar: no such file"),
            Arguments.of(new String[] {"--class", model + "Lag", "--model-jar", jar, "--parameter", "K=1"}, 3,
                         "unknown parameter 'K' for " + model + "Lag; its parameters are: T, y0"),
            Arguments.of(new String[] {"--class", model + "Lag", "--model-jar", jar, "--parameter", "T=fast"}, 3,
                         "parameter T: 'fast' is not a finite decimal number"),
            Arguments.of(new String[] {"--class", model + "Lag", "--model-jar", jar, "--parameter", "T=1e400"}, 3,
                         "'1e400' is not a finite decimal number"),
            Arguments.of(new String[] {"--class", model + "Lag", "--model-jar", jar, "--parameter", "T=NaN"}, 3,
                         "'NaN' is not a finite decimal number"),
            Arguments.of(new String[] {"--class", builtIn + "FirstOrderLag", "--parameter", "T=-1"}, 3,
                         "model FirstOrderLag cannot start with the packed parameters and the inputs'"
                         + " start values: Parameter T must be greater than 0, not -1.0"
                         + " (IllegalArgumentException)"),
            Arguments.of(new String[] {"--class", builtIn + "WaterTank", "--parameter", "h0=-0.5"}, 3,
                         "Parameter h0 must not be negative, not -0.5"),
            Arguments.of(new String[] {"--class", model + "StartsBadly", "--model-jar", jar}, 3,
                         "model StartsBadly cannot start with the packed parameters and the inputs'"
                         + " start values: it gives NaN for output y at the start time 0.0"),
            Arguments.of(new String[] {"--class", model + "StartsBadly", "--model-jar", jar,
                                       "--parameter", "mode=1"}, 3,
                         "start values: the pump table is missing (IOException)"),
            Arguments.of(new String[] {"--class", model + "Lag", "--model-jar", jar, "--parameter", "T"}, 2,
                         "--parameter T: expected NAME=VALUE"),
            Arguments.of(new String[] {"--class", model + "Lag", "--variables", "x.txt"}, 2,
                         "give either --class or --variables"),
            Arguments.of(new String[] {"--model-jar", jar}, 2, "give either --class or --variables"),
            Arguments.of(new String[] {"--variables", "x.txt"}, 2, "--variables needs --facade-jar"),
            Arguments.of(new String[] {"--class", model + "Lag", "--output", "lag.zip"}, 2,
                         "the file name must end in .fmu"),
            Arguments.of(new String[] {"--class"}, 2, "--class needs a value"),
            Arguments.of(new String[] {"--clas", "x"}, 2, "unknown option '--clas'"));
    }

    @ParameterizedTest
    @MethodSource
    void badInput(String[] args, int exitCode, String message) throws IOException {
        String[] all = Stream.concat(Stream.of("--output-dir", folder.toString()), Stream.of(args))
            .toArray(String[]::new);
        Packing.refused(exitCode, message, all);
        try (Stream<Path> files = Files.list(folder)) {
            assertEquals(List.of(), files.toList(), "nothing written");
        }
    }

    @Test
    void aFileThatIsNotAJarIsRefused() throws IOException {
        Path fake = Packing.write(folder.resolve("fake.jar"), "not a zip");
        Packing.refused(3, "fake.jar: not a readable jar file", "--class", Packing.LAG,
                        "--model-jar", fake.toString(), "--output-dir", folder.toString());
    }

    @Test
    void aModelJarNamedLikeTheBridgeIsRefused() throws IOException {
        Path copy = Files.copy(Packing.buildFile("modelJar"),
                               Files.createDirectory(folder.resolve("x")).resolve("kvbridge.jar"));
        Packing.refused(3, "resources/ already has a file named kvbridge.jar", "--class",
                        Packing.LAG, "--model-jar", copy.toString(), "--output-dir", folder.toString());
    }

    @Test
    void anFmuThatCannotBeWrittenFailsWithItsOwnCodeAndLeavesNothing() throws IOException {
        Path blocker = Packing.write(folder.resolve("blocker"), "a file where a folder must be");
        Packing.refused(4, "cannot write", "--class", Packing.LAG, "--model-jar",
                        Packing.buildFile("modelJar").toString(),
                        "--output-dir", blocker.resolve("sub").toString());
        try (Stream<Path> files = Files.list(folder)) {
            assertEquals(List.of(blocker), files.toList());
        }
    }

    @Test
    void helpAndVersion() {
        Packing.Run help = Packing.run("--help");
        assertEquals(0, help.exitCode());
        assertTrue(help.out().contains("--variables FILE"), help.out());
        Packing.Run version = Packing.run("--version");
        assertEquals("kvfmu-pack " + BuildInfo.VERSION + "\n", version.out());
    }
}
