package com.korvan.kvbridge.server;

/**
 * The simulation server as the facade sees it. Instances are known by their name only.
 * Every method may be called from any thread; different instances may be driven from
 * different threads at the same time. A refused call throws {@link SimulationException}
 * with a text for the user; no other exception leaves an implementation.
 */
public interface SimulationServer {
    /** Creates the instance {@code name} from the FMU's resources folder (a file: URI). */
    void instantiate(String name, String resourceLocation) throws SimulationException;

    /**
     * The value of a property of the instance as text: "number_of_outputs",
     * "number_of_inputs" or "number_of_reals" (2 outputs + inputs + parameters), in decimal
     * digits.
     */
    String property(String name, String key) throws SimulationException;

    /** Sets the experiment's start time and, when {@code stopTimeDefined}, its stop time. */
    void setupExperiment(String name, double startTime, boolean stopTimeDefined, double stopTime)
            throws SimulationException;

    /**
     * Initializes the model at the start time from the current inputs and parameters; its
     * outputs are then available. Called again (after the host reset the instance) it starts
     * a new run, the same as a fresh instance's.
     */
    void initialize(String name) throws SimulationException;

    /**
     * Sets a real variable by value reference: inputs begin at 2 outputs, parameters follow
     * them. A parameter set before initialization holds for the run; a tunable one set during
     * a run takes effect from the next step; a fixed one set during a run makes the next step
     * fail, until a new initialization. Values set on other variables are refused.
     */
    void setReal(String name, int valueReference, double value) throws SimulationException;

    /** One communication step from {@code time} over {@code stepSize} with these inputs. */
    void step(String name, double time, double stepSize, double[] inputs)
            throws SimulationException;

    /**
     * A copy of the outputs; element i is the output with value reference i. Between the
     * experiment's set-up and the initialization (a host's read in initialization mode) they
     * are the initial outputs that the current inputs and parameters give (NaN when the model
     * cannot start from them).
     */
    double[] outputs(String name) throws SimulationException;

    /** Ends the run; the instance answers only for its outputs afterwards. */
    void terminate(String name) throws SimulationException;

    /** Forgets the instance; freeing an unknown name does nothing. */
    void free(String name);
}
