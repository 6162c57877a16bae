package com.korvan.kvfmu.pack;

import java.io.IOException;
import java.io.OutputStream;
import java.nio.file.Files;
import java.nio.file.Path;
import java.nio.file.StandardCopyOption;
import java.nio.file.attribute.PosixFilePermissions;
import java.time.LocalDateTime;
import java.util.ArrayList;
import java.util.HashSet;
import java.util.List;
import java.util.Set;
import java.util.zip.ZipEntry;
import java.util.zip.ZipOutputStream;

/**
 * The files of an FMU, written as a zip with '/' paths in the order they were added, every
 * folder entry before its first file, and one fixed time stamp: the same files give the same
 * bytes. The archive appears under its name only when complete.
 */
final class FmuArchive {
    // The earliest time a zip's MS-DOS time stamp holds; no time zone enters it.
    private static final LocalDateTime TIME_STAMP = LocalDateTime.of(1980, 1, 1, 0, 0);

    private record Entry(String path, byte[] data) {}

    private final List<Entry> entries = new ArrayList<>();
    private final Set<String> paths = new HashSet<>();

    /** Adds a file at a relative path with '/' separators; folders come by themselves. */
    void add(String path, byte[] data) {
        for (String part : path.split("/", -1)) {
            if (part.isEmpty() || part.equals(".") || part.equals("..") || part.contains("\\")) {
                throw new IllegalArgumentException("not a relative file path: " + path);
            }
        }
        for (int slash = path.indexOf('/'); slash >= 0; slash = path.indexOf('/', slash + 1)) {
            String folder = path.substring(0, slash + 1);
            if (paths.add(folder)) entries.add(new Entry(folder, null));
        }
        if (!paths.add(path)) throw new IllegalArgumentException("added twice: " + path);
        entries.add(new Entry(path, data));
    }

    // A temporary file is private to its owner; the FMU is not.
    private static void readableByAll(Path file) throws IOException {
        try {
            Files.setPosixFilePermissions(file, PosixFilePermissions.fromString("rw-r--r--"));
        } catch (UnsupportedOperationException notPosix) {
            // the file system's defaults apply
        }
    }

    void write(Path target) throws IOException {
        Path folder = target.toAbsolutePath().getParent();
        Files.createDirectories(folder);
        Path partial = Files.createTempFile(folder, ".kvfmu-pack-", ".part");
        try {
            try (OutputStream file = Files.newOutputStream(partial);
                 ZipOutputStream zip = new ZipOutputStream(file)) {
                for (Entry entry : entries) {
                    ZipEntry zipEntry = new ZipEntry(entry.path());
                    zipEntry.setTimeLocal(TIME_STAMP);
                    zip.putNextEntry(zipEntry);
                    if (entry.data() != null) zip.write(entry.data());
                    zip.closeEntry();
                }
            }
            readableByAll(partial);
            Files.move(partial, target, StandardCopyOption.REPLACE_EXISTING,
                       StandardCopyOption.ATOMIC_MOVE);
        } finally {
            Files.deleteIfExists(partial);
        }
    }
}
