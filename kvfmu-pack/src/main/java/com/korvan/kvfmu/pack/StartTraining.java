package com.korvan.kvfmu.pack;

import com.korvan.kvbridge.KorvanSim;

/**
 * Run once in a runtime that kvfmu-pack has just made (see {@link RuntimeBundle}), with the
 * FMU's jars on the class path: starts the facade and an instance of the model the way an
 * fmi2Instantiate through the FMU does (the model's constructor runs), so that the Java VM
 * can list the classes of the runtime that an FMU's start loads. The runtime's class data
 * archive then holds them ready.
 */
public final class StartTraining {
    private StartTraining() {}

    /** The one argument is the file: URI of a folder laid out as the FMU's resources. */
    public static void main(String[] args) {
        String name = "training";
        try {
            KorvanSim facade = KorvanSim.create();
            if (!facade.doInitConnection() || !facade.doInstantiate(name, args[0])) return;
            for (String count : new String[] {"number_of_outputs", "number_of_inputs", "number_of_reals"})
                facade.getProp(name, count);
            facade.doFreeInstance(name);
        } catch (RuntimeException | LinkageError e) {
            // a facade of the user's own may lack these methods: the classes met so far count
        }
    }
}
