package com.korvan.kvbridge.server;

import com.korvan.kvbridge.model.ContinuousModel;
import com.korvan.kvbridge.model.Declaration;
import com.korvan.kvbridge.model.Model;

import java.util.Arrays;
import java.util.Collections;
import java.util.LinkedHashMap;
import java.util.Map;

/**
 * One instance on the embedded server: its model and the state of its run. Every method
 * holds the instance's lock, so one instance is driven by one thread at a time while
 * other instances run on other threads.
 *
 * <p>The instance keeps the current value of every input and parameter (from the start
 * values and what the host set) and starts each run from them. The library does not tell the
 * server about {@code fmi2Reset}: a new initialization is how a new run begins, whatever state
 * the previous run ended in, and it gets a new model object.
 *
 * <p>Between the experiment's set-up and the initialization a host may read the outputs (in
 * initialization mode): they are the initial outputs that the current inputs and parameters
 * give, from a model object initialized for that read alone, or NaN when the model cannot
 * start from them (the initialization then fails with the model's reason).
 */
final class ServerInstance implements AutoCloseable {
    private enum Run { INSTANTIATED, SET_UP, INITIALIZED, TERMINATED }

    private final String name;
    private final LoadedModel loaded;
    private final Declaration declaration;
    private final ValueLayout layout;
    private final String outputCountText;
    private final String inputCountText;
    private final String realCountText;
    private final double[] inputs;
    private final double[] parameters;      // current values, for the next run
    private final boolean[] tunePending;    // tunable parameters set during the run
    private String fixedParameterRefusal;  // a fixed parameter set during the run, or null
    private final double[] outputs;
    private final double[] stepOutputs;     // what the model writes; kept only on success
    private Model model;
    private boolean modelUsed;              // whether the object has begun a run
    private Run run = Run.INSTANTIATED;
    private boolean initialOutputsDue;  // set up, and the initialization not yet begun
    private double startTime;
    private boolean stopTimeDefined;
    private double stopTime;
    private double nextTime;       // where the next step must start
    private double lastStepSize;   // 0 before the first step

    ServerInstance(String name, LoadedModel loaded) {
        this.name = name;
        this.loaded = loaded;
        this.declaration = loaded.declaration();
        this.layout = new ValueLayout(declaration);
        this.outputCountText = Integer.toString(layout.outputs());
        this.inputCountText = Integer.toString(layout.inputs());
        this.realCountText = Integer.toString(layout.reals());
        this.inputs = new double[layout.inputs()];
        for (int i = 0; i < inputs.length; i++) inputs[i] = declaration.inputs().get(i).start();
        this.parameters = new double[layout.parameters()];
        for (int p = 0; p < parameters.length; p++) {
            parameters[p] = loaded.parameters().get(declaration.parameters().get(p).name());
        }
        this.tunePending = new boolean[parameters.length];
        this.outputs = new double[layout.outputs()];
        this.stepOutputs = new double[layout.outputs()];
        this.model = loaded.model();
    }

    /** Needs no lock: the counts never change. */
    String property(String key) throws SimulationException {
        if ("number_of_outputs".equals(key)) return outputCountText;
        if ("number_of_inputs".equals(key)) return inputCountText;
        if ("number_of_reals".equals(key)) return realCountText;
        throw new SimulationException("Instance " + name + " has no property " + key
                + ": the properties are number_of_outputs, number_of_inputs and"
                + " number_of_reals");
    }

    synchronized void setupExperiment(double start, boolean stopDefined, double stop)
            throws SimulationException {
        if (!Double.isFinite(start)) {
            throw new SimulationException("Instance " + name + ": the start time " + start
                    + " is not a finite number");
        }
        if (stopDefined && !(Double.isFinite(stop) && stop > start)) {
            throw new SimulationException("Instance " + name + ": the stop time " + stop
                    + " must be a finite time after the start time " + start);
        }
        startTime = start;
        stopTimeDefined = stopDefined;
        stopTime = stop;
        run = Run.SET_UP;  // a new run, also after a reset of the instance
        initialOutputsDue = true;
    }

