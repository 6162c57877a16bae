package com.korvan.kvbridge.model;

import java.util.ArrayList;
import java.util.List;
import java.util.Map;

/**
 * A model given by ordinary differential equations dx/dt = f(t, x, u), which this class
 * integrates. A model author writes the declaration, the start state, the derivatives and
 * the outputs, and may declare state events; the integration is done.
 *
 * <p>The integration method is the model's choice ({@link #integrationMethod()}): by default
 * Dormand-Prince 8(5,3) with error control. Inputs are held constant over each
 * communication step. This class adds tunable parameters to the declared ones, which every
 * host sees and may set: {@value #INTERNAL_STEP}, the longest internal step, and for the
 * error-controlled methods {@value #RELATIVE_TOLERANCE} and {@value #ABSOLUTE_TOLERANCE},
 * the error allowed in each internal step. Their defaults give the built-in models a
 * relative accuracy of 1e-8 or better.
 *
 * <p>State events ({@link #stateEvents()}) are located inside the communication step and
 * change the state or stop the integration there.
 *
 * <p>A step fails at once, with a text that names the parameter to change, when the state
 * or its derivative leaves the finite range, when an error-controlled method would need an
 * internal step shorter than its minimum (about 1e-12 of the time scale; the model is then
 * diverging, or too stiff for the tolerances), or when a communication step would need
 * more than {@value #MAX_INTERNAL_STEPS} internal steps.
 *
 * <p>Tunable parameters of the model itself reach {@link #tuneParameter(String, double)}.
 */
public abstract class ContinuousModel implements Model {
    /** The parameter that bounds the internal integration step. */
    public static final String INTERNAL_STEP = "internalStepSize";
    /** The parameter that sets the relative error allowed per internal step. */
    public static final String RELATIVE_TOLERANCE = "relativeTolerance";
    /** The parameter that sets the absolute error allowed per internal step. */
    public static final String ABSOLUTE_TOLERANCE = "absoluteTolerance";
    /** A communication step may need at most this many internal steps. */
    public static final int MAX_INTERNAL_STEPS = 1_000_000;

    private Declaration declaration;
    private IntegrationMethod method;
    private List<StateEvent> events = List.of();
    private double internalStep;
    private double relativeTolerance;
    private double absoluteTolerance;
    private double[] state = new double[0];
    private Integrator integrator;
    private boolean stopped;
    private long evaluations;

    /**
     * The model's variables and parameters, without the integration's parameters.
     *
     * @return the declaration of the model's own variables and parameters
     */
    protected abstract Declaration declareModel();

    /**
     * How the model is integrated; the same for every object of the class. See
     * {@link IntegrationMethod} for what each method does.
     *
     * @return {@link IntegrationMethod#DORMAND_PRINCE_853} unless a model answers otherwise
     */
    protected IntegrationMethod integrationMethod() {
        return IntegrationMethod.DORMAND_PRINCE_853;
    }

    /**
     * The default of {@value #INTERNAL_STEP}, in seconds: the fixed step of
     * {@link IntegrationMethod#CLASSICAL_RUNGE_KUTTA}, the longest step of the
     * error-controlled methods.
     *
     * @return 1 ms for the fixed-step method; for the error-controlled ones the communication
     *         step of the default experiment (the error alone then sets the step within a
     *         communication step), unless a model answers otherwise
     */
    protected double defaultInternalStep() {
        return integrationMethod().errorControlled()
                ? declareModel().defaultExperiment().stepSize() : 1e-3;
    }

    /**
     * The default of {@value #RELATIVE_TOLERANCE}, the error allowed per internal step
     * relative to the size of each state.
     *
     * @return 1e-10 unless a model answers otherwise
     */
    protected double defaultRelativeTolerance() {
        return 1e-10;
    }

    /**
     * The default of {@value #ABSOLUTE_TOLERANCE}, the error allowed per internal step in
     * the state's own unit; it rules while a state is near zero, so choose it well below the
     * smallest value of a state that still matters.
     *
     * @return 1e-10 unless a model answers otherwise
     */
    protected double defaultAbsoluteTolerance() {
        return 1e-10;
    }

