package com.korvan.kvbridge.server;

import com.korvan.kvbridge.model.Declaration;

/**
 * One instance on the embedded server: its model and the state of its run. Every method
 * holds the instance's lock, so one instance is driven by one thread at a time while
 * other instances run on other threads.
 */
final class ServerInstance implements AutoCloseable {
    private enum Run { INSTANTIATED, SET_UP, INITIALIZED, TERMINATED }

    private final String name;
    private final LoadedModel loaded;
    private final Declaration declaration;
    private final int outputCount;
    private final int inputCount;
    private final String outputCountText;
    private final String inputCountText;
    private final String realCountText;
    private final double[] inputs;
    private final double[] outputs;
    private Run run = Run.INSTANTIATED;
    private double startTime;
    private boolean stopTimeDefined;
    private double stopTime;
    private double nextTime;       // where the next step must start
    private double lastStepSize;   // 0 before the first step

    ServerInstance(String name, LoadedModel loaded) {
        this.name = name;
        this.loaded = loaded;
        this.declaration = loaded.declaration();
        this.outputCount = declaration.outputs().size();
        this.inputCount = declaration.inputs().size();
        this.outputCountText = Integer.toString(outputCount);
        this.inputCountText = Integer.toString(inputCount);
        this.realCountText = Integer.toString(2 * outputCount + inputCount);
        this.inputs = new double[inputCount];
        for (int i = 0; i < inputCount; i++) inputs[i] = declaration.inputs().get(i).start();
        this.outputs = new double[outputCount];
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
    }

    synchronized void initialize() throws SimulationException {
        if (run == Run.INSTANTIATED) {
            throw wrongOrder("cannot be initialized before its experiment is set up:"
                    + " call fmi2SetupExperiment first");
        }
        try {
            loaded.model().initialize(loaded.parameters(), startTime, inputs.clone(), outputs);
        } catch (RuntimeException | LinkageError | StackOverflowError e) {
            run = Run.SET_UP;
            throw new SimulationException("Model " + modelName() + " failed to initialize at t = "
                    + startTime + ": " + Failures.describe(e), e);
        }
        if (!outputsFinite()) throw nonFiniteOutput("at the start time " + startTime);
        nextTime = startTime;
        lastStepSize = 0;
        run = Run.INITIALIZED;
    }

    synchronized void setReal(int valueReference, double value) throws SimulationException {
        int input = valueReference - 2 * outputCount;
        if (input < 0 || input >= inputCount) {
            throw new SimulationException("Instance " + name + ": value reference "
                    + Integer.toUnsignedString(valueReference) + " is not an input; the inputs"
                    + " are " + (inputCount == 0 ? "none" : "value references " + 2 * outputCount
                    + " to " + (2 * outputCount + inputCount - 1)));
        }
        inputs[input] = value;
    }

    synchronized void step(double time, double stepSize, double[] stepInputs)
            throws SimulationException {
        checkStep(time, stepSize, stepInputs);
        System.arraycopy(stepInputs, 0, inputs, 0, inputCount);
        try {
            loaded.model().step(time, stepSize, inputs, outputs);
        } catch (RuntimeException | LinkageError | StackOverflowError e) {
            run = Run.TERMINATED;
            throw new SimulationException("Model " + modelName() + " failed in the step from"
                    + " t = " + time + " over " + stepSize + " s: " + Failures.describe(e), e);
        }
        if (!outputsFinite()) {
            throw nonFiniteOutput("in the step from t = " + time + " over " + stepSize + " s");
        }
        nextTime = time + stepSize;
        lastStepSize = stepSize;
    }

    synchronized double[] outputs() {
        return outputs.clone();
    }

    synchronized void terminate() {
        run = Run.TERMINATED;
    }

    @Override
    public synchronized void close() {
        loaded.close();
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
        if (stopTimeDefined && end > stopTime
                && !StepTiming.continues(stopTime, stepSize, end)) {
            throw new SimulationException("Instance " + name + ": the step to t = " + end
                    + " goes beyond the stop time " + stopTime + " set by fmi2SetupExperiment");
        }
        if (stepInputs == null || stepInputs.length != inputCount) {
            throw new SimulationException("Instance " + name + ": the step brought "
                    + (stepInputs == null ? "no" : Integer.toString(stepInputs.length))
                    + " input values, the model has " + inputCount + " inputs");
        }
        for (int i = 0; i < inputCount; i++) {
            if (!Double.isFinite(stepInputs[i])) {
                throw new SimulationException("Instance " + name + ": input "
                        + declaration.inputs().get(i).name() + " is " + stepInputs[i]
                        + " at t = " + time + "; inputs must be finite numbers");
            }
        }
    }

    private boolean outputsFinite() {
        for (double output : outputs) {
            if (!Double.isFinite(output)) return false;
        }
        return true;
    }

    /** The failure of a model that left a non-finite output; {@code when} says where. */
    private SimulationException nonFiniteOutput(String when) {
        run = Run.TERMINATED;
        int i = 0;
        while (Double.isFinite(outputs[i])) i++;
        return new SimulationException("Model " + modelName() + " produced " + outputs[i]
                + " for output " + declaration.outputs().get(i).name() + " " + when
                + ": check its parameters and inputs");
    }

    private SimulationException wrongOrder(String what) {
        return new SimulationException("Instance " + name + " " + what);
    }

    private String modelName() {
        return declaration.modelName();
    }
}
