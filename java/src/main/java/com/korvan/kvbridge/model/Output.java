package com.korvan.kvbridge.model;

/**
 * One output of a model: a real value the model computes at every communication point.
 *
 * @param name             the variable's name as a host shows it (unique within the model)
 * @param description      one sentence an engineer reads in a host's variable list
 * @param unit             the unit symbol, for example "m/s"; empty when dimensionless
 * @param dependsOnInputs  true when the output at time t depends directly on an input at t
 *                         (direct feedthrough); false when it depends only on the state
 */
public record Output(String name, String description, String unit, boolean dependsOnInputs) {
    public Output {
        Names.requireValid(name);
        description = description == null ? "" : description;
        unit = unit == null ? "" : unit;
    }
}
