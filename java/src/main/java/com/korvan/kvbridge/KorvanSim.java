package com.korvan.kvbridge;

import com.korvan.kvbridge.server.EmbeddedServer;
import com.korvan.kvbridge.server.Failures;
import com.korvan.kvbridge.server.SimulationException;
import com.korvan.kvbridge.server.SimulationServer;

/**
 * The facade that libkvfmu calls through JNI. It is a thin client of a
 * {@link SimulationServer}: the library makes a new facade object at every instantiation
 * and sends every instance's calls to the newest one, so all state lives in the server
 * and none in this object.
 *
 * <p>No exception or error leaves a method, whatever the server or a model throws: a failure
 * answers false (or null, or nothing) and its text is kept for {@link #getLasterror()} of
 * the calling thread. Every other call first clears that text, so a reason never outlives the
 * call it explains.
 */
public final class KorvanSim {
    private volatile SimulationServer server;

    private KorvanSim() {}

    /** The factory the library calls. */
    public static KorvanSim create() {
        return new KorvanSim();
    }

    /** A facade already connected to the given server (for another server, or tests). */
    public static KorvanSim connectedTo(SimulationServer server) {
        KorvanSim facade = new KorvanSim();
        facade.server = server;
        return facade;
    }

    /** Connects to the embedded server of this VM, starting it at the first call. */
    public boolean doInitConnection() {
        LastFailure.clear();
        try {
            if (server == null) server = EmbeddedServer.get();
            return true;
        } catch (Throwable e) {
            return fail("The simulation server could not start: " + Failures.describe(e));
        }
    }

    public boolean doInstantiate(String name, String resourceLocation) {
        LastFailure.clear();
        try {
            connected().instantiate(name, resourceLocation);
            return true;
        } catch (Throwable e) {
            return fail(e);
        }
    }

    /** The text of the last failure on the calling thread; empty when there was none. */
    public String getLasterror() {
        return LastFailure.read();
    }

    /** "number_of_outputs", "number_of_inputs" or "number_of_reals" as decimal digits. */
    public String getProp(String name, String key) {
        LastFailure.clear();
        try {
            return connected().property(name, key);
        } catch (Throwable e) {
            fail(e);
            return null;
        }
    }

    public boolean doSetupExperiment(String name, double startTime, boolean stopTimeDefined,
                                     double stopTime) {
        LastFailure.clear();
        try {
            connected().setupExperiment(name, startTime, stopTimeDefined, stopTime);
            return true;
        } catch (Throwable e) {
            return fail(e);
        }
    }

    public boolean doInitializeModel(String name) {
        LastFailure.clear();
        try {
            connected().initialize(name);
            return true;
        } catch (Throwable e) {
            return fail(e);
        }
    }

    public void setReal(String name, int valueReference, double value) {
        LastFailure.clear();
        try {
            connected().setReal(name, valueReference, value);
        } catch (Throwable e) {
            fail(e);
        }
    }

    public boolean doStepModel(String name, double time, double stepSize, double[] inputs) {
        LastFailure.clear();
        try {
            connected().step(name, time, stepSize, inputs);
            return true;
        } catch (Throwable e) {
            return fail(e);
        }
    }

    /**
     * The outputs after the last step or the initialization, or, before the initialization,
     * the initial outputs of the current values; null for an unknown name.
     */
    public double[] getData(String name) {
        LastFailure.clear();
        try {
            return connected().outputs(name);
        } catch (Throwable e) {
            fail(e);
            return null;
        }
    }

    public void doTerminate(String name) {
        LastFailure.clear();
        try {
            connected().terminate(name);
        } catch (Throwable e) {
            fail(e);
        }
    }

    /** Forgets the instance; a second free is harmless. */
    public void doFreeInstance(String name) {
        LastFailure.clear();
        try {
            connected().free(name);
        } catch (Throwable e) {
            fail(e);
        }
    }

    private SimulationServer connected() throws SimulationException {
        SimulationServer connectedServer = server;
        if (connectedServer == null) {
            throw new SimulationException("Not connected to the simulation server:"
                    + " doInitConnection must come first");
        }
        return connectedServer;
    }

    private static boolean fail(String text) {
        LastFailure.record(text);
        return false;
    }

    /** Keeps the failure's text: a refusal's own, or an internal error with its cause. */
    private static boolean fail(Throwable failure) {
        return fail(failure instanceof SimulationException ? failure.getMessage()
                : "Internal error of the simulation server: " + Failures.describe(failure));
    }
}
