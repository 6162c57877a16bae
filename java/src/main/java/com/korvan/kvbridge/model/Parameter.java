package com.korvan.kvbridge.model;

/**
 * One parameter of a model: a real value a host sees as an FMI parameter. Its value for a
 * run comes from the host (set before initialization), else from the packed model's
 * {@code model.properties}, else this default. A fixed parameter keeps its value for the
 * whole run; a tunable one may be changed by the host during a run and reaches the model
 * through {@link Model#tune(String, double)} before the next step.
 *
 * @param name         the parameter's name (unique among the model's parameters and variables)
 * @param description  one sentence saying what the parameter means
 * @param unit         the unit symbol; empty when dimensionless
 * @param defaultValue the value used when neither the host nor the packed model sets one
 * @param tunable      true when the model accepts a new value during a run
 */
public record Parameter(String name, String description, String unit, double defaultValue,
                        boolean tunable) {
    /**
     * Checks the name and the default, and makes absent texts empty.
     *
     * @param name         the parameter's name
     * @param description  one sentence saying what the parameter means
     * @param unit         the unit symbol; empty when dimensionless
     * @param defaultValue the value used when neither the host nor the packed model sets one
     * @param tunable      true when the model accepts a new value during a run
     */
    public Parameter {
        Names.requireValid(name);
        unit = unit == null ? "" : unit;
        description = description == null ? "" : description;
        if (!Double.isFinite(defaultValue)) {
            throw new IllegalArgumentException("Parameter " + name + ": default must be finite");
        }
    }

    /**
     * A fixed parameter: its value is set before the run and stays.
     *
     * @param name         the parameter's name
     * @param description  one sentence saying what the parameter means
     * @param unit         the unit symbol; empty when dimensionless
     * @param defaultValue the value used when neither the host nor the packed model sets one
     */
    public Parameter(String name, String description, String unit, double defaultValue) {
        this(name, description, unit, defaultValue, false);
    }

    /**
     * A fixed parameter, with the arguments in the order of earlier versions.
     *
     * @param name         the parameter's name
     * @param defaultValue the value used when neither the host nor the packed model sets one
     * @param unit         the unit symbol; empty when dimensionless
     * @param description  one sentence saying what the parameter means
     * @deprecated use {@link #Parameter(String, String, String, double)}, whose arguments
     *             come in the order of the other declarations: name, description, unit, value
     */
    @Deprecated
    public Parameter(String name, double defaultValue, String unit, String description) {
        this(name, description, unit, defaultValue, false);
    }
}