    /**
     * Starts a run from the current inputs and parameters. After a run (the host reset the
     * instance) the run starts over with a new model object, as a fresh instance would.
     */
    synchronized void initialize() throws SimulationException {
        if (run == Run.INSTANTIATED) {
            throw wrongOrder("cannot be initialized before its experiment is set up:"
                    + " call fmi2SetupExperiment first");
        }
        run = Run.SET_UP;
        initialOutputsDue = false;
        fixedParameterRefusal = null;
        Arrays.fill(tunePending, false);
        requireFiniteParameters();
        if (modelUsed) model = loaded.newModel();
        modelUsed = true;
        startModel(model, stepOutputs);
        keepFiniteOutputs(startTime, Double.NaN);
        nextTime = startTime;
        lastStepSize = 0;
        run = Run.INITIALIZED;
    }

    /**
     * Records an input or parameter. A parameter set during a run takes effect from the next
     * step when it is tunable; a fixed one makes the next step fail, and takes effect at the
     * next initialization.
     */
    synchronized void setReal(int valueReference, double value) throws SimulationException {
        int input = layout.input(valueReference);
        if (input >= 0) {
            inputs[input] = value;
            return;
        }
        int parameter = layout.parameter(valueReference);
        if (parameter < 0) {
            throw new SimulationException("Instance " + name + ": value reference "
                    + Integer.toUnsignedString(valueReference) + " is not an input or a"
                    + " parameter; " + layout.describe());
        }
        parameters[parameter] = value;
        if (run != Run.INITIALIZED) return;
        if (declaration.parameters().get(parameter).tunable()) {
            tunePending[parameter] = true;
        } else if (fixedParameterRefusal == null) {
            fixedParameterRefusal = "Instance " + name + ": parameter "
                    + describeParameter(parameter) + " is fixed and was set to " + value
                    + " during the run; a fixed parameter can only be set before"
                    + " fmi2ExitInitializationMode: to run with the new value, reset the"
                    + " instance with fmi2Reset and set it again before"
                    + " fmi2ExitInitializationMode";
        }
    }

    synchronized void step(double time, double stepSize, double[] stepInputs)
            throws SimulationException {
        checkStep(time, stepSize, stepInputs);
        System.arraycopy(stepInputs, 0, inputs, 0, inputs.length);
        try {
            tunePendingParameters();
            model.step(time, stepSize, inputs, stepOutputs);
        } catch (Throwable e) {  // whatever the model throws, checked or not, ends the run
            run = Run.TERMINATED;
            throw new SimulationException("Model " + modelName() + " failed in the step from"
                    + " t = " + time + " over " + stepSize + " s: " + Failures.describe(e), e);
        }
        keepFiniteOutputs(time, stepSize);
        nextTime = time + stepSize;
        lastStepSize = stepSize;
    }

    /**
     * The outputs of the last successful initialization or step; between the set-up and the
     * initialization, the initial outputs of the current inputs and parameters.
     */
    synchronized double[] outputs() {
        return initialOutputsDue ? initialOutputs() : outputs.clone();
    }

    synchronized void terminate() {
        run = Run.TERMINATED;
    }

    @Override
    public synchronized void close() {
        loaded.close();
    }

    /**
     * The outputs at the start time for a read before the initialization, from a model object
     * of their own: the run itself starts from a fresh one. When the model cannot start, they
     * are NaN, which no host takes for a value; the initialization tells why.
     */
    private double[] initialOutputs() {
        double[] initial = new double[outputs.length];
        try {
            requireFiniteParameters();
            startModel(loaded.newModel(), initial);
        } catch (SimulationException e) {
            Arrays.fill(initial, Double.NaN);
        }
        return initial;
    }

    private void startModel(Model starting, double[] initialOutputs) throws SimulationException {
        try {
            starting.initialize(parameterMap(), startTime, inputs.clone(), initialOutputs);
        } catch (Throwable e) {  // whatever the model throws, checked or not, ends the run
            throw new SimulationException("Model " + modelName() + " failed to initialize at t = "
                    + startTime + ": " + Failures.describe(e), e);
        }
    }

    private void requireFiniteParameters() throws SimulationException {
        for (int p = 0; p < parameters.length; p++) {
            if (!Double.isFinite(parameters[p])) {
                throw new SimulationException("Instance " + name + ": parameter "
                        + describeParameter(p) + " is " + parameters[p]
                        + "; parameters must be finite numbers");
            }
        }
    }

    private void tunePendingParameters() {
        for (int p = 0; p < parameters.length; p++) {
            if (tunePending[p]) {
                tunePending[p] = false;
                model.tune(parameterName(p), parameters[p]);
            }
        }
    }

