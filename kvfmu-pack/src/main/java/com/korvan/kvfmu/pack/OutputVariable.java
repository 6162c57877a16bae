package com.korvan.kvfmu.pack;

import java.util.List;

/**
 * One output as the model description shows it.
 *
 * @param name        the variable's name
 * @param description one sentence for a host's variable list; may be empty
 * @param unit        the unit symbol; empty when dimensionless
 * @param dependsOn   the names of the inputs the output depends on directly (feedthrough)
 */
record OutputVariable(String name, String description, String unit, List<String> dependsOn) {
    OutputVariable {
        dependsOn = List.copyOf(dependsOn);
    }
}
