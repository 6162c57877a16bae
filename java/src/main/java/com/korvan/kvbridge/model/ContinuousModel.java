package com.korvan.kvbridge.model;

import java.util.ArrayList;
import java.util.List;
import java.util.Map;

/**
 * A model given by ordinary differential equations dx/dt = f(t, x, u), which this class
 * integrates with the classic fourth-order Runge-Kutta method. A model author writes the
 * declaration, the start state, the derivatives and the outputs; the integration is done.
 *
 * <p>Each communication step of length h is split into the fewest equal internal steps no
 * longer than the parameter {@value #INTERNAL_STEP} (which this class adds to the declared
 * parameters, tunable), so the last internal step ends exactly at the end of the
 * communication step. Inputs are held constant over the communication step. When the state
 * leaves the finite range, which an internal step too long for a stiff model causes, the step
 * fails at once with a text that says to lower {@value #INTERNAL_STEP}.
 *
 * <p>Tunable parameters of the model itself reach {@link #tuneParameter(String, double)}.
 */
public abstract class ContinuousModel implements Model {
    /** The parameter that bounds the internal integration step. */
    public static final String INTERNAL_STEP = "internalStepSize";
    /** A communication step may need at most this many internal steps. */
    public static final int MAX_INTERNAL_STEPS = 1_000_000;

    private Declaration declaration;
    private double internalStep;
    private double[] state = new double[0];
    private double[] k1, k2, k3, k4, stage;

    /**
     * The model's variables and parameters, without the internal step parameter.
     *
     * @return the declaration of the model's own variables and parameters
     */
    protected abstract Declaration declareModel();

    /**
     * The internal step's default, in seconds.
     *
     * @return 1 ms unless a model answers otherwise
     */
    protected double defaultInternalStep() {
        return 1e-3;
    }

    /**
     * Reads the parameters (throwing IllegalArgumentException with a text for the user when
     * one is out of range) and answers the state at the start time.
     *
     * @param parameters every declared parameter by name
     * @param startTime  the start time, in seconds
     * @param inputs     the inputs at the start time
     * @return the state x at the start time
     */
    protected abstract double[] startState(Map<String, Double> parameters, double startTime,
                                           double[] inputs);

    /**
     * Writes dx/dt at time t for state x and inputs u into dxdt.
     *
     * @param t    the time, in seconds
     * @param x    the state
     * @param u    the inputs
     * @param dxdt to be filled with the derivatives of the state
     */
    protected abstract void derivatives(double t, double[] x, double[] u, double[] dxdt);

    /**
     * Writes the outputs at time t for state x and inputs u into y.
     *
     * @param t the time, in seconds
     * @param x the state
     * @param u the inputs
     * @param y to be filled with the outputs
     */
    protected abstract void outputs(double t, double[] x, double[] u, double[] y);

    @Override
    public final synchronized Declaration declaration() {
        if (declaration == null) {
            Declaration model = declareModel();
            List<Parameter> parameters = new ArrayList<>(model.parameters());
            parameters.add(new Parameter(INTERNAL_STEP,
                    "Longest internal step of the fixed-step Runge-Kutta integration", "s",
                    defaultInternalStep(), true));
            declaration = new Declaration(model.modelName(), model.description(),
                    model.outputs(), model.inputs(), parameters, model.defaultExperiment());
        }
        return declaration;
    }

    @Override
    public final void initialize(Map<String, Double> parameters, double startTime,
                                 double[] inputs, double[] outputs) {
        internalStep = checkedInternalStep(
                parameters.getOrDefault(INTERNAL_STEP, defaultInternalStep()));
        state = startState(parameters, startTime, inputs).clone();
        int n = state.length;
        k1 = new double[n];
        k2 = new double[n];
        k3 = new double[n];
        k4 = new double[n];
        stage = new double[n];
        outputs(startTime, state, inputs, outputs);
    }

    @Override
    public final void step(double time, double stepSize, double[] inputs, double[] outputs) {
        long count = (long) Math.ceil(stepSize / internalStep - 1e-9);
        if (count > MAX_INTERNAL_STEPS) {
            throw new IllegalArgumentException("A step of " + stepSize + " s needs " + count
                    + " internal steps of " + internalStep + " s, more than "
                    + MAX_INTERNAL_STEPS + ": raise " + INTERNAL_STEP);
        }
        int steps = (int) Math.max(1, count);
        double h = stepSize / steps;
        for (int i = 0; i < steps; i++) {
            double t = i + 1 == steps ? time + stepSize - h : time + i * h;
            rungeKutta(t, h, inputs);
            requireFiniteState(t + h);
        }
        outputs(time + stepSize, state, inputs, outputs);
    }

    /**
     * Takes a new value of a tunable parameter: {@value #INTERNAL_STEP} here, the model's own
     * through {@link #tuneParameter(String, double)}.
     */
    @Override
    public final void tune(String name, double value) {
        if (name.equals(INTERNAL_STEP)) {
            internalStep = checkedInternalStep(value);
        } else {
            tuneParameter(name, value);
        }
    }

    /**
     * Takes a new value of one of the model's own tunable parameters during a run; see
     * {@link Model#tune(String, double)}. Models that declare tunable parameters override it.
     *
     * @param name  the parameter's name
     * @param value its new value, in effect from the next step on
     */
    protected void tuneParameter(String name, double value) {
        throw new UnsupportedOperationException(getClass().getName() + " declares the"
                + " parameter " + name + " tunable but does not override tuneParameter");
    }

    /**
     * The internal step of the run, in seconds.
     *
     * @return the longest internal step the integration takes now
     */
    public final double internalStepSize() {
        return internalStep;
    }

    private static double checkedInternalStep(double step) {
        if (!(step > 0 && Double.isFinite(step))) {
            throw new IllegalArgumentException("Parameter " + INTERNAL_STEP + " must be a"
                    + " positive time, not " + step);
        }
        return step;
    }

    private void requireFiniteState(double t) {
        for (int j = 0; j < state.length; j++) {
            if (!Double.isFinite(state[j])) {
                throw new ArithmeticException("the integration left the finite range at t = " + t
                        + " (state " + j + " is " + state[j] + "): the internal step of "
                        + internalStep + " s is too long for the model's dynamics, or its"
                        + " parameters or inputs drive it out of range; lower "
                        + INTERNAL_STEP + " (now " + internalStep + " s) or check them");
            }
        }
    }

    private void rungeKutta(double t, double h, double[] u) {
        int n = state.length;
        derivatives(t, state, u, k1);
        for (int j = 0; j < n; j++) stage[j] = state[j] + h / 2 * k1[j];
        derivatives(t + h / 2, stage, u, k2);
        for (int j = 0; j < n; j++) stage[j] = state[j] + h / 2 * k2[j];
        derivatives(t + h / 2, stage, u, k3);
        for (int j = 0; j < n; j++) stage[j] = state[j] + h * k3[j];
        derivatives(t + h, stage, u, k4);
        for (int j = 0; j < n; j++) {
            state[j] += h / 6 * (k1[j] + 2 * k2[j] + 2 * k3[j] + k4[j]);
        }
    }
}
