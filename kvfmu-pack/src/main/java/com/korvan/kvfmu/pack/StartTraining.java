package com.korvan.kvfmu.pack;

import com.korvan.kvbridge.KorvanSim;

/**
 * Run once in a runtime that kvfmu-pack has just made (see {@link RuntimeBundle}), with the
 * FMU's jars on the class path: starts the facade and an instance of the model the way an
 * instantiation through the FMU does, and takes a step, so that the Java VM can list the
 * classes of the runtime that an FMU's start loads. The runtime's class data archive then
 * holds them ready.
 */
public final class StartTraining {
    private StartTraining() {}

    /** The one argument is the file: URI of a folder laid out as the FMU's resources. */
    public static void main(String[] args) {
        String name = "training";
        try {
            KorvanSim facade = KorvanSim.create();
            if (!facade.doInitConnection() || !facade.doInstantiate(name, args[0])) return;
            int inputs = Integer.parseInt(facade.getProp(name, "number_of_inputs"));
            facade.getProp(name, "number_of_outputs");
            facade.doSetupExperiment(name, 0, false, 0);
            if (facade.doInitializeModel(name)) {
                facade.getData(name);
                facade.doStepModel(name, 0, 1e-3, new double[inputs]);
                facade.getData(name);
                facade.doTerminate(name);
            }
            facade.doFreeInstance(name);
        } catch (RuntimeException | LinkageError e) {
            // a facade of the user's own may lack these methods: the classes met so far count
        }
    }
}
