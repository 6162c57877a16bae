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
import java.util.TreeMap;

/**
 * kvfmu-pack: packs a model class, or a variable list with the user's own facade, as an
 * FMI 2.0 co-simulation FMU around libkvfmu.
 */
public final class PackCommand {
    static final String FACADE_CLASS_FILE = "com/korvan/kvbridge/KorvanSim.class";
    static final String BRIDGE_JAR = "kvbridge.jar";
    static final String LINUX_FOLDER = "binaries/linux64/";
    static final String WINDOWS_FOLDER = "binaries/win64/";

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
                out.println("kvfmu-pack: wrote " + pack(options, out));
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

    /** A jar that goes into resources/ under the name given. */
    private record ResourceJar(String name, Path file) {}

    /**
     * What the FMU holds besides the binaries; the facade jars are those among the jars that
     * hold the facade; the descriptor is null for variable lists. The entry classes are
     * where the Java side starts (the facade's jars and the model class).
     */
    private record Contents(ModelInterface model, List<ResourceJar> jars, List<String> facadeJars,
                            byte[] descriptor, List<String> entryClasses) {}

    /** Packs what the options name, telling progress; answers the path of the FMU written. */
    static Path pack(Options options, PrintStream progress) throws PackException {
        Contents contents = options.modelClass != null ? fromModelClass(options)
                                                       : fromVariableList(options);
        ModelInterface model = contents.model();
        String modelIdentifier = FmuIdentity.modelIdentifier(model.modelName());
        byte[] description = ModelDescriptionWriter.write(model, generationTool(), modelIdentifier);
        String guid = FmuIdentity.guidOf(description);
        FmuArchive archive = new FmuArchive();
        archive.add("modelDescription.xml", FmuIdentity.withGuid(description, guid));
        List<String> binaries = new ArrayList<>();
        addBinaries(archive, binaries, LINUX_FOLDER, modelIdentifier + ".so", options.linuxProvider,
                    "libkvfmu.so", options.linuxLibrary);
        if (options.windowsLibrary != null) {
            addBinaries(archive, binaries, WINDOWS_FOLDER, modelIdentifier + ".dll",
                        options.windowsProvider, "libkvfmu.dll", options.windowsLibrary);
        }
        Map<String, byte[]> runtimes = new TreeMap<>();
        if (options.bundleRuntime) {
            Map<String, byte[]> resources = new TreeMap<>();
            for (ResourceJar jar : contents.jars()) resources.put(jar.name(), read("jar", jar.file()));
            if (contents.descriptor() != null) resources.put("model.properties", contents.descriptor());
            runtimes.putAll(RuntimeBundle.linux(contents.jars().stream().map(ResourceJar::file).toList(),
                                                contents.entryClasses(), options.runtimeModules,
                                                resources, progress));
        }
        if (options.windowsRuntime != null) runtimes.putAll(RuntimeBundle.windows(options.windowsRuntime));
        archive.add("documentation/externalDependencies.txt",
                    ExternalDependencies.text(model.modelName(), binaries,
                                              contents.jars().stream().map(ResourceJar::name).toList(),
                                              contents.descriptor() != null, options.bundleRuntime,
                                              options.windowsRuntime != null));
        if (options.windowsLibrary != null) archive.add(WindowsNotices.PATH, WindowsNotices.text());
        for (ResourceJar jar : contents.jars()) {
            archive.add("resources/" + jar.name(), read("jar", jar.file()));
        }
        if (contents.descriptor() != null) {
            archive.add("resources/model.properties", contents.descriptor());
        }
        archive.add(ProviderSettingsWriter.PATH,
                    ProviderSettingsWriter.write(guid, contents.facadeJars(), options.vmOptions,
                                                 model.startValues(), generationTool()));
        runtimes.forEach(archive::add);

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

    // kvbridge.jar with the jars it needs (the facade jars), the model jars and the descriptor
    // naming the class and parameter values.
    // The model must start with the packed parameters: a value it refuses is found now.
    private static Contents fromModelClass(Options options) throws PackException {
        ModelInterface model;
        Map<String, Double> parameters;
        try (ModelClassReader.OpenModel open =
                 ModelClassReader.open(options.modelClass, options.modelJars)) {
            Declaration declaration = open.declaration();
            parameters = ParameterValues.resolve(options.modelClass, declaration.parameters(),
                                                 options.parameters);
            model = interfaceOf(options.modelClass, declaration, parameters);
            open.checkStartState(parameters);
        }
        Jars.requireJar("bridge jar", options.bridgeJar);
        List<ResourceJar> facade = new ArrayList<>();
        facade.add(new ResourceJar(BRIDGE_JAR, options.bridgeJar));
        facade.addAll(resourceJars(Jars.classPath("bridge jar", options.bridgeJar),
                                   "jar the bridge jar needs", BRIDGE_JAR));
        List<String> facadeNames = facade.stream().map(ResourceJar::name).toList();
        List<ResourceJar> modelJars = resourceJars(options.modelJars, "model jar",
                                                   facadeNames.toArray(new String[0]));
        List<ResourceJar> jars = new ArrayList<>(facade);
        jars.addAll(modelJars);
        byte[] descriptor = DescriptorWriter.write(
            options.modelClass, modelJars.stream().map(ResourceJar::name).toList(),
            model.outputs().size(), model.inputs().size(), parameters, generationTool());
        List<String> entryClasses = new ArrayList<>(classesOf(options.bridgeJar));
        entryClasses.add(options.modelClass);
        return new Contents(model, jars, facadeNames, descriptor, entryClasses);
    }

    // The user's facade jars in place of kvbridge.jar; no descriptor.
    private static Contents fromVariableList(Options options) throws PackException {
        ModelInterface model = VariableListReader.read(options.variableList);
        for (Path jar : options.facadeJars) Jars.requireJar("facade jar", jar);
        requireFacade(options.facadeJars);
        List<ResourceJar> jars = resourceJars(options.facadeJars, "facade jar");
        List<String> entryClasses = new ArrayList<>();
        for (Path jar : options.facadeJars) entryClasses.addAll(classesOf(jar));
        return new Contents(model, jars, jars.stream().map(ResourceJar::name).toList(), null,
                            entryClasses);
    }

    private static List<String> classesOf(Path jar) throws PackException {
        try {
            return RuntimeModules.classesIn(jar);
        } catch (IOException e) {
            throw PackException.input(jar + ": not a readable jar file (" + e.getMessage() + ")");
        }
    }

    // The provider, which the host loads, and beside it the library it forwards to.
    private static void addBinaries(FmuArchive archive, List<String> binaries, String folder,
                                    String providerName, Path provider, String libraryName,
                                    Path library) throws PackException {
        archive.add(folder + providerName, read("VM provider", provider));
        archive.add(folder + libraryName, read("library", library));
        binaries.add(folder + providerName);
        binaries.add(folder + libraryName);
    }

    private static ModelInterface interfaceOf(String modelClass, Declaration declaration,
                                              Map<String, Double> parameters)
            throws PackException {
        try {
            return ModelClassReader.toInterface(declaration, parameters);
        } catch (IllegalArgumentException e) {
            throw PackException.input(modelClass + ": " + e.getMessage());
        }
    }

    // The jars under their own names, which must be distinct, not taken, and free of commas.
    private static List<ResourceJar> resourceJars(List<Path> files, String what, String... taken)
            throws PackException {
        Set<String> names = new HashSet<>(List.of(taken));
        List<ResourceJar> jars = new ArrayList<>();
        for (Path file : files) {
            String name = file.getFileName().toString();
            if (name.contains(",")) {
                throw PackException.input(what + " " + file + ": the file name must not hold a comma");
            }
            if (ProviderSettingsWriter.startsComment(name)) {
                throw PackException.input(what + " " + file + ": a '#' after a blank would start a"
                                          + " comment in the FMU's settings; rename the jar");
            }
            if (!names.add(name)) {
                throw PackException.input(what + " " + file + ": resources/ already has a file named "
                                          + name + "; rename the jar");
            }
            jars.add(new ResourceJar(name, file));
        }
        return jars;
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

    // The model's name with what a file name cannot safely hold replaced by '_'.
    static String fileName(String modelName) {
        return modelName.replaceAll("[^A-Za-z0-9._-]", "_");
    }
}
