package com.korvan.kvbridge.model;

import java.util.Map;

/**
 * A simulation model that the embedded server runs. The server makes one object of the
 * model class per FMU instance through its public no-argument constructor, so an object
 * may keep the state of its run in fields. Its methods are called on one thread at a time.
 *
 * <p>Arrays are laid out as the {@link #declaration()} lists the variables. A method that
 * throws, or leaves a non-finite output, fails the call; the host is told why.
 */
public interface Model {
    /** The model's variables, parameters and default experiment; the same for every object. */
    Declaration declaration();

    /**
     * Starts a run.
     *
     * @param parameters every declared parameter by name, its value from the model
     *                   descriptor or its default
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
}
