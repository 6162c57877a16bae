package com.korvan.kvbridge.server;

import java.nio.file.Path;
import java.util.concurrent.ConcurrentHashMap;
import java.util.concurrent.ConcurrentMap;

/**
 * The simulation server inside the host's Java VM: one per VM, holding every instance by
 * its name. Instances are independent, so different instances can run on different
 * threads at once; each instance serializes its own calls.
 */
public final class EmbeddedServer implements SimulationServer {
    private static final class Holder {
        static final EmbeddedServer INSTANCE = new EmbeddedServer();
    }

    private final ConcurrentMap<String, ServerInstance> instances = new ConcurrentHashMap<>();

    /** Instances for tests that need a server of their own. */
    public EmbeddedServer() {}

    /** The VM's server, started at the first call. */
    public static EmbeddedServer get() {
        return Holder.INSTANCE;
    }

    @Override
    public void instantiate(String name, String resourceLocation) throws SimulationException {
        requireName(name);
        if (instances.containsKey(name)) throw duplicate(name);
        Path folder = ResourceLocation.folder(resourceLocation);
        LoadedModel loaded = LoadedModel.load(folder, ModelDescriptor.read(folder));
        boolean kept = false;
        try {
            if (instances.putIfAbsent(name, new ServerInstance(name, loaded)) != null) {
                throw duplicate(name);
            }
            kept = true;
        } finally {
            if (!kept) loaded.close();
        }
    }

    @Override
    public String property(String name, String key) throws SimulationException {
        return instance(name).property(key);
    }

    @Override
    public void setupExperiment(String name, double startTime, boolean stopTimeDefined,
                                double stopTime) throws SimulationException {
        instance(name).setupExperiment(startTime, stopTimeDefined, stopTime);
    }

    @Override
    public void initialize(String name) throws SimulationException {
        instance(name).initialize();
    }

    @Override
    public void setReal(String name, int valueReference, double value)
            throws SimulationException {
        instance(name).setReal(valueReference, value);
    }

    @Override
    public void step(String name, double time, double stepSize, double[] inputs)
            throws SimulationException {
        instance(name).step(time, stepSize, inputs);
    }

    @Override
    public double[] outputs(String name) throws SimulationException {
        return instance(name).outputs();
    }

    @Override
    public void terminate(String name) throws SimulationException {
        instance(name).terminate();
    }

    @Override
    public void free(String name) {
        ServerInstance instance = name == null ? null : instances.remove(name);
        if (instance != null) instance.close();
    }

    private ServerInstance instance(String name) throws SimulationException {
        ServerInstance instance = name == null ? null : instances.get(name);
        if (instance == null) {
            throw new SimulationException("No instance named " + name + " on the simulation"
                    + " server: it was never instantiated, or it has been freed");
        }
        return instance;
    }

    private static void requireName(String name) throws SimulationException {
        if (name == null || name.isEmpty()) {
            throw new SimulationException("An instance needs a name: the host passed none");
        }
    }

    private static SimulationException duplicate(String name) {
        return new SimulationException("An instance named " + name + " already exists: names"
                + " must be unique among live instances; free that instance first or choose"
                + " another name");
    }
}
