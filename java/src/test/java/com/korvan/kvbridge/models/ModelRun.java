package com.korvan.kvbridge.models;

import com.korvan.kvbridge.model.Model;
import com.korvan.kvbridge.model.Parameter;
import java.util.HashMap;
import java.util.Map;

/** Drives a model as the server does: declared defaults overridden, then steps. */
final class ModelRun {
    final Model model;
    final double[] outputs;
    double time;

    private ModelRun(Model model, double startTime) {
        this.model = model;
        this.outputs = new double[model.declaration().outputs().size()];
        this.time = startTime;
    }

    static ModelRun start(Model model, Map<String, Double> overrides, double startTime,
                          double... inputs) {
        Map<String, Double> parameters = new HashMap<>();
        for (Parameter p : model.declaration().parameters()) {
            parameters.put(p.name(), p.defaultValue());
        }
        parameters.putAll(overrides);
        ModelRun run = new ModelRun(model, startTime);
        model.initialize(parameters, startTime, inputs, run.outputs);
        return run;
    }

    ModelRun step(double stepSize, double... inputs) {
        model.step(time, stepSize, inputs, outputs);
        time += stepSize;
        return this;
    }

    /** Steps of the given size until {@code until}, the last one shortened to end there. */
    ModelRun runUntil(double until, double stepSize, double... inputs) {
        while (time < until - 1e-12) step(Math.min(stepSize, until - time), inputs);
        return this;
    }
}
