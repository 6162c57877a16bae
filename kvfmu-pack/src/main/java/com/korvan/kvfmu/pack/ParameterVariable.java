package com.korvan.kvfmu.pack;

/**
 * One parameter as the model description shows it.
 *
 * @param name        the parameter's name
 * @param description one sentence for a host's variable list; may be empty
 * @param unit        the unit symbol; empty when dimensionless
 * @param start       the packed value, else the model's default
 * @param tunable     whether the model accepts a new value during a run
 */
record ParameterVariable(String name, String description, String unit, double start,
                         boolean tunable) {}
