package com.korvan.kvbridge.bench;

import com.korvan.kvbridge.model.Declaration;
import com.korvan.kvbridge.model.DefaultExperiment;
import com.korvan.kvbridge.model.Input;
import com.korvan.kvbridge.model.Model;
import com.korvan.kvbridge.model.Output;

import java.util.List;
import java.util.Map;

/** A model that computes nothing: two outputs, four inputs, as the idle facade reports. */
public final class IdleModel implements Model {
    @Override
    public Declaration declaration() {
        return new Declaration("Idle", "Computes nothing", List.of(
                new Output("y1", "", "", false), new Output("y2", "", "", false)), List.of(
                new Input("u1", "", "", 0), new Input("u2", "", "", 0),
                new Input("u3", "", "", 0), new Input("u4", "", "", 0)),
                List.of(), new DefaultExperiment(0, 1, 0.01));
    }

    @Override
    public void initialize(Map<String, Double> parameters, double startTime, double[] inputs,
                           double[] outputs) {}

    @Override
    public void step(double time, double stepSize, double[] inputs, double[] outputs) {}
}
