package com.korvan.kvfmu.pack;

/**
 * The start value of an input or parameter, which the FMU's provider applies at
 * instantiation and after a reset.
 *
 * @param valueReference the variable's value reference
 * @param start          its start value
 */
record StartValue(int valueReference, double start) {}
