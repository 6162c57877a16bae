package com.korvan.kvbridge.model;

/**
 * One input of a model: a real value the host sets before each communication step.
 *
 * @param name        the variable's name as a host shows it (unique within the model)
 * @param description one sentence an engineer reads in a host's variable list
 * @param unit        the unit symbol; empty when dimensionless
 * @param start       the value the input has until the host sets it
 */
public record Input(String name, String description, String unit, double start) {
    /**
     * Checks the name and the start value, and makes absent texts empty.
     *
     * @param name        the variable's name
     * @param description one sentence for a host's variable list
     * @param unit        the unit symbol; empty when dimensionless
     * @param start       the value the input has until the host sets it
     */
    public Input {
        Names.requireValid(name);
        description = description == null ? "" : description;
        unit = unit == null ? "" : unit;
        if (!Double.isFinite(start)) {
            throw new IllegalArgumentException("Input " + name + ": start value must be finite");
        }
    }
}
