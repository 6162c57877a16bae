package com.korvan.kvfmu.pack;

import static org.junit.jupiter.api.Assertions.assertEquals;

import java.nio.charset.StandardCharsets;
import java.nio.file.Path;
import java.util.List;
import java.util.Random;
import org.junit.jupiter.api.Test;
import org.junit.jupiter.api.io.TempDir;
import org.junit.jupiter.params.ParameterizedTest;
import org.junit.jupiter.params.provider.CsvSource;

/** resources/provider.conf: the GUID, the facade jar, the packed VM options, the start values. */
class ProviderSettingsTest {
    @TempDir
    Path folder;

    @Test
    void settingsOfAModelClassFmu() throws Exception {
        Path fmu = Packing.packLag(folder, "--vm-option", "-Xmx512m", "--vm-option=-Dlag.trace=yes");
        String guid = Packing.modelDescription(fmu).getAttribute("guid");
        assertEquals("# Settings of the FMU's VM provider, written by kvfmu-pack " + BuildInfo.VERSION + "\n"
                     + "guid " + guid + "\n"
                     + "facade-jar kvbridge.jar\n"
                     + "facade-jar commons-math3.jar\n"
                     + "vm-option -Xmx512m\n"
                     + "vm-option -Dlag.trace=yes\n"
                     + "start 4 1.5\n"
                     + "start 5 2\n"
                     + "start 6 2\n"
                     + "start 7 0\n",
                     new String(Packing.entry(fmu, "resources/provider.conf"), StandardCharsets.UTF_8));
    }

    @ParameterizedTest
    @CsvSource(delimiter = '|', value = {
        "0.1                     | 0.1",
        "0.30000000000000004     | 0.30000000000000004",
        "100                     | 100",
        "-2.5                    | -2.5",
        "123456.789              | 123456.789",
        "1e-7                    | 1E-7",
        "0.00001                 | 0.00001",
        "1e16                    | 1E+16",
        "2.5e20                  | 2.5E+20",
        "1.7976931348623157e308  | 1.7976931348623157E+308",
        "4.9e-324                | 5E-324",
        "-0.0                    | -0",
        "0                       | 0",
    })
    void startValuesAreTheShortestExactDecimal(double value, String text) {
        assertEquals(text, ProviderSettingsWriter.shortestDecimal(value));
        assertEquals(Double.doubleToRawLongBits(value),
                     Double.doubleToRawLongBits(Double.parseDouble(text)));
    }

    @Test
    void everyDoubleReadsBackExactly() {
        Random random = new Random(17);
        for (int i = 0; i < 20000; i++) {
            double value = Double.longBitsToDouble(random.nextLong());
            if (!Double.isFinite(value)) continue;
            String text = ProviderSettingsWriter.shortestDecimal(value);
            assertEquals(value, Double.parseDouble(text), text);
        }
    }

    @ParameterizedTest
    @CsvSource(delimiter = '|', value = {
        "Xmx512m                       | a Java VM option starts with '-'",
        "' -Xmx512m'                   | a Java VM option starts with '-'",
        "'-Xmx512m '                   | no surrounding blanks or control characters",
        "-Djava.class.path=/tmp/x.jar  | the class path of the VM is the FMU's jars",
        "-cp                           | the class path of the VM is the FMU's jars",
        "'-Dgreeting=hello #1'         | a '#' after a blank would start a comment",
    })
    void unusableVmOptionsAreRefused(String option, String message) {
        Packing.refused(2, message, "--class", Packing.LAG, "--model-jar",
                        Packing.buildFile("modelJar").toString(), "--vm-option", option,
                        "--output-dir", folder.toString());
    }

    @Test
    void aVmOptionWithALineBreakIsRefused() {
        Packing.refused(2, "no surrounding blanks or control characters", "--class", Packing.LAG,
                        "--model-jar", Packing.buildFile("modelJar").toString(),
                        "--vm-option", "-Da=1\nguid {x}", "--output-dir", folder.toString());
    }

    @Test
    void theWindowsBuildComesWhole() {
        Packing.refused(2, "needs both --windows-library and --windows-provider", "--class",
                        Packing.LAG, "--model-jar", Packing.buildFile("modelJar").toString(),
                        "--windows-library", "libkvfmu.dll", "--output-dir", folder.toString());
        assertEquals(List.of(), folder.toFile().list() == null ? List.of() : List.of(folder.toFile().list()));
    }
}
