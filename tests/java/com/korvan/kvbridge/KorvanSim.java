package com.korvan.kvbridge;

/**
 * Stand-in for the server's facade: every method logs its call and answers as Script
 * says. Each method sits between "// method NAME" and "// end NAME" so that the build can
 * make variants of the class with one method missing.
 */
public class KorvanSim {
    private KorvanSim() {}

    // method create
    public static KorvanSim create() {
        Script.enter("create");
        if (Script.createReturnsNull()) return null;
        KorvanSim facade = new KorvanSim();
        Script.created(facade);
        return facade;
    }
    // end create

    // method doInitConnection
    public boolean doInitConnection() {
        Script.enter("doInitConnection");
        Script.pauseIfHeld("doInitConnection");
        return Script.answerOf("doInitConnection");
    }
    // end doInitConnection

    // method doInstantiate
    public boolean doInstantiate(String name, String resourceLocation) {
        Script.enter("doInstantiate", name, resourceLocation);
        return Script.answerOf("doInstantiate");
    }
    // end doInstantiate

    // method getLasterror
    public String getLasterror() {
        Script.enter("getLasterror");
        return Script.lastErrorText();
    }
    // end getLasterror

    // method getProp
    public String getProp(String name, String key) {
        Script.enter("getProp", name, key);
        return Script.propOf(key);
    }
    // end getProp

    // method doSetupExperiment
    public boolean doSetupExperiment(String name, double startTime, boolean stopTimeDefined,
                                     double stopTime) {
        Script.enter("doSetupExperiment", name, startTime, stopTimeDefined, stopTime);
        return Script.answerOf("doSetupExperiment");
    }
    // end doSetupExperiment

    // method doInitializeModel
    public boolean doInitializeModel(String name) {
        Script.enter("doInitializeModel", name);
        return Script.answerOf("doInitializeModel");
    }
    // end doInitializeModel

    // method setReal
    public void setReal(String name, int vr, double value) {
        Script.enter("setReal", name, vr, value);
    }
    // end setReal

    // method doStepModel
    public boolean doStepModel(String name, double time, double stepSize, double[] inputs) {
        Script.enter("doStepModel", name, time, stepSize, inputs);
        return Script.answerOf("doStepModel");
    }
    // end doStepModel

    // method getData
    public double[] getData(String name) {
        Script.enter("getData", name);
        return Script.dataCopy();
    }
    // end getData

    // method doTerminate
    public void doTerminate(String name) {
        Script.enter("doTerminate", name);
    }
    // end doTerminate

    // method doFreeInstance
    public void doFreeInstance(String name) {
        Script.enter("doFreeInstance", name);
    }
    // end doFreeInstance
}
