package com.korvan.kvbridge.model;

import java.util.Map;

/**
 * Reading parameter values with the range checks models need. A value out of range throws
 * IllegalArgumentException with a text a user can act on, which the host is shown.
 */
public final class Parameters {
    private Parameters() {}

    /**
     * The value of a parameter that must be greater than zero.
     *
     * @param parameters the parameters of the run, by name
     * @param name       the parameter's name
     * @return its value
     */
    public static double positive(Map<String, Double> parameters, String name) {
        return positive(name, value(parameters, name));
    }

    /**
     * A value of a parameter that must be greater than zero, for example a tuned one.
     *
     * @param name  the parameter's name, for the message
     * @param value the value to check
     * @return the value
     */
    public static double positive(String name, double value) {
        if (!(value > 0)) {
            throw new IllegalArgumentException("Parameter " + name + " must be greater than 0,"
                    + " not " + value);
        }
        return value;
    }

    /**
     * The value of a parameter that must not be negative.
     *
     * @param parameters the parameters of the run, by name
     * @param name       the parameter's name
     * @return its value
     */
    public static double nonNegative(Map<String, Double> parameters, String name) {
        return nonNegative(name, value(parameters, name));
    }

    /**
     * A value of a parameter that must not be negative, for example a tuned one.
     *
     * @param name  the parameter's name, for the message
     * @param value the value to check
     * @return the value
     */
    public static double nonNegative(String name, double value) {
        if (!(value >= 0)) {
            throw new IllegalArgumentException("Parameter " + name + " must not be negative,"
                    + " not " + value);
        }
        return value;
    }

    /**
     * The value of a parameter; every declared parameter is present.
     *
     * @param parameters the parameters of the run, by name
     * @param name       the parameter's name
     * @return its value
     */
    public static double value(Map<String, Double> parameters, String name) {
        Double value = parameters.get(name);
        if (value == null) throw new IllegalArgumentException("Parameter " + name + " is missing");
        return value;
    }
}
