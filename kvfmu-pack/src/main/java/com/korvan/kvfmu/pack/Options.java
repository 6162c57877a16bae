package com.korvan.kvfmu.pack;

import java.nio.file.Path;
import java.util.ArrayList;
import java.util.List;
import java.util.Set;

/** The command line of kvfmu-pack, read into fields; defaults come from system properties. */
final class Options {
    static final String USAGE = """
        Usage:
          kvfmu-pack --class CLASS [--model-jar JAR]... [--parameter NAME=VALUE]...
                     [--vm-option OPTION]... [OUTPUT]
          kvfmu-pack --variables FILE --facade-jar JAR... [--vm-option OPTION]... [OUTPUT]
        Packs a model as an FMI 2.0 co-simulation FMU (NAME.fmu, NAME being the model's name).
          --class CLASS           model class (implements com.korvan.kvbridge.model.Model),
                                  from kvbridge.jar or the model jars
          --model-jar JAR         jar holding the model class or what it needs (repeatable)
          --parameter NAME=VALUE  parameter value packed with the model (repeatable)
          --variables FILE        variable list of a model whose server and facade are your own
          --facade-jar JAR        your facade and server client jar, put in place of
                                  kvbridge.jar (repeatable)
          --vm-option OPTION      a Java VM option for the VM the FMU starts when its host
                                  runs none, e.g. --vm-option -Xmx512m (repeatable)
        OUTPUT:
          -o, --output FILE.fmu   where to write the FMU
          --output-dir DIR        folder for NAME.fmu (default: the current folder)
        Build inputs (the launcher sets them):
          --linux-library FILE    libkvfmu.so
          --linux-provider FILE   the VM provider for Linux
          --windows-library FILE  libkvfmu.dll (optional, with --windows-provider)
          --windows-provider FILE the VM provider for Windows (optional, with --windows-library)
          --bridge-jar FILE       kvbridge.jar
          --help, --version
        Exit codes: 0 packed, 2 bad command line, 3 bad model, list, parameter or jar,
        4 the FMU could not be written.
        """;

    private static final Set<String> VALUE_OPTIONS = Set.of(
        "--class", "--model-jar", "--parameter", "--variables", "--facade-jar", "--output", "-o",
        "--output-dir", "--linux-library", "--windows-library", "--bridge-jar", "--vm-option",
        "--linux-provider", "--windows-provider");

    String modelClass;
    final List<Path> modelJars = new ArrayList<>();
    final List<String> parameters = new ArrayList<>();
    Path variableList;
    final List<Path> facadeJars = new ArrayList<>();
    Path output;
    Path outputDir;
    Path linuxLibrary = pathProperty("kvfmu.pack.linuxLibrary");
    Path windowsLibrary = pathProperty("kvfmu.pack.windowsLibrary");
    Path linuxProvider = pathProperty("kvfmu.pack.linuxProvider");
    Path windowsProvider = pathProperty("kvfmu.pack.windowsProvider");
    final List<String> vmOptions = new ArrayList<>();
    Path bridgeJar = pathProperty("kvfmu.pack.bridgeJar");
    boolean help;
    boolean version;

    static Options parse(String[] args) throws PackException {
        Options options = new Options();
        for (int i = 0; i < args.length; i++) {
            String option = args[i];
            if (option.equals("--help") || option.equals("-h")) {
                options.help = true;
                continue;
            }
            if (option.equals("--version")) {
                options.version = true;
                continue;
            }
            if (option.startsWith("--vm-option=")) {
                options.vmOptions.add(option.substring("--vm-option=".length()));
                continue;
            }
            if (!VALUE_OPTIONS.contains(option)) {
                throw PackException.usage(option.startsWith("-") ? "unknown option '" + option + "'"
                                          : "unexpected argument '" + option + "'");
            }
            if (i + 1 >= args.length) throw PackException.usage(option + " needs a value");
            String value = args[++i];
            switch (option) {
                case "--class" -> options.modelClass = once(option, options.modelClass, value);
                case "--model-jar" -> options.modelJars.add(Path.of(value));
                case "--parameter" -> options.parameters.add(value);
                case "--variables" -> options.variableList = once(option, options.variableList, Path.of(value));
                case "--facade-jar" -> options.facadeJars.add(Path.of(value));
                case "--output", "-o" -> options.output = once(option, options.output, Path.of(value));
                case "--output-dir" -> options.outputDir = once(option, options.outputDir, Path.of(value));
                case "--linux-library" -> options.linuxLibrary = Path.of(value);
                case "--windows-library" -> options.windowsLibrary = value.isEmpty() ? null : Path.of(value);
                case "--linux-provider" -> options.linuxProvider = Path.of(value);
                case "--windows-provider" -> options.windowsProvider = value.isEmpty() ? null : Path.of(value);
                case "--vm-option" -> options.vmOptions.add(value);
                case "--bridge-jar" -> options.bridgeJar = Path.of(value);
                default -> throw new IllegalStateException(option);
            }
        }
        if (!options.help && !options.version) options.check();
        return options;
    }

    private void check() throws PackException {
        if ((modelClass == null) == (variableList == null)) {
            throw PackException.usage("give either --class or --variables");
        }
        if (variableList != null) {
            if (facadeJars.isEmpty()) throw PackException.usage("--variables needs --facade-jar");
            if (!modelJars.isEmpty() || !parameters.isEmpty()) {
                throw PackException.usage("--model-jar and --parameter go with --class, not --variables");
            }
        } else if (!facadeJars.isEmpty()) {
            throw PackException.usage("--facade-jar goes with --variables, not --class");
        }
        if (output != null && !output.getFileName().toString().endsWith(".fmu")) {
            throw PackException.usage("--output " + output + ": the file name must end in .fmu");
        }
        if (output != null && outputDir != null) {
            throw PackException.usage("give --output or --output-dir, not both");
        }
        if (linuxLibrary == null) throw PackException.usage("--linux-library is not set");
        if (linuxProvider == null) throw PackException.usage("--linux-provider is not set");
        if ((windowsLibrary == null) != (windowsProvider == null)) {
            throw PackException.usage("the Windows build needs both --windows-library and "
                                      + "--windows-provider");
        }
        for (String option : vmOptions) checkVmOption(option);
        if (variableList == null && bridgeJar == null) {
            throw PackException.usage("--bridge-jar is not set");
        }
    }

    // Each option becomes one line of provider.conf; the class path is the FMU's jars.
    private static void checkVmOption(String option) throws PackException {
        String given = "--vm-option '" + option + "': ";
        if (!option.startsWith("-")) {
            throw PackException.usage(given + "a Java VM option starts with '-', e.g. -Xmx512m");
        }
        if (!option.strip().equals(option) || option.codePoints().anyMatch(Character::isISOControl)) {
            throw PackException.usage(given + "no surrounding blanks or control characters");
        }
        if (ProviderSettingsWriter.startsComment(option)) {
            throw PackException.usage(given + "a '#' after a blank would start a comment in the"
                                      + " FMU's settings");
        }
        if (option.startsWith("-Djava.class.path=") || option.equals("-cp")
            || option.equals("-classpath") || option.startsWith("--class-path")) {
            throw PackException.usage(given + "the class path of the VM is the FMU's jars; "
                                      + "pack what the model needs with --model-jar");
        }
    }

    private static <T> T once(String option, T current, T value) throws PackException {
        if (current != null) throw PackException.usage(option + " given twice");
        return value;
    }

    private static Path pathProperty(String name) {
        String value = System.getProperty(name, "");
        return value.isEmpty() ? null : Path.of(value);
    }
}
