package com.korvan.kvbridge.model;

import java.util.ArrayList;
import java.util.HashSet;
import java.util.List;
import java.util.Set;

/**
 * Everything a model states about itself before it runs: what a host sees of it.
 *
 * <p>The server lays the model out for the library, and the packer writes the model
 * description, in the order of the lists here: outputs at value references 0..nOut-1, a
 * copy of each output at nOut..2nOut-1, inputs at 2nOut..2nOut+nIn-1 and parameters at
 * 2nOut+nIn..2nOut+nIn+nPar-1. Names are unique among all of them.
 *
 * <p>An output made with the boolean form {@code dependsOnInputs = true} is listed here as
 * depending on every input by name; every name an output depends on must be an input.
 *
 * @param modelName         the model's name (the FMU's modelName)
 * @param description       what the model is, in one sentence
 * @param outputs           the outputs, in value-reference order (at least one)
 * @param inputs            the inputs, in value-reference order
 * @param parameters        the parameters, in value-reference order
 * @param defaultExperiment the experiment a host runs by default
 */
public record Declaration(String modelName, String description, List<Output> outputs,
                          List<Input> inputs, List<Parameter> parameters,
                          DefaultExperiment defaultExperiment) {
    /**
     * Checks the names and dependencies, and lists "every input" by name.
     *
     * @param modelName         the model's name
     * @param description       what the model is, in one sentence
     * @param outputs           the outputs, in value-reference order
     * @param inputs            the inputs, in value-reference order
     * @param parameters        the parameters, in value-reference order
     * @param defaultExperiment the experiment a host runs by default
     */
    public Declaration {
        Names.requireValid(modelName);
        description = description == null ? "" : description;
        inputs = List.copyOf(inputs);
        parameters = List.copyOf(parameters);
        if (defaultExperiment == null) {
            throw new IllegalArgumentException(modelName + ": no default experiment");
        }
        if (outputs.isEmpty()) {
            throw new IllegalArgumentException(modelName + ": a model needs at least one output");
        }
        // Loops rather than streams here and below: this runs at every model's start, and the
        // first stream or lambda costs a Java VM about 10 ms.
        List<String> inputNames = new ArrayList<>();
        for (Input input : inputs) inputNames.add(input.name());
        outputs = resolveDependencies(outputs, inputNames, modelName);
        Set<String> names = new HashSet<>();
        for (Output output : outputs) requireUnique(names, output.name(), modelName);
        for (Input input : inputs) requireUnique(names, input.name(), modelName);
        for (Parameter parameter : parameters) requireUnique(names, parameter.name(), modelName);
    }

    private static List<Output> resolveDependencies(List<Output> outputs, List<String> inputNames,
                                                    String modelName) {
        List<Output> resolved = new ArrayList<>();
        for (Output output : outputs) {
            if (output.dependsOn() == null) {
                output = new Output(output.name(), output.description(), output.unit(),
                        inputNames);
            }
            for (String input : output.dependsOn()) {
                if (!inputNames.contains(input)) {
                    throw new IllegalArgumentException(modelName + ": output " + output.name()
                            + " depends on " + input + ", which is not an input"
                            + (inputNames.isEmpty() ? " (the model has none)"
                            : " (the inputs are " + String.join(", ", inputNames) + ")"));
                }
            }
            resolved.add(output);
        }
        return List.copyOf(resolved);
    }

    private static void requireUnique(Set<String> seen, String name, String modelName) {
        if (!seen.add(name)) {
            throw new IllegalArgumentException(modelName + ": the name " + name + " is used twice");
        }
    }
}
