package com.korvan.kvfmu.testmodel;

import com.korvan.kvbridge.model.Declaration;
import com.korvan.kvbridge.model.DefaultExperiment;
import com.korvan.kvbridge.model.Input;
import com.korvan.kvbridge.model.Model;
import com.korvan.kvbridge.model.Output;
import com.korvan.kvbridge.model.Parameter;

import java.util.List;
import java.util.Map;

/**
 * A first-order lag y' = (u - y) / T with a second output y + u that feeds the input
 * through: one output without and one with a direct dependency on the first input only.
 * The time constant is tunable.
 */
public class Lag implements Model {
    private double timeConstant;
    private double y;

    @Override
    public Declaration declaration() {
        return new Declaration("Lag", "First-order lag for the packer's tests",
            List.of(new Output("y", "Lagged signal", "m", false),
                    new Output("sum", "Lagged signal plus input", "m", List.of("u"))),
            List.of(new Input("u", "Input signal", "m", 1.5),
                    new Input("gain", "Dimensionless factor", "", 2.0)),
            List.of(new Parameter("T", "Time constant", "s", 2.0, true),
                    new Parameter("y0", "Initial output", "m", 0.0)),
            new DefaultExperiment(0.0, 10.0, 0.01));
    }

    @Override
    public void initialize(Map<String, Double> parameters, double startTime, double[] inputs,
                           double[] outputs) {
        timeConstant = parameters.get("T");
        y = parameters.get("y0");
        outputs[0] = y;
        outputs[1] = y + inputs[0];
    }

    @Override
    public void tune(String name, double value) {
        if (!name.equals("T")) Model.super.tune(name, value);
        timeConstant = value;
    }

    @Override
    public void step(double time, double stepSize, double[] inputs, double[] outputs) {
        y += stepSize * (inputs[0] - y) / timeConstant;
        outputs[0] = y;
        outputs[1] = y + inputs[0];
    }
}