    private Map<String, Double> parameterMap() {
        Map<String, Double> map = new LinkedHashMap<>();
        for (int p = 0; p < parameters.length; p++) map.put(parameterName(p), parameters[p]);
        return Collections.unmodifiableMap(map);
    }

    private void checkStep(double time, double stepSize, double[] stepInputs)
            throws SimulationException {
        if (run != Run.INITIALIZED) {
            throw wrongOrder(run == Run.TERMINATED
                    ? "has ended its run and cannot step: reset it (fmi2Reset) or instantiate"
                    + " it again"
                    : "cannot step before its model is initialized: call"
                    + " fmi2EnterInitializationMode and fmi2ExitInitializationMode first");
        }
        if (fixedParameterRefusal != null) throw new SimulationException(fixedParameterRefusal);
        if (!(Double.isFinite(time) && Double.isFinite(stepSize) && stepSize > 0)) {
            throw new SimulationException("Instance " + name + ": a step needs a finite start"
                    + " time and a positive step size, not t = " + time + ", h = " + stepSize);
        }
        if (!StepTiming.continues(nextTime, lastStepSize, time)) {
            throw new SimulationException("Instance " + name + ": the step starts at t = "
                    + time + " but the " + (lastStepSize == 0 ? "run starts" : "last step ended")
                    + " at t = " + nextTime + "; steps must follow one another without gap or"
                    + " overlap (tolerance " + StepTiming.tolerance(nextTime, lastStepSize)
                    + " s)");
        }
        double end = time + stepSize;
        if (stopTimeDefined && !StepTiming.endsByStop(end, stopTime, stepSize)) {
            throw new SimulationException("Instance " + name + ": the step to t = " + end
                    + " goes beyond the stop time " + stopTime + " set by fmi2SetupExperiment");
        }
        if (stepInputs == null || stepInputs.length != inputs.length) {
            throw new SimulationException("Instance " + name + ": the step brought "
                    + (stepInputs == null ? "no" : Integer.toString(stepInputs.length))
                    + " input values, the model has " + inputs.length + " inputs");
        }
        for (int i = 0; i < inputs.length; i++) {
            if (!Double.isFinite(stepInputs[i])) {
                throw new SimulationException("Instance " + name + ": input "
                        + declaration.inputs().get(i).name() + " is " + stepInputs[i]
                        + " at t = " + time + "; inputs must be finite numbers");
            }
        }
        for (int p = 0; p < parameters.length; p++) {
            if (tunePending[p] && !Double.isFinite(parameters[p])) {
                throw new SimulationException("Instance " + name + ": parameter "
                        + describeParameter(p) + " was set to " + parameters[p]
                        + " during the run; parameters must be finite numbers");
            }
        }
    }

    /**
     * Takes the model's outputs when all are finite; otherwise the run ends, the last good
     * outputs stay, and the failure names the first output that is not finite and when: in the
     * step from `time` over `stepSize`, or at the start time when `stepSize` is NaN. (No
     * lambda: this runs in every step, and the first lambda costs a Java VM milliseconds.)
     */
    private void keepFiniteOutputs(double time, double stepSize) throws SimulationException {
        for (int i = 0; i < stepOutputs.length; i++) {
            if (!Double.isFinite(stepOutputs[i])) {
                run = Run.TERMINATED;
                throw new SimulationException("Model " + modelName() + " produced "
                        + stepOutputs[i] + " for output " + declaration.outputs().get(i).name()
                        + (Double.isNaN(stepSize) ? " at the start time " + time
                        : " in the step from t = " + time + " over " + stepSize + " s")
                        + ": check its parameters and inputs"
                        + integrationHint());
            }
        }
        System.arraycopy(stepOutputs, 0, outputs, 0, outputs.length);
    }

    private String integrationHint() {
        return model instanceof ContinuousModel continuous ? continuous.stabilityHint() : "";
    }

    private String parameterName(int parameter) {
        return declaration.parameters().get(parameter).name();
    }

    /** The parameter's name and value reference, for messages. */
    private String describeParameter(int parameter) {
        return parameterName(parameter) + " (value reference "
                + layout.parameterReference(parameter) + ")";
    }

    private SimulationException wrongOrder(String what) {
        return new SimulationException("Instance " + name + " " + what);
    }

    private String modelName() {
        return declaration.modelName();
    }
}
