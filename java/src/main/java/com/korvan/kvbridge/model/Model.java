package com.korvan.kvbridge.model;

import java.util.Map;

/**
 * A simulation model that the embedded server runs. The server makes an object of the model
 * class through its public no-argument constructor for every run of an FMU instance (a run
 * after {@code fmi2Reset} gets a new object), so an object may keep the state of its run in
 * fields. A host's read of the outputs in initialization mode gets an object of its own that
 * is only initialized. Its methods are called on one thread at a time.
 *
 * <p>Arrays are laid out as the {@link #declaration()} lists the variables. A method that
 * throws anything, or leaves a non-finite output, fails the call and ends the run; the host
 * is told why with the exception's message, so write messages a user can act on.
 */
public interface Model {
    /**
     * The model's variables, parameters and default experiment; the same for every object.
     *
     * @return the declaration
     */
    Declaration declaration();

    /**
     * Starts a run.
     *
     * @param parameters every declared parameter by name, in declaration order: the value the
     *                   host set before initialization, else the packed value, else the
     *                   default
     * @param startTime  the start time of the experiment, in seconds
     * @param inputs     the inputs at the start (their start values or what the host set)
     * @param outputs    to be filled with the outputs at the start time
     */
    void initialize(Map<String, Double> parameters, double startTime, double[] inputs,
                    double[] outputs);

    /**
     * Advances the model over one communication step.
     *
     * @param time     the communication point the step starts at, in seconds
     * @param stepSize the length of the step, in seconds (positive)
     * @param inputs   the inputs, held constant over the step
     * @param outputs  to be filled with the outputs at {@code time + stepSize}
     */
    void step(double time, double stepSize, double[] inputs, double[] outputs);

    /**
     * Takes a new value of a tunable parameter (one declared with {@code tunable = true}),
     * set by the host during the run. The server calls it before the next step, once per
     * changed parameter in declaration order; the value is finite. Throw
     * IllegalArgumentException with a text for the user to refuse a value: the step fails
     * and the run ends. Models that declare no tunable parameter need not implement it.
     *
     * @param name  the parameter's name
     * @param value its new value, in effect from the next step on
     */
    default void tune(String name, double value) {
        throw new UnsupportedOperationException(getClass().getName() + " declares the"
                + " parameter " + name + " tunable but does not implement Model.tune");
    }
}
