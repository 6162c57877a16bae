package com.korvan.kvfmu.pack;

import java.io.IOException;
import java.io.PrintStream;
import java.net.URISyntaxException;
import java.net.URL;
import java.nio.charset.StandardCharsets;
import java.nio.file.Files;
import java.nio.file.Path;
import java.nio.file.StandardOpenOption;
import java.util.ArrayList;
import java.util.Collection;
import java.util.Comparator;
import java.util.HashSet;
import java.util.List;
import java.util.Map;
import java.util.Set;
import java.util.TreeMap;
import java.util.concurrent.TimeUnit;
import java.util.stream.Stream;

/**
 * A Java runtime packed into an FMU (resources/runtime/&lt;platform&gt;/), which the FMU's
 * provider takes before any runtime on the machine: the Linux one made here with jlink from
 * the JDK kvfmu-pack runs on, holding only the modules the FMU's classes need; a Windows one
 * taken as a ready folder.
 */
final class RuntimeBundle {
    static final String LINUX_FOLDER = "resources/runtime/linux64/";
    static final String WINDOWS_FOLDER = "resources/runtime/win64/";
    private static final int START_SECONDS = 60;

    private RuntimeBundle() {}

    /**
     * Makes the Linux runtime for the jars in a scratch folder; answers its files under
     * LINUX_FOLDER, read before the folder goes. The resources are the FMU's own
     * (resources/NAME: contents), for a start of the model in the runtime.
     */
    static TreeMap<String, byte[]> linux(List<Path> jars, Collection<String> rootClasses,
                                         List<String> extraModules, Map<String, byte[]> resources,
                                         PrintStream progress) throws PackException {
        Path jdk = Path.of(System.getProperty("java.home"));
        Path jlink = jdk.resolve("bin/jlink");
        Path jdeps = jdk.resolve("bin/jdeps");
        if (!Files.isExecutable(jlink) || !Files.isExecutable(jdeps)
            || !Files.isDirectory(jdk.resolve("jmods"))) {
            throw PackException.input("--bundle-runtime needs a JDK with jlink, jdeps and jmods; "
                                      + jdk + " is not one (on Debian: apt-get install "
                                      + "openjdk-17-jdk-headless)");
        }
        Set<String> modules = RuntimeModules.reachable(classDependencies(jdeps, jars), rootClasses,
                                                       fileNames(jars));
        modules.addAll(extraModules);
        progress.println("kvfmu-pack: making a Java runtime of " + String.join(", ", modules)
                         + " with jlink");
        Path scratch = null;
        try {
            scratch = Files.createTempDirectory("kvfmu-runtime-");
            Path runtime = scratch.resolve("runtime");
            run("jlink", List.of(jlink.toString(), "--add-modules", String.join(",", modules),
                                 "--strip-debug", "--no-header-files", "--no-man-pages",
                                 "--compress=2", "--output", runtime.toString()));
            // The class data archive makes the VM start in a fraction of the time; it needs
            // the launcher once, which the FMU does not carry. It holds the runtime's classes
            // that a VM starting an FMU loads: those every Java program needs, and those the
            // FMU's start needs besides, as a start of the model here lists them.
            Path classList = scratch.resolve("classes.txt");
            Files.copy(runtime.resolve("lib/classlist"), classList);
            Files.write(classList, startClasses(runtime, scratch, resources, progress),
                        StandardOpenOption.APPEND);
            run("the class data archive", List.of(runtime.resolve("bin/java").toString(),
                                                  "-Xshare:dump", "-XX:-UsePerfData",
                                                  "-XX:SharedClassListFile=" + classList));
            deleteTree(runtime.resolve("bin"));
            stripLibraries(runtime, progress);
            return filesUnder(runtime, LINUX_FOLDER);
        } catch (IOException e) {
            throw new PackException(PackException.Kind.OUTPUT,
                                    "cannot make the Java runtime: " + e, e);
        } finally {
            if (scratch != null) deleteTree(scratch);
        }
    }

    /**
     * The runtime's classes that the model's start loads, in the class list's form; none,
     * with a note, when the start fails (the archive then holds what every program needs).
     */
    private static List<String> startClasses(Path runtime, Path scratch, Map<String, byte[]> resources,
                                             PrintStream progress) throws IOException {
        Path folder = Files.createDirectory(scratch.resolve("resources"));
        for (Map.Entry<String, byte[]> file : resources.entrySet()) {
            Files.write(folder.resolve(file.getKey()), file.getValue());
        }
        Path loaded = scratch.resolve("loaded.txt");
        List<String> classPath = new ArrayList<>();
        resources.keySet().stream().filter(name -> name.endsWith(".jar"))
            .forEach(name -> classPath.add(folder.resolve(name).toString()));
        classPath.add(ownJar().toString());
        String failure = startModel(List.of(runtime.resolve("bin/java").toString(),
                                            "-XX:DumpLoadedClassList=" + loaded, "-Xshare:off",
                                            "-XX:-UsePerfData", "-Djava.awt.headless=true",
                                            "-cp", String.join(":", classPath),
                                            StartTraining.class.getName(),
                                            folder.toUri().toString()));
        if (failure != null) {
            progress.println("kvfmu-pack: note: the runtime's class data archive is made without "
                             + "the classes of the model's start (" + failure + ")");
            return List.of();
        }
        // Classes of the class path are left out: the archive is made for the runtime's
        // own, wherever the FMU is unpacked.
        Set<String> runtimeClasses = new HashSet<>();
        try (Stream<String> lines = Files.lines(runtime.resolve("lib/classlist"))) {
            lines.forEach(runtimeClasses::add);
        }
        List<String> extra = new ArrayList<>();
        for (String line : Files.readAllLines(loaded)) {
            if (line.isEmpty() || line.startsWith("#") || runtimeClasses.contains(line)) continue;
            String[] words = line.split(" ");
            boolean keep = switch (words[0]) {
                case "@lambda-form-invoker" -> true;
                case "@lambda-proxy" -> words.length > 1 && runtimeClass(words[1]);
                default -> runtimeClass(words[0]);
            };
            if (keep) extra.add(line);
        }
        return extra;
    }

