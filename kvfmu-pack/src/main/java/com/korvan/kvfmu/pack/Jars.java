package com.korvan.kvfmu.pack;

import java.io.IOException;
import java.nio.file.Files;
import java.nio.file.Path;
import java.util.zip.ZipFile;

/** Checks on the jar files a user names. */
final class Jars {
    private Jars() {}

    /** The file exists, is readable and is a jar (zip) file. */
    static void requireJar(String what, Path jar) throws PackException {
        if (!Files.isRegularFile(jar)) {
            throw PackException.input(what + " " + jar + ": no such file");
        }
        if (!jar.getFileName().toString().endsWith(".jar")) {
            throw PackException.input(what + " " + jar + ": the file name must end in .jar");
        }
        try (ZipFile zip = new ZipFile(jar.toFile())) {
            zip.size();
        } catch (IOException e) {
            throw PackException.input(what + " " + jar + ": not a readable jar file ("
                                      + e.getMessage() + ")");
        }
    }

    /** Whether the jar holds the entry, for example a class file. */
    static boolean holds(Path jar, String entry) throws PackException {
        try (ZipFile zip = new ZipFile(jar.toFile())) {
            return zip.getEntry(entry) != null;
        } catch (IOException e) {
            throw PackException.input(jar + ": not a readable jar file (" + e.getMessage() + ")");
        }
    }
}
