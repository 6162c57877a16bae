package com.korvan.kvfmu.pack;

import com.korvan.kvbridge.model.Parameter;

import java.util.LinkedHashMap;
import java.util.List;
import java.util.Map;
import java.util.stream.Collectors;

/** The value of every declared parameter: its default unless the user set it at packing. */
final class ParameterValues {
    private ParameterValues() {}

    /**
     * @param declared  the model's parameters, in declaration order
     * @param overrides "name=value" texts from the command line, in the order given
     */
    static Map<String, Double> resolve(String modelClass, List<Parameter> declared,
                                       List<String> overrides) throws PackException {
        Map<String, Double> values = new LinkedHashMap<>();
        for (Parameter parameter : declared) values.put(parameter.name(), parameter.defaultValue());
        for (String override : overrides) {
            int equals = override.indexOf('=');
            if (equals < 0) {
                throw PackException.usage("--parameter " + override + ": expected NAME=VALUE");
            }
            String name = override.substring(0, equals).strip();
            String text = override.substring(equals + 1).strip();
            if (!values.containsKey(name)) {
                throw PackException.input("unknown parameter '" + name + "' for " + modelClass
                                          + "; " + known(declared));
            }
            Double value = Text.parseDecimal(text);
            if (value == null) {
                throw PackException.input("parameter " + name + ": '" + text
                                          + "' is not a finite decimal number");
            }
            values.put(name, value);
        }
        return values;
    }

    private static String known(List<Parameter> declared) {
        if (declared.isEmpty()) return "the model declares no parameters";
        return "its parameters are: "
            + declared.stream().map(Parameter::name).collect(Collectors.joining(", "));
    }
}
