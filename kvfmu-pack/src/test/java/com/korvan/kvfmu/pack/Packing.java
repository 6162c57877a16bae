package com.korvan.kvfmu.pack;

import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertTrue;

import java.io.ByteArrayInputStream;
import java.io.ByteArrayOutputStream;
import java.io.IOException;
import java.io.InputStream;
import java.io.PrintStream;
import java.nio.charset.StandardCharsets;
import java.nio.file.Files;
import java.nio.file.Path;
import java.util.ArrayList;
import java.util.List;
import java.util.zip.ZipEntry;
import java.util.zip.ZipFile;
import javax.xml.parsers.DocumentBuilderFactory;
import org.w3c.dom.Element;

/**
 * What the tests need around the packer: the build's files (named by system properties the
 * test run sets), a run of the command that keeps its exit code and output, and readers
 * for the FMU it wrote.
 */
final class Packing {
    private Packing() {}

    /** A file of the build named by the system property kvfmu.test.&lt;name&gt;. */
    static Path buildFile(String name) {
        String value = System.getProperty("kvfmu.test." + name);
        if (value == null || value.isEmpty()) {
            throw new IllegalStateException("system property kvfmu.test." + name + " is not set");
        }
        return Path.of(value);
    }

    static final String LAG = "com.korvan.kvfmu.testmodel.Lag";

    record Run(int exitCode, String out, String err) {}

    static Run run(String... args) {
        ByteArrayOutputStream out = new ByteArrayOutputStream();
        ByteArrayOutputStream err = new ByteArrayOutputStream();
        int code = PackCommand.run(args, new PrintStream(out, true, StandardCharsets.UTF_8),
                                   new PrintStream(err, true, StandardCharsets.UTF_8));
        return new Run(code, out.toString(StandardCharsets.UTF_8), err.toString(StandardCharsets.UTF_8));
    }

    /** Runs the command and fails unless it exits with the code and its message holds the text. */
    static Run refused(int exitCode, String text, String... args) {
        Run run = run(args);
        assertEquals(exitCode, run.exitCode(), run.err());
        assertTrue(run.err().startsWith("kvfmu-pack: error: "), run.err());
        assertTrue(run.err().contains(text), run.err());
        return run;
    }

    /** Runs the command and fails unless it packed; answers the FMU it names. */
    static Path pack(Path fmu, String... args) {
        List<String> all = new ArrayList<>(List.of(args));
        all.add("--output");
        all.add(fmu.toString());
        Run run = run(all.toArray(new String[0]));
        assertEquals(0, run.exitCode(), run.err());
        return fmu;
    }

    /** The Lag test model packed from its jar into the folder, with extra arguments. */
    static Path packLag(Path folder, String... extra) {
        List<String> args = new ArrayList<>(List.of(
            "--class", LAG, "--model-jar", buildFile("modelJar").toString()));
        args.addAll(List.of(extra));
        return pack(folder.resolve("Lag.fmu"), args.toArray(new String[0]));
    }

    static List<String> entryNames(Path fmu) throws IOException {
        try (ZipFile zip = new ZipFile(fmu.toFile())) {
            return zip.stream().map(ZipEntry::getName).toList();
        }
    }

    static byte[] entry(Path fmu, String name) throws IOException {
        try (ZipFile zip = new ZipFile(fmu.toFile())) {
            ZipEntry entry = zip.getEntry(name);
            if (entry == null) throw new IOException(fmu + " has no entry " + name);
            try (InputStream in = zip.getInputStream(entry)) {
                return in.readAllBytes();
            }
        }
    }

    static Element modelDescription(Path fmu) throws Exception {
        return parse(entry(fmu, "modelDescription.xml"));
    }

    static Element parse(byte[] xml) throws Exception {
        DocumentBuilderFactory factory = DocumentBuilderFactory.newInstance();
        factory.setIgnoringComments(true);
        return factory.newDocumentBuilder()
            .parse(new ByteArrayInputStream(xml)).getDocumentElement();
    }

    static Path write(Path file, String text) throws IOException {
        Files.writeString(file, text, StandardCharsets.UTF_8);
        return file;
    }
}
