package com.korvan.kvfmu.pack;

import com.korvan.kvbridge.model.DefaultExperiment;
import com.korvan.kvbridge.model.Input;

import java.util.ArrayList;
import java.util.HashSet;
import java.util.List;
import java.util.Set;

/**
 * What a host sees of a packed model, whether it came from a model class or from a
 * variable list: outputs, inputs and parameters in value-reference order, and the default
 * experiment. The constructor refuses what no model description could hold.
 */
record ModelInterface(String modelName, String description, List<OutputVariable> outputs,
                      List<Input> inputs, List<ParameterVariable> parameters,
                      DefaultExperiment experiment) {
    ModelInterface {
        description = description == null ? "" : description;
        outputs = List.copyOf(outputs);
        inputs = List.copyOf(inputs);
        parameters = List.copyOf(parameters);
        List<String> problems = new ArrayList<>();
        Text.checkName("model name", modelName, problems);
        if (outputs.isEmpty()) problems.add("a model needs at least one output");
        Set<String> names = new HashSet<>();
        Set<String> inputNames = new HashSet<>();
        for (Input input : inputs) {
            Text.checkName("input name", input.name(), problems);
            Text.checkText("unit of " + input.name(), input.unit(), problems);
            if (!names.add(input.name())) problems.add("the name " + input.name() + " is used twice");
            inputNames.add(input.name());
        }
        for (OutputVariable output : outputs) {
            Text.checkName("output name", output.name(), problems);
            Text.checkText("unit of " + output.name(), output.unit(), problems);
            if (!names.add(output.name())) problems.add("the name " + output.name() + " is used twice");
            for (String input : output.dependsOn()) {
                if (!inputNames.contains(input)) {
                    problems.add("output " + output.name() + " depends on " + input
                                 + ", which is not an input");
                }
            }
        }
        for (ParameterVariable parameter : parameters) {
            Text.checkName("parameter name", parameter.name(), problems);
            Text.checkText("unit of " + parameter.name(), parameter.unit(), problems);
            if (!Double.isFinite(parameter.start())) {
                problems.add("parameter " + parameter.name() + " has no finite value");
            }
            if (!names.add(parameter.name())) {
                problems.add("the name " + parameter.name() + " is used twice");
            }
        }
        if (!problems.isEmpty()) {
            throw new IllegalArgumentException(String.join("; ", problems));
        }
    }

    /** A model without parameters, as a variable list declares it. */
    ModelInterface(String modelName, String description, List<OutputVariable> outputs,
                   List<Input> inputs, DefaultExperiment experiment) {
        this(modelName, description, outputs, inputs, List.of(), experiment);
    }

    /** Number of real variables the library holds: outputs, their copies, inputs, parameters. */
    int numberOfReals() {
        return 2 * outputs.size() + inputs.size() + parameters.size();
    }

    /** Value reference of parameter p. */
    int parameterReference(int parameter) {
        return 2 * outputs.size() + inputs.size() + parameter;
    }

    /**
     * The value reference and start value of every input and every parameter, in
     * value-reference order: what a host holds before it sets anything.
     */
    List<StartValue> startValues() {
        List<StartValue> starts = new ArrayList<>();
        for (int k = 0; k < inputs.size(); k++) {
            starts.add(new StartValue(inputReference(k), inputs.get(k).start()));
        }
        for (int p = 0; p < parameters.size(); p++) {
            starts.add(new StartValue(parameterReference(p), parameters.get(p).start()));
        }
        return starts;
    }

    /** Value reference of the copy of output i. */
    int copyReference(int output) {
        return outputs.size() + output;
    }

    /** Value reference of input k. */
    int inputReference(int input) {
        return 2 * outputs.size() + input;
    }

    /** Position of the named input among the inputs, or -1. */
    int inputIndex(String name) {
        for (int k = 0; k < inputs.size(); k++) {
            if (inputs.get(k).name().equals(name)) return k;
        }
        return -1;
    }
}
