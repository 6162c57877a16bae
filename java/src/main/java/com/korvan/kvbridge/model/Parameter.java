package com.korvan.kvbridge.model;

/**
 * One parameter of a model: a real value fixed for a whole run, read at initialization.
 * Its value comes from the model descriptor of the packed model, or its default.
 *
 * @param name         the parameter's name (unique within the model)
 * @param defaultValue the value used when the descriptor does not set one
 * @param unit         the unit symbol; empty when dimensionless
 * @param description  one sentence saying what the parameter means
 */
public record Parameter(String name, double defaultValue, String unit, String description) {
    public Parameter {
        Names.requireValid(name);
        unit = unit == null ? "" : unit;
        description = description == null ? "" : description;
        if (!Double.isFinite(defaultValue)) {
            throw new IllegalArgumentException("Parameter " + name + ": default must be finite");
        }
    }
}
