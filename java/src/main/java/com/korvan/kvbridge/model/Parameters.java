package com.korvan.kvbridge.model;

import java.util.Map;

/** Reading parameter values with the range checks models need, as texts a user can act on. */
public final class Parameters {
    private Parameters() {}

    /** The value of a parameter that must be greater than zero. */
    public static double positive(Map<String, Double> parameters, String name) {
        double value = value(parameters, name);
        if (!(value > 0)) {
            throw new IllegalArgumentException("Parameter " + name + " must be greater than 0,"
                    + " not " + value);
        }
        return value;
    }

    /** The value of a parameter that must not be negative. */
    public static double nonNegative(Map<String, Double> parameters, String name) {
        double value = value(parameters, name);
        if (!(value >= 0)) {
            throw new IllegalArgumentException("Parameter " + name + " must not be negative,"
                    + " not " + value);
        }
        return value;
    }

    /** The value of a parameter; every declared parameter is present. */
    public static double value(Map<String, Double> parameters, String name) {
        Double value = parameters.get(name);
        if (value == null) throw new IllegalArgumentException("Parameter " + name + " is missing");
        return value;
    }
}
