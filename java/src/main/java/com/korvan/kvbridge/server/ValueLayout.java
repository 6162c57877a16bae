package com.korvan.kvbridge.server;

import com.korvan.kvbridge.model.Declaration;

/**
 * Where a model's variables lie among the library's real values: outputs at 0..nOut-1, a
 * copy of each output at nOut..2nOut-1, inputs at 2nOut..2nOut+nIn-1, parameters at
 * 2nOut+nIn..2nOut+nIn+nPar-1, each in declaration order.
 *
 * @param outputs    number of outputs
 * @param inputs     number of inputs
 * @param parameters number of parameters
 */
record ValueLayout(int outputs, int inputs, int parameters) {
    ValueLayout(Declaration declaration) {
        this(declaration.outputs().size(), declaration.inputs().size(),
                declaration.parameters().size());
    }

    /** The number of real values, "number_of_reals". */
    int reals() {
        return 2 * outputs + inputs + parameters;
    }

    /** The input's position for a value reference, or -1 when it is no input. */
    int input(int valueReference) {
        long k = Integer.toUnsignedLong(valueReference) - 2L * outputs;
        return k >= 0 && k < inputs ? (int) k : -1;
    }

    /** The parameter's position for a value reference, or -1 when it is no parameter. */
    int parameter(int valueReference) {
        long p = Integer.toUnsignedLong(valueReference) - 2L * outputs - inputs;
        return p >= 0 && p < parameters ? (int) p : -1;
    }

    int parameterReference(int parameter) {
        return 2 * outputs + inputs + parameter;
    }

    /** Which value references a host may set, for messages. */
    String describe() {
        return "the inputs are " + range(2 * outputs, inputs) + " and the parameters "
                + range(2 * outputs + inputs, parameters);
    }

    private static String range(int first, int count) {
        if (count == 0) return "none";
        return count == 1 ? "value reference " + first
                : "value references " + first + " to " + (first + count - 1);
    }
}
