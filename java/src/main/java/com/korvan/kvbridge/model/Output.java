package com.korvan.kvbridge.model;

import java.util.HashSet;
import java.util.List;

/**
 * One output of a model: a real value the model computes at every communication point.
 *
 * <p>{@code dependsOn} names the inputs whose value at time t the output at t depends on
 * directly (direct feedthrough), for example {@code List.of("valveOpening")}; an empty list
 * when the output depends only on the model's state. A host orders its calls, and finds
 * algebraic loops, from these lists, so name exactly the inputs that feed through.
 *
 * @param name        the variable's name as a host shows it (unique within the model)
 * @param description one sentence an engineer reads in a host's variable list
 * @param unit        the unit symbol, for example "m/s"; empty when dimensionless
 * @param dependsOn   the names of the inputs the output depends on directly, each once;
 *                    null stands for every input of the model, which the model's
 *                    {@link Declaration} then lists by name
 */
public record Output(String name, String description, String unit, List<String> dependsOn) {
    /**
     * Checks the name and the list, and makes absent texts empty.
     *
     * @param name        the variable's name
     * @param description one sentence for a host's variable list
     * @param unit        the unit symbol; empty when dimensionless
     * @param dependsOn   the inputs the output depends on directly; null for every input
     */
    public Output {
        Names.requireValid(name);
        description = description == null ? "" : description;
        unit = unit == null ? "" : unit;
        if (dependsOn != null) {
            dependsOn = List.copyOf(dependsOn);
            if (new HashSet<>(dependsOn).size() != dependsOn.size()) {
                throw new IllegalArgumentException("Output " + name + ": an input is named"
                        + " twice in " + dependsOn);
            }
        }
    }

    /**
     * An output that depends directly on every input of the model, or on none.
     *
     * @param name            the variable's name as a host shows it
     * @param description     one sentence an engineer reads in a host's variable list
     * @param unit            the unit symbol; empty when dimensionless
     * @param dependsOnInputs true: on every input (direct feedthrough); false: on none
     */
    public Output(String name, String description, String unit, boolean dependsOnInputs) {
        this(name, description, unit, dependsOnInputs ? null : List.of());
    }

    /**
     * Whether the output depends directly on at least one input.
     *
     * @return true when the output feeds an input through
     */
    public boolean dependsOnInputs() {
        return dependsOn == null || !dependsOn.isEmpty();
    }
}
