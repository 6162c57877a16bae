package com.korvan.kvfmu.pack;

import java.io.IOException;
import java.nio.file.Files;
import java.nio.file.Path;
import java.util.ArrayList;
import java.util.List;
import java.util.jar.Attributes;
import java.util.jar.JarFile;
import java.util.jar.Manifest;
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

    /**
     * The jars the jar's manifest names in its Class-Path, beside it: what it needs at run
     * time. Each must be there.
     */
    static List<Path> classPath(String what, Path jar) throws PackException {
        String classPath;
        try (JarFile file = new JarFile(jar.toFile())) {
            Manifest manifest = file.getManifest();
            classPath = manifest == null ? null
                : manifest.getMainAttributes().getValue(Attributes.Name.CLASS_PATH);
        } catch (IOException e) {
            throw PackException.input(what + " " + jar + ": not a readable jar file ("
                                      + e.getMessage() + ")");
        }
        List<Path> jars = new ArrayList<>();
        if (classPath == null) return jars;
        Path folder = jar.toAbsolutePath().getParent();
        for (String name : classPath.trim().split("\\s+")) {
            Path needed = folder.resolve(name);
            if (name.contains("/") || !Files.isRegularFile(needed)) {
                throw PackException.input(what + " " + jar + " needs " + name + " (its manifest's"
                                          + " Class-Path), which is not beside it");
            }
            jars.add(needed);
        }
        return jars;
    }
}
