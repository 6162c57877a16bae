package com.korvan.kvbridge;

import java.lang.management.ManagementFactory;
import java.lang.management.ThreadMXBean;
import java.util.Map;
import java.util.concurrent.ConcurrentHashMap;

/**
 * A working stand-in for the server's facade, for long runs and many instances on many
 * threads: each instance has its own state, kept by name, and a step computes the outputs
 * from the instance's own inputs, so that a host can check every value it reads back.
 * There is no call log. A step can be given a fixed amount of work (see setStepWork).
 *
 * Layout: 6 reals, outputs 0..1, their copy 2..3, inputs 4..5. After the n-th step of an
 * instance whose inputs are (a, b), its outputs are (a + b, n). A step whose inputs differ
 * from those setReal delivered for that instance fails.
 */
public class KorvanSim {
    private static final class Instance {
        final double[] setInputs = new double[2];
        final double[] outputs = new double[2];
        long steps;
    }

    private static final Map<String, Instance> instances = new ConcurrentHashMap<>();
    private static volatile long workIterations = 0;
    private static volatile String lastError = "";
    private static volatile double sink;

    private KorvanSim() {}

    public static KorvanSim create() {
        KorvanSim facade = new KorvanSim();
        Script.created(facade);
        return facade;
    }

    /**
     * Makes every step do about the given microseconds of arithmetic (0: none), measured in
     * the thread's processor time, so that a busy machine does not shorten it.
     */
    public static void setStepWork(long micros) {
        if (micros <= 0) {
            workIterations = 0;
            return;
        }
        ThreadMXBean threads = ManagementFactory.getThreadMXBean();
        long iterations = 2_000_000;
        work(iterations);  // compiled before it is timed
        long start = threads.getCurrentThreadCpuTime();
        work(iterations);
        long nanos = Math.max(1, threads.getCurrentThreadCpuTime() - start);
        workIterations = Math.max(1, iterations * micros * 1000 / nanos);
    }

    /** Server-side instances that exist now. */
    public static int liveInstances() {
        return instances.size();
    }

    private static void work(long iterations) {
        double x = 1.0;
        for (long i = 0; i < iterations; i++) x = x * 1.0000001 + 1e-9;
        sink = x;
    }

    private static Instance instance(String name) {
        Instance found = instances.get(name);
        if (found == null) lastError = "no instance " + name;
        return found;
    }

    public boolean doInitConnection() {
        return true;
    }

    public boolean doInstantiate(String name, String resourceLocation) {
        instances.put(name, new Instance());
        return true;
    }

    public String getLasterror() {
        return lastError;
    }

    public String getProp(String name, String key) {
        switch (key) {
            case "number_of_reals": return "6";
            case "number_of_outputs": return "2";
            case "number_of_inputs": return "2";
            default: return null;
        }
    }

    public boolean doSetupExperiment(String name, double startTime, boolean stopTimeDefined,
                                     double stopTime) {
        return instance(name) != null;
    }

    public boolean doInitializeModel(String name) {
        return instance(name) != null;
    }

    public void setReal(String name, int vr, double value) {
        Instance inst = instance(name);
        if (inst != null && (vr == 4 || vr == 5)) inst.setInputs[vr - 4] = value;
    }

    public boolean doStepModel(String name, double time, double stepSize, double[] inputs) {
        Instance inst = instance(name);
        if (inst == null) return false;
        if (inputs.length != 2 || inputs[0] != inst.setInputs[0] || inputs[1] != inst.setInputs[1]) {
            lastError = "inputs of " + name + " differ from those set";
            return false;
        }
        if (workIterations > 0) work(workIterations);
        inst.steps++;
        inst.outputs[0] = inputs[0] + inputs[1];
        inst.outputs[1] = inst.steps;
        return true;
    }

    public double[] getData(String name) {
        Instance inst = instance(name);
        return inst == null ? null : inst.outputs.clone();
    }

    public void doTerminate(String name) {}

    public void doFreeInstance(String name) {
        instances.remove(name);
    }
}
