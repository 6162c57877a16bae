package com.korvan.kvfmu.pack;

import com.korvan.kvbridge.model.Declaration;

import java.io.IOException;
import java.io.PrintStream;
import java.nio.file.Files;
import java.nio.file.Path;
import java.util.ArrayList;
import java.util.HashSet;
import java.util.List;
import java.util.Map;
import java.util.Set;

/**
 * kvfmu-pack: packs a model class, or a variable list with the user's own facade, as an
 * FMI 2.0 co-simulation FMU around libkvfmu.
 */
public final class PackCommand {
    static final String FACADE_CLASS_FILE = "com/korvan/kvbridge/KorvanSim.class";
    static final String BRIDGE_JAR = "kvbridge.jar";
    static final String LINUX_BINARY = "binaries/linux64/libkvfmu.so";
    static final String WINDOWS_BINARY = "binaries/win64/libkvfmu.dll";

    private PackCommand() {}

    public static void main(String[] args) {
        System.exit(run(args, System.out, System.err));
    }

    /** Runs the command; answers its exit code. */
    static int run(String[] args, PrintStream out, PrintStream err) {
        try {
            Options options = Options.parse(args);
            if (options.help) {
                out.print(Options.USAGE);
            } else if (options.version) {
                out.println(generationTool());
            } else {
                out.println("kvfmu-pack: wrote " + pack(options));
            }
            return 0;
        } catch (PackException e) {
            err.println("kvfmu-pack: error: " + e.getMessage());
            if (e.kind == PackException.Kind.USAGE) err.println("Try 'kvfmu-pack --help'.");
            return e.kind.exitCode;
        }
    }

    static String generationTool() {
        return "kvfmu-pack " + BuildInfo.VERSION;
    }

    /** Packs what the options name; answers the path of the FMU written. */
    static Path pack(Options options) throws PackException {
        ModelInterface model;
        List<Path> jars = new ArrayList<>();
        byte[] descriptor = null;
        if (options.modelClass != null) {
            Declaration declaration = ModelClassReader.read(options.modelClass, options.modelJars);
            model = interfaceOf(options.modelClass, declaration);
            Map<String, Double> parameters = ParameterValues.resolve(
                options.modelClass, declaration.parameters(), options.parameters);
            Jars.requireJar("bridge jar", options.bridgeJar);
            jars.addAll(options.modelJars);
            List<String> modelJarNames = resourceNames(jars, "model jar", BRIDGE_JAR);
            jars.add(0, options.bridgeJar);
            descriptor = DescriptorWriter.write(options.modelClass, modelJarNames,
                                                model.outputs().size(), model.inputs().size(),
                                                parameters, generationTool());
        } else {
            model = VariableListReader.read(options.variableList);
            for (Path jar : options.facadeJars) Jars.requireJar("facade jar", jar);
            requireFacade(options.facadeJars);
            jars.addAll(options.facadeJars);
            resourceNames(jars, "facade jar");
        }

        FmuArchive archive = new FmuArchive();
        archive.add("modelDescription.xml", ModelDescriptionWriter.write(model, generationTool()));
        List<String> binaries = new ArrayList<>(List.of(LINUX_BINARY));
        archive.add(LINUX_BINARY, read("Linux library", options.linuxLibrary));
        if (options.windowsLibrary != null) {
            archive.add(WINDOWS_BINARY, read("Windows library", options.windowsLibrary));
            binaries.add(WINDOWS_BINARY);
        }
        List<String> jarNames = new ArrayList<>();
        for (int i = 0; i < jars.size(); i++) {
            jarNames.add(descriptor != null && i == 0 ? BRIDGE_JAR : name(jars.get(i)));
        }
        archive.add("documentation/externalDependencies.txt",
                    ExternalDependencies.text(model.modelName(), binaries, jarNames,
                                              descriptor != null));
        for (int i = 0; i < jars.size(); i++) {
            archive.add("resources/" + jarNames.get(i), read("jar", jars.get(i)));
            if (descriptor != null && i == 0) archive.add("resources/model.properties", descriptor);
        }

        Path target = options.output != null ? options.output
            : (options.outputDir != null ? options.outputDir : Path.of(""))
                .resolve(fileName(model.modelName()) + ".fmu");
        try {
            archive.write(target);
        } catch (IOException e) {
            throw new PackException(PackException.Kind.OUTPUT,
                                    "cannot write " + target + ": " + e, e);
        }
        return target;
    }

    private static ModelInterface interfaceOf(String modelClass, Declaration declaration)
            throws PackException {
        try {
            return ModelClassReader.toInterface(declaration);
        } catch (IllegalArgumentException e) {
            throw PackException.input(modelClass + ": " + e.getMessage());
        }
    }

    // The names the jars get in resources/: their own, distinct, not the bridge's, no commas.
    private static List<String> resourceNames(List<Path> jars, String what, String... taken)
            throws PackException {
        Set<String> names = new HashSet<>(List.of(taken));
        List<String> result = new ArrayList<>();
        for (Path jar : jars) {
            String name = name(jar);
            if (name.contains(",")) {
                throw PackException.input(what + " " + jar + ": the file name must not hold a comma");
            }
            if (!names.add(name)) {
                throw PackException.input(what + " " + jar + ": resources/ already has a file named "
                                          + name + "; rename the jar");
            }
            result.add(name);
        }
        return result;
    }

    private static void requireFacade(List<Path> facadeJars) throws PackException {
        for (Path jar : facadeJars) {
            if (Jars.holds(jar, FACADE_CLASS_FILE)) return;
        }
        throw PackException.input("no facade jar holds " + FACADE_CLASS_FILE
                                  + ", the class the library calls");
    }

    private static byte[] read(String what, Path file) throws PackException {
        try {
            return Files.readAllBytes(file);
        } catch (IOException e) {
            throw PackException.input(what + " " + file + ": cannot be read (" + e + ")");
        }
    }

    private static String name(Path file) {
        return file.getFileName().toString();
    }

    // The model's name with what a file name cannot safely hold replaced by '_'.
    static String fileName(String modelName) {
        return modelName.replaceAll("[^A-Za-z0-9._-]", "_");
    }
}
