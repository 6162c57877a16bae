package com.korvan.kvfmu.pack;

/**
 * The start value of a variable the host may set (an input or a parameter).
 *
 * @param valueReference the variable's value reference
 * @param start          its start value
 */
record StartValue(int valueReference, double start) {}
