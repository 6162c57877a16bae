package com.korvan.kvbridge.model;

import java.util.HashSet;
import java.util.List;
import java.util.Set;

/**
 * Everything a model states about itself before it runs: what a host sees of it.
 * The server lays the model out for the library as outputs at value references
 * 0..nOut-1, a copy of the outputs at nOut..2nOut-1 and inputs from 2nOut on, in the
 * order of the lists here; the packager writes the model description from it.
 *
 * @param modelName         the model's name (the FMU's modelName)
 * @param description       what the model is, in one sentence
 * @param outputs           the outputs, in value-reference order
 * @param inputs            the inputs, in value-reference order
 * @param parameters        the parameters
 * @param defaultExperiment the experiment a host runs by default
 */
public record Declaration(String modelName, String description, List<Output> outputs,
                          List<Input> inputs, List<Parameter> parameters,
                          DefaultExperiment defaultExperiment) {
    public Declaration {
        Names.requireValid(modelName);
        description = description == null ? "" : description;
        outputs = List.copyOf(outputs);
        inputs = List.copyOf(inputs);
        parameters = List.copyOf(parameters);
        if (defaultExperiment == null) {
            throw new IllegalArgumentException(modelName + ": no default experiment");
        }
        if (outputs.isEmpty()) {
            throw new IllegalArgumentException(modelName + ": a model needs at least one output");
        }
        Set<String> variableNames = new HashSet<>();
        for (Output output : outputs) requireUnique(variableNames, output.name(), modelName);
        for (Input input : inputs) requireUnique(variableNames, input.name(), modelName);
        Set<String> parameterNames = new HashSet<>();
        for (Parameter parameter : parameters) {
            requireUnique(parameterNames, parameter.name(), modelName);
        }
    }

    private static void requireUnique(Set<String> seen, String name, String modelName) {
        if (!seen.add(name)) {
            throw new IllegalArgumentException(modelName + ": the name " + name + " is used twice");
        }
    }
}
