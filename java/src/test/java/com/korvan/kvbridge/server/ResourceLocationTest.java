package com.korvan.kvbridge.server;

import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertThrows;
import static org.junit.jupiter.api.Assertions.assertTrue;

import java.nio.file.Files;
import java.nio.file.Path;
import org.junit.jupiter.api.Test;
import org.junit.jupiter.api.io.TempDir;
import org.junit.jupiter.params.ParameterizedTest;
import org.junit.jupiter.params.provider.CsvSource;

class ResourceLocationTest {
    @ParameterizedTest(name = "{0}")
    @CsvSource(delimiterString = "=>", value = {
        "file:///opt/fmu/resources          => /opt/fmu/resources",
        "file:///opt/fmu/resources/         => /opt/fmu/resources",
        "file:/opt/fmu/resources            => /opt/fmu/resources",
        "file:/opt/fmu/resources/           => /opt/fmu/resources",
        "file://localhost/opt/fmu/resources => /opt/fmu/resources",
        "FILE://LocalHost/opt/fmu/          => /opt/fmu",
        "file:///                           => /",
        "file:///C:/work/fmu/resources      => C:/work/fmu/resources",
        "file:/C:/work/fmu/resources/       => C:/work/fmu/resources",
        "file://C:/work/fmu                 => C:/work/fmu",
        "file:///c|/work                    => c:/work",
        "file:///D:/                        => D:/",
        "file:///tmp/my%20model/resources   => /tmp/my model/resources",
        "file:///tmp/a+b/resources          => /tmp/a+b/resources",
        "file:///tmp/a%2Bb                  => /tmp/a+b",
        "file:///tmp/%7Bguid%7D/resources   => /tmp/{guid}/resources",
        "file:///tmp/{guid}/resources       => /tmp/{guid}/resources",
        "file:///tmp/Mod%C3%A8le/r%C3%A9s   => /tmp/Modèle/rés",
        "file:///tmp/Modèle raw             => /tmp/Modèle raw",
        "file:///tmp/100%25                 => /tmp/100%",
    })
    void readsTheFormsHostsWrite(String uri, String path) throws SimulationException {
        assertEquals(path, ResourceLocation.localPath(uri));
    }

    @ParameterizedTest(name = "{0}")
    @CsvSource(delimiterString = "=>", value = {
        "http://example.org/fmu/resources => not a file: URI",
        "/opt/fmu/resources               => not a file: URI",
        "file:relative/resources          => no absolute path",
        "file://server/share/resources    => names the host server",
        "file:///tmp/100%                 => broken percent escape",
        "file:///tmp/%zz                  => broken percent escape",
        "file:///tmp/%C3                  => not UTF-8",
    })
    void refusesWhatItCannotRead(String uri, String reason) {
        SimulationException e = assertThrows(SimulationException.class,
                () -> ResourceLocation.localPath(uri));
        assertTrue(e.getMessage().contains(reason), e.getMessage());
        assertTrue(e.getMessage().contains(uri), e.getMessage());
    }

    @Test
    void refusesAnEmptyLocation() {
        SimulationException e = assertThrows(SimulationException.class,
                () -> ResourceLocation.localPath(""));
        assertTrue(e.getMessage().startsWith("No resource location"), e.getMessage());
    }

    @Test
    void findsAnExistingFolderAndRefusesAMissingOne(@TempDir Path temp) throws Exception {
        Path folder = Files.createDirectories(temp.resolve("my model {1}"));
        assertEquals(folder, ResourceLocation.folder(folder.toUri().toString()));
        assertEquals(folder, ResourceLocation.folder("file:" + folder + "/"));

        String missing = "file://" + temp.resolve("gone");
        SimulationException e = assertThrows(SimulationException.class,
                () -> ResourceLocation.folder(missing));
        assertTrue(e.getMessage().contains("does not exist"), e.getMessage());

        Path file = Files.writeString(temp.resolve("plain"), "x");
        e = assertThrows(SimulationException.class,
                () -> ResourceLocation.folder(file.toUri().toString()));
        assertTrue(e.getMessage().contains("is not a folder"), e.getMessage());
    }
}