    /**
     * The model's state events, located during the integration. Called once a run, after
     * {@link #startState}, so the events may use the run's parameters.
     *
     * @return none unless a model answers otherwise
     */
    protected List<StateEvent> stateEvents() {
        return List.of();
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
            if (integrationMethod().errorControlled()) {
                parameters.add(new Parameter(INTERNAL_STEP,
                        "Longest internal step of the error-controlled integration", "s",
                        defaultInternalStep(), true));
                parameters.add(new Parameter(RELATIVE_TOLERANCE,
                        "Error allowed per internal step, relative to each state's size", "",
                        defaultRelativeTolerance(), true));
                parameters.add(new Parameter(ABSOLUTE_TOLERANCE,
                        "Error allowed per internal step for states near 0, in their unit", "",
                        defaultAbsoluteTolerance(), true));
            } else {
                parameters.add(new Parameter(INTERNAL_STEP,
                        "Longest internal step of the fixed-step Runge-Kutta integration", "s",
                        defaultInternalStep(), true));
            }
            declaration = new Declaration(model.modelName(), model.description(),
                    model.outputs(), model.inputs(), parameters, model.defaultExperiment());
        }
        return declaration;
    }

    @Override
    public final void initialize(Map<String, Double> parameters, double startTime,
                                 double[] inputs, double[] outputs) {
        method = integrationMethod();
        Double step = parameters.get(INTERNAL_STEP);  // its default costs a declaration
        internalStep = positive(INTERNAL_STEP, step != null ? step : defaultInternalStep());
        relativeTolerance = positive(RELATIVE_TOLERANCE,
                parameters.getOrDefault(RELATIVE_TOLERANCE, defaultRelativeTolerance()));
        absoluteTolerance = positive(ABSOLUTE_TOLERANCE,
                parameters.getOrDefault(ABSOLUTE_TOLERANCE, defaultAbsoluteTolerance()));
        state = startState(parameters, startTime, inputs).clone();
        events = List.copyOf(stateEvents());
        integrator = null;
        stopped = false;
        evaluations = 0;
        outputs(startTime, state, inputs, outputs);
    }

    @Override
    public final void step(double time, double stepSize, double[] inputs, double[] outputs) {
        if (!stopped) {
            long count = internalSteps(stepSize, internalStep);
            if (count > MAX_INTERNAL_STEPS) {
                throw new IllegalArgumentException("A step of " + stepSize + " s needs "
                        + (method.errorControlled() ? "at least " : "") + count
                        + " internal steps of " + internalStep + " s, more than "
                        + MAX_INTERNAL_STEPS + ": raise " + INTERNAL_STEP);
            }
            if (integrator == null) integrator = newIntegrator();
            stopped = !integrator.advance(state, time, stepSize, inputs);
        }
        outputs(time + stepSize, state, inputs, outputs);
    }

    /**
     * Takes a new value of a tunable parameter: the integration's own here, the model's
     * through {@link #tuneParameter(String, double)}.
     */
    @Override
    public final void tune(String name, double value) {
        switch (name) {
            case INTERNAL_STEP -> internalStep = positive(name, value);
            case RELATIVE_TOLERANCE -> relativeTolerance = positive(name, value);
            case ABSOLUTE_TOLERANCE -> absoluteTolerance = positive(name, value);
            default -> {
                tuneParameter(name, value);
                return;
            }
        }
        integrator = null;  // made again with the new setting at the next step
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
     * @return the fixed step, or the longest step of an error-controlled method, now
     */
    public final double internalStepSize() {
        return internalStep;
    }

    /**
     * The relative tolerance of the run; unused by the fixed-step method.
     *
     * @return the relative error allowed per internal step now
     */
    public final double relativeTolerance() {
        return relativeTolerance;
    }

    /**
     * The absolute tolerance of the run; unused by the fixed-step method.
     *
     * @return the absolute error allowed per internal step now
     */
    public final double absoluteTolerance() {
        return absoluteTolerance;
    }

    /**
     * How often the run has evaluated {@link #derivatives}: the integration's cost.
     *
     * @return the number of evaluations since the run was initialized
     */
    public final long derivativeEvaluations() {
        return evaluations;
    }

    /**
     * What to lower when the integration may have made an output non-finite, for messages.
     *
     * @return a clause naming the fixed step and its value, or an empty text for the
     *         error-controlled methods, whose state is checked after every integration
     */
    public final String stabilityHint() {
        return method != null && method.errorControlled() ? ""
                : ", or lower " + INTERNAL_STEP + " (now " + internalStep + " s) if its"
                + " integration became unstable";
    }

    static int internalSteps(double stepSize, double internalStep) {
        return (int) Math.max(1, Math.min(Integer.MAX_VALUE,
                Math.ceil(stepSize / internalStep - 1e-9)));
    }

    void evaluate(double t, double[] x, double[] u, double[] dxdt) {
        evaluations++;
        derivatives(t, x, u, dxdt);
    }

    /** Fails the step when a value of the state (or its derivative: {@code what}) is not finite. */
    void requireFinite(double[] values, double t, String what) {
        for (int j = 0; j < values.length; j++) {
            if (!Double.isFinite(values[j])) {
                throw divergence("the integration left the finite range at t = " + t
                        + " (" + what + " " + j + " is " + values[j] + ")");
            }
        }
    }

    /** The failure of a diverging integration, with what the user may change. */
    ArithmeticException divergence(String what) {
        return new ArithmeticException(what + (method.errorControlled()
                ? ": the model is diverging, or too stiff for the tolerances; check its"
                + " parameters and inputs, or raise " + RELATIVE_TOLERANCE + " (now "
                + relativeTolerance + ") and " + ABSOLUTE_TOLERANCE + " (now "
                + absoluteTolerance + ")"
                : ": the internal step of " + internalStep + " s is too long for the model's"
                + " dynamics, or its parameters or inputs drive it out of range; lower "
                + INTERNAL_STEP + " (now " + internalStep + " s) or check them"));
    }

    private Integrator newIntegrator() {
        if (!method.errorControlled() && events.isEmpty()) {
            return new FixedStepRungeKutta(this, state.length);
        }
        return new OdeIntegrator(this, method, state.length, events);
    }

    private static double positive(String name, double value) {
        if (!(value > 0 && Double.isFinite(value))) {
            throw new IllegalArgumentException("Parameter " + name + " must be a positive"
                    + (name.equals(INTERNAL_STEP) ? " time" : " number") + ", not " + value);
        }
        return value;
    }
}
