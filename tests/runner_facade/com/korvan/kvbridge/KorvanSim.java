package com.korvan.kvbridge;

import java.io.IOException;
import java.io.InputStream;
import java.io.InputStreamReader;
import java.net.URI;
import java.net.URISyntaxException;
import java.nio.charset.StandardCharsets;
import java.nio.file.Files;
import java.nio.file.Path;
import java.nio.file.Paths;
import java.util.HashMap;
import java.util.Map;
import java.util.Properties;
import java.util.Set;

/**
 * A self-contained facade for testing the runner: each instance integrates its input u into
 * y1 = initial + integral of u dt and feeds it through as y2 = gain * u. Its parameters are real
 * values after the input, set through fmi2SetReal (gain 5, initial 6; fail_at 7: a step that
 * would pass that time fails with a message; hang_at 8: the step from that time on never
 * returns; exit_at 9: the step from that time on ends the process with System.exit(3); a gain
 * of 0 fails the initialization). resources/model.properties may also give them as
 * parameter.NAME.
 */
public final class KorvanSim {
    private static final int OUTPUTS = 2;
    private static final int INPUTS = 1;
    private static final int INPUT_REFERENCE = 2 * OUTPUTS;
    private static final Set<String> PARAMETERS = Set.of("gain", "initial", "fail_at", "hang_at", "exit_at");
    private static final int PARAMETER_COUNT = 5;

    private static final class Instance {
        double gain = 2.0;
        double initial = 0.0;
        double failAt = Double.POSITIVE_INFINITY;
        double hangAt = Double.POSITIVE_INFINITY;
        double exitAt = Double.POSITIVE_INFINITY;
        double y1;
        double u;
    }

    private final Map<String, Instance> instances = new HashMap<>();
    private String lastError = "";

    public static KorvanSim create() {
        return new KorvanSim();
    }

    public boolean doInitConnection() {
        return true;
    }

    public boolean doInstantiate(String name, String resourceLocation) {
        try {
            Path resources = Paths.get(new URI(resourceLocation));
            Instance instance = new Instance();
            readParameters(resources.resolve("model.properties"), instance);
            instances.put(name, instance);
            // A chatty model: the runner keeps this off the result CSV on standard output.
            System.out.println("runner facade: instance " + name + " created");
            return true;
        } catch (URISyntaxException | IllegalArgumentException | IOException e) {
            lastError = "cannot read the resources at " + resourceLocation + ": " + e.getMessage();
            return false;
        }
    }

    private static void readParameters(Path descriptor, Instance instance) throws IOException {
        if (!Files.exists(descriptor)) return;
        Properties properties = new Properties();
        try (InputStream in = Files.newInputStream(descriptor)) {
            properties.load(new InputStreamReader(in, StandardCharsets.UTF_8));
        }
        for (String key : properties.stringPropertyNames()) {
            String name = key.startsWith("parameter.") ? key.substring("parameter.".length()) : "";
            if (!PARAMETERS.contains(name)) throw new IOException("unknown key " + key);
            double value = Double.parseDouble(properties.getProperty(key));
            switch (name) {
                case "gain" -> instance.gain = value;
                case "initial" -> instance.initial = value;
                case "hang_at" -> instance.hangAt = value;
                case "exit_at" -> instance.exitAt = value;
                default -> instance.failAt = value;
            }
        }
    }

    public String getLasterror() {
        return lastError;
    }

    public String getProp(String name, String key) {
        return switch (key) {
            case "number_of_outputs" -> Integer.toString(OUTPUTS);
            case "number_of_inputs" -> Integer.toString(INPUTS);
            case "number_of_reals" -> Integer.toString(2 * OUTPUTS + INPUTS + PARAMETER_COUNT);
            default -> null;
        };
    }

    public boolean doSetupExperiment(String name, double startTime, boolean stopTimeDefined, double stopTime) {
        Instance instance = instances.get(name);
        if (instance == null) return unknown(name);
        return true;
    }

    public boolean doInitializeModel(String name) {
        Instance instance = instances.get(name);
        if (instance == null) return unknown(name);
        if (instance.gain == 0) {
            lastError = "gain must not be 0";
            return false;
        }
        instance.y1 = instance.initial;
        return true;
    }

    public void setReal(String name, int valueReference, double value) {
        Instance instance = instances.get(name);
        if (instance == null) return;
        switch (valueReference - INPUT_REFERENCE) {
            case 0 -> instance.u = value;
            case 1 -> instance.gain = value;
            case 2 -> instance.initial = value;
            case 3 -> instance.failAt = value;
            case 4 -> instance.hangAt = value;
            case 5 -> instance.exitAt = value;
            default -> { }
        }
    }

    public boolean doStepModel(String name, double time, double stepSize, double[] inputs) {
        Instance instance = instances.get(name);
        if (instance == null) return unknown(name);
        if (inputs.length != INPUTS) {
            lastError = "expected " + INPUTS + " input, got " + inputs.length;
            return false;
        }
        if (time + stepSize > instance.failAt) {
            lastError = "integrator stopped at t=" + time + ": fail_at is " + instance.failAt;
            return false;
        }
        if (time >= instance.hangAt) hang();
        if (time >= instance.exitAt) System.exit(3);
        instance.u = inputs[0];
        instance.y1 += instance.u * stepSize;
        return true;
    }

    private static void hang() {
        try {
            Thread.sleep(Long.MAX_VALUE);
        } catch (InterruptedException e) {
            Thread.currentThread().interrupt();
        }
    }

    public double[] getData(String name) {
        Instance instance = instances.get(name);
        return instance == null ? null : new double[] {instance.y1, instance.gain * instance.u};
    }

    public void doTerminate(String name) {}

    public void doFreeInstance(String name) {
        instances.remove(name);
    }

    private boolean unknown(String name) {
        lastError = "no instance named " + name;
        return false;
    }
}