    // The start of the model in its own process; null when it ended well, else what went
    // wrong. A model whose start waits for something does not hold up the packing.
    private static String startModel(List<String> command) {
        try {
            Process process = new ProcessBuilder(command).redirectErrorStream(true)
                .redirectOutput(ProcessBuilder.Redirect.DISCARD).start();
            process.getOutputStream().close();
            if (!process.waitFor(START_SECONDS, TimeUnit.SECONDS)) {
                process.destroyForcibly();
                return "it did not end within " + START_SECONDS + " s";
            }
            return process.exitValue() == 0 ? null : "it ended with status " + process.exitValue();
        } catch (IOException e) {
            return "it cannot run: " + e.getMessage();
        } catch (InterruptedException e) {
            Thread.currentThread().interrupt();
            return "it was interrupted";
        }
    }

    // Whether the class (java/lang/String) is one of the JDK's, which kvfmu-pack runs on and
    // the runtime was made from.
    private static boolean runtimeClass(String name) {
        URL resource = ClassLoader.getSystemResource(name + ".class");
        return resource != null && resource.getProtocol().equals("jrt");
    }

    private static Path ownJar() throws IOException {
        try {
            return Path.of(StartTraining.class.getProtectionDomain().getCodeSource().getLocation()
                               .toURI());
        } catch (URISyntaxException e) {
            throw new IOException("kvfmu-pack cannot tell its own jar: " + e.getMessage(), e);
        }
    }

    /** A ready Windows runtime folder (bin\server\jvm.dll, release), under WINDOWS_FOLDER. */
    static TreeMap<String, byte[]> windows(Path folder) throws PackException {
        if (!Files.isRegularFile(folder.resolve("release"))
            || !Files.isRegularFile(folder.resolve("bin/server/jvm.dll"))) {
            throw PackException.input("--windows-runtime " + folder + ": not a Windows Java "
                                      + "runtime (it needs a release file and bin/server/jvm.dll)");
        }
        try {
            return filesUnder(folder, WINDOWS_FOLDER);
        } catch (IOException e) {
            throw PackException.input("--windows-runtime " + folder + ": cannot be read (" + e + ")");
        }
    }

    /** jdeps' report of every class's dependencies in the jars (-verbose:class). */
    static List<String> classDependencies(Path jdeps, List<Path> jars) throws PackException {
        List<String> command = new ArrayList<>(List.of(
            jdeps.toString(), "--multi-release", "17", "-verbose:class", "--class-path",
            String.join(":", jars.stream().map(Path::toString).toList())));
        jars.forEach(jar -> command.add(jar.toString()));
        return run("jdeps", command).lines().toList();
    }

    static Set<String> fileNames(List<Path> jars) {
        Set<String> names = new HashSet<>();
        jars.forEach(jar -> names.add(jar.getFileName().toString()));
        return names;
    }

    // Answers the command's output; its output is the message when it fails.
    private static String run(String what, List<String> command) throws PackException {
        try {
            Process process = new ProcessBuilder(command).redirectErrorStream(true).start();
            process.getOutputStream().close();
            String output = new String(process.getInputStream().readAllBytes(),
                                       StandardCharsets.UTF_8);
            int status = process.waitFor();
            if (status != 0) {
                throw new PackException(PackException.Kind.OUTPUT, what + " failed with status "
                                        + status + ": " + output.strip());
            }
            return output;
        } catch (IOException e) {
            throw new PackException(PackException.Kind.OUTPUT, "cannot run " + command.get(0)
                                    + ": " + e, e);
        } catch (InterruptedException e) {
            Thread.currentThread().interrupt();
            throw new PackException(PackException.Kind.OUTPUT, what + " was interrupted", e);
        }
    }

    // The symbol tables of the runtime's native libraries are most of their size; the VM
    // does not read them.
    private static void stripLibraries(Path runtime, PrintStream progress) throws IOException,
                                                                                   PackException {
        List<Path> libraries;
        try (Stream<Path> files = Files.walk(runtime)) {
            libraries = files.filter(file -> file.getFileName().toString().endsWith(".so")).toList();
        }
        for (Path library : libraries) {
            try {
                run("objcopy", List.of("objcopy", "--strip-unneeded", library.toString()));
            } catch (PackException e) {
                progress.println("kvfmu-pack: warning: the runtime's libraries stay unstripped ("
                                 + e.getMessage() + "; objcopy is in binutils)");
                return;
            }
        }
    }

    private static TreeMap<String, byte[]> filesUnder(Path folder, String prefix) throws IOException {
        TreeMap<String, byte[]> files = new TreeMap<>();
        try (Stream<Path> walk = Files.walk(folder)) {
            for (Path file : walk.filter(Files::isRegularFile).toList()) {
                String relative = folder.relativize(file).toString().replace('\\', '/');
                files.put(prefix + relative, Files.readAllBytes(file));
            }
        }
        return files;
    }

    private static void deleteTree(Path folder) {
        try (Stream<Path> walk = Files.walk(folder)) {
            for (Path path : walk.sorted(Comparator.reverseOrder()).toList()) {
                path.toFile().setWritable(true);
                Files.deleteIfExists(path);
            }
        } catch (IOException e) {
            // a scratch folder left behind is no reason to fail the packing
        }
    }
}
