package com.korvan.kvbridge.server;

import java.io.IOException;
import java.io.Reader;
import java.nio.charset.CharacterCodingException;
import java.nio.charset.StandardCharsets;
import java.nio.file.Files;
import java.nio.file.NoSuchFileException;
import java.nio.file.Path;
import java.util.ArrayList;
import java.util.LinkedHashMap;
import java.util.List;
import java.util.Map;
import java.util.Properties;
import java.util.TreeSet;

/**
 * Which model an FMU runs, read from model.properties in its resources folder:
 * <pre>
 * model.class=com.korvan.kvbridge.models.FirstOrderLag   (required)
 * model.jars=lag.jar,util.jar     (optional; relative to the resources folder)
 * model.outputs=1                 (required: the counts the model description declares)
 * model.inputs=1
 * parameter.K=2.5                 (one line per parameter to set; others keep their default)
 * </pre>
 * Any other key is refused, so that a typo does not pass silently.
 *
 * @param modelClass the model's class name
 * @param modelJars  jar files relative to the resources folder, in the order given
 * @param outputs    number of outputs the packed model declares
 * @param inputs     number of inputs the packed model declares
 * @param parameters parameter values by name
 */
public record ModelDescriptor(String modelClass, List<String> modelJars, int outputs, int inputs,
                              Map<String, Double> parameters) {
    public static final String FILE_NAME = "model.properties";
    private static final String PARAMETER_PREFIX = "parameter.";

    public ModelDescriptor {
        modelJars = List.copyOf(modelJars);
        parameters = Map.copyOf(parameters);
    }

    /** Reads and checks model.properties of the resources folder. */
    public static ModelDescriptor read(Path resourceFolder) throws SimulationException {
        Path file = resourceFolder.resolve(FILE_NAME);
        Properties properties = new Properties();
        try (Reader reader = Files.newBufferedReader(file, StandardCharsets.UTF_8)) {
            properties.load(reader);
        } catch (NoSuchFileException e) {
            throw new SimulationException("The resource folder " + resourceFolder + " has no "
                    + FILE_NAME + ": it must name the model class to run (model.class=...)");
        } catch (CharacterCodingException e) {
            throw new SimulationException(file + " is not UTF-8 text");
        } catch (IOException | IllegalArgumentException e) {
            throw new SimulationException("Cannot read " + file + ": " + e.getMessage());
        }
        return parse(properties, file.toString());
    }

    /** Checks the keys and values of a descriptor; {@code source} names it in messages. */
    public static ModelDescriptor parse(Properties properties, String source)
            throws SimulationException {
        List<String> unknown = new ArrayList<>();
        Map<String, Double> parameters = new LinkedHashMap<>();
        for (String key : new TreeSet<>(properties.stringPropertyNames())) {
            String value = properties.getProperty(key).trim();
            if (key.startsWith(PARAMETER_PREFIX) && key.length() > PARAMETER_PREFIX.length()) {
                String name = key.substring(PARAMETER_PREFIX.length());
                parameters.put(name, parameterValue(name, value, source));
            } else if (!List.of("model.class", "model.jars", "model.outputs", "model.inputs")
                    .contains(key)) {
                unknown.add(key);
            }
        }
        if (!unknown.isEmpty()) {
            throw new SimulationException(source + " has unknown key" + (unknown.size() > 1
                    ? "s " : " ") + String.join(", ", unknown) + ": the keys are model.class,"
                    + " model.jars, model.outputs, model.inputs and parameter.<name>");
        }
        String modelClass = properties.getProperty("model.class", "").trim();
        if (modelClass.isEmpty()) {
            throw new SimulationException(source + " does not name the model: add"
                    + " model.class=<the model's fully qualified class name>");
        }
        List<String> jars = new ArrayList<>();
        for (String jar : properties.getProperty("model.jars", "").split(",")) {
            if (!jar.isBlank()) jars.add(jar.trim());
        }
        return new ModelDescriptor(modelClass, jars, count(properties, "model.outputs", source),
                count(properties, "model.inputs", source), parameters);
    }

    private static int count(Properties properties, String key, String source)
            throws SimulationException {
        String text = properties.getProperty(key);
        if (text == null) {
            throw new SimulationException(source + " lacks " + key + ": it must state how many"
                    + " " + key.substring(6) + " the model description declares");
        }
        try {
            int count = Integer.parseInt(text.trim());
            if (count >= 0) return count;
        } catch (NumberFormatException e) {
            // reported below
        }
        throw new SimulationException(source + ": " + key + "=" + text.trim()
                + " is not a count (a whole number, 0 or more)");
    }

    private static double parameterValue(String name, String text, String source)
            throws SimulationException {
        if (text.isEmpty()) {
            throw new SimulationException(source + ": parameter " + name + " has no value:"
                    + " write a decimal number, or remove the line to use the default");
        }
        if (isDecimal(text)) {
            double value = Double.parseDouble(text);
            if (Double.isFinite(value)) return value;
        }
        throw new SimulationException(source + ": parameter " + name + "=" + text
                + " is not a finite decimal number");
    }

    // [+-]digits[.digits] or [+-].digits, with an optional exponent, by hand: the first
    // regular expression of a Java VM costs it about 10 ms, at every FMU's start.
    private static boolean isDecimal(String text) {
        int at = sign(text, 0);
        int mantissaStart = at;
        at = digits(text, at);
        boolean whole = at > mantissaStart;
        if (at < text.length() && text.charAt(at) == '.') {
            int fractionStart = ++at;
            at = digits(text, at);
            if (!whole && at == fractionStart) return false;
        } else if (!whole) {
            return false;
        }
        if (at < text.length() && (text.charAt(at) == 'e' || text.charAt(at) == 'E')) {
            int exponentStart = sign(text, at + 1);
            at = digits(text, exponentStart);
            if (at == exponentStart) return false;
        }
        return at == text.length();
    }

    private static int sign(String text, int at) {
        return at < text.length() && (text.charAt(at) == '+' || text.charAt(at) == '-') ? at + 1 : at;
    }

    private static int digits(String text, int at) {
        while (at < text.length() && text.charAt(at) >= '0' && text.charAt(at) <= '9') at++;
        return at;
    }
}
