package com.korvan.kvbridge.testmodels;

import java.io.IOException;
import java.io.UncheckedIOException;
import java.nio.charset.StandardCharsets;
import java.nio.file.Files;
import java.nio.file.Path;

/** Resource folders of unpacked FMUs, made in a test's temporary folder. */
public final class Resources {
    private Resources() {}

    /** A folder under {@code parent} whose model.properties holds the given lines. */
    public static Path folder(Path parent, String name, String... descriptorLines) {
        try {
            Path folder = Files.createDirectories(parent.resolve(name));
            Files.writeString(folder.resolve("model.properties"),
                    String.join("\n", descriptorLines) + "\n", StandardCharsets.UTF_8);
            return folder;
        } catch (IOException e) {
            throw new UncheckedIOException(e);
        }
    }

    /** The file: URI a host passes for the folder. */
    public static String uri(Path folder) {
        return folder.toUri().toString();
    }

    public static String idle(Path parent, String name) {
        return uri(folder(parent, name, "model.class=" + IdleModel.class.getName(),
                "model.outputs=2", "model.inputs=1"));
    }

    public static String faulty(Path parent, String name, int failAt) {
        return uri(folder(parent, name, "model.class=" + FaultyModel.class.getName(),
                "model.outputs=1", "model.inputs=1", "parameter.failAt=" + failAt));
    }

    public static String sneakyDeclaration(Path parent, String name) {
        return uri(folder(parent, name, "model.class=" + SneakyDeclaration.class.getName(),
                "model.outputs=1", "model.inputs=0"));
    }

    public static String throwing(Path parent, String name, int where, int what) {
        return uri(folder(parent, name, "model.class=" + ThrowingModel.class.getName(),
                "model.outputs=2", "model.inputs=1", "parameter.where=" + where,
                "parameter.what=" + what));
    }
}
