package com.korvan.kvfmu.pack;

import java.io.IOException;
import java.nio.file.Path;
import java.util.ArrayDeque;
import java.util.Collection;
import java.util.Deque;
import java.util.HashMap;
import java.util.HashSet;
import java.util.List;
import java.util.Map;
import java.util.Set;
import java.util.TreeSet;
import java.util.zip.ZipFile;

/**
 * The Java modules an FMU's classes need: those that the classes reachable from the FMU's
 * entry points depend on, from jdeps' class-level report. Whole-jar reports overstate it: a
 * library jar may use a module in classes the model never reaches (a geometry class of a
 * maths library needs java.desktop; its ODE solvers need java.base alone).
 */
final class RuntimeModules {
    private RuntimeModules() {}

    /**
     * The modules reachable from the root classes, given jdeps -verbose:class output over
     * the FMU's jars; java.base always.
     */
    static Set<String> reachable(List<String> jdepsReport, Collection<String> roots,
                                 Set<String> jarNames) {
        Map<String, Set<String>> classDependencies = new HashMap<>();
        Map<String, Set<String>> moduleDependencies = new HashMap<>();
        for (String line : jdepsReport) {
            if (!line.startsWith(" ")) continue;  // "x.jar -> module" summaries
            String[] parts = line.trim().split("\\s+");
            if (parts.length < 4 || !parts[1].equals("->")) continue;
            String from = parts[0];
            String to = parts[2];
            String location = parts[3];
            if (jarNames.contains(location)) {
                classDependencies.computeIfAbsent(from, k -> new HashSet<>()).add(to);
            } else if (!location.equals("not")) {  // "not found": a class no jar holds
                moduleDependencies.computeIfAbsent(from, k -> new HashSet<>()).add(location);
            }
        }
        Set<String> modules = new TreeSet<>(List.of("java.base"));
        Set<String> seen = new HashSet<>(roots);
        Deque<String> pending = new ArrayDeque<>(roots);
        while (!pending.isEmpty()) {
            String name = pending.pop();
            modules.addAll(moduleDependencies.getOrDefault(name, Set.of()));
            for (String next : classDependencies.getOrDefault(name, Set.of())) {
                if (seen.add(next)) pending.push(next);
            }
        }
        return modules;
    }

    /** The names of the classes a jar holds, e.g. com.example.Model$Part. */
    static List<String> classesIn(Path jar) throws IOException {
        try (ZipFile zip = new ZipFile(jar.toFile())) {
            return zip.stream()
                .map(entry -> entry.getName())
                .filter(name -> name.endsWith(".class") && !name.startsWith("META-INF/")
                                && !name.endsWith("module-info.class"))
                .map(name -> name.substring(0, name.length() - ".class".length()).replace('/', '.'))
                .toList();
        }
    }
}
