package com.korvan.kvbridge;

/**
 * A facade that does nothing: the baseline against which the real facade and its server
 * are measured. Two outputs, four inputs.
 */
public final class KorvanSim {
    private static final double[] OUTPUTS = {0.5, 1.5};

    private KorvanSim() {}

    public static KorvanSim create() {
        return new KorvanSim();
    }

    public boolean doInitConnection() {
        return true;
    }

    public boolean doInstantiate(String name, String resourceLocation) {
        return true;
    }

    public String getLasterror() {
        return "";
    }

    public String getProp(String name, String key) {
        switch (key) {
            case "number_of_outputs": return "2";
            case "number_of_inputs": return "4";
            default: return "8";
        }
    }

    public boolean doSetupExperiment(String name, double startTime, boolean stopTimeDefined,
                                     double stopTime) {
        return true;
    }

    public boolean doInitializeModel(String name) {
        return true;
    }

    public void setReal(String name, int valueReference, double value) {}

    public boolean doStepModel(String name, double time, double stepSize, double[] inputs) {
        return true;
    }

    public double[] getData(String name) {
        return OUTPUTS;
    }

    public void doTerminate(String name) {}

    public void doFreeInstance(String name) {}
}
