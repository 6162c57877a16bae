package com.korvan.kvbridge.models;

import com.korvan.kvbridge.model.ContinuousModel;
import com.korvan.kvbridge.model.Declaration;
import com.korvan.kvbridge.model.DefaultExperiment;
import com.korvan.kvbridge.model.Input;
import com.korvan.kvbridge.model.Output;
import com.korvan.kvbridge.model.Parameter;
import com.korvan.kvbridge.model.Parameters;

import java.util.List;
import java.util.Map;

/** A first-order lag: T dy/dt = K u - y, y(0) = y0. The gain and time constant are tunable. */
public class FirstOrderLag extends ContinuousModel {
    private double gain;
    private double timeConstant;

    @Override
    protected Declaration declareModel() {
        return new Declaration("FirstOrderLag",
                "First-order lag: the output follows the input times the gain with the time"
                        + " constant T",
                List.of(new Output("y", "Output of the lag", "", List.of())),
                List.of(new Input("u", "Input of the lag", "", 0.0)),
                List.of(new Parameter("K", "Static gain: y settles at K u", "", 1.0, true),
                        new Parameter("T", "Time constant: y covers 63 % of a step in T", "s",
                                1.0, true),
                        new Parameter("y0", "Output at the start time", "", 0.0)),
                new DefaultExperiment(0.0, 10.0, 0.01));
    }

    @Override
    protected double[] startState(Map<String, Double> parameters, double startTime,
                                  double[] inputs) {
        gain = Parameters.value(parameters, "K");
        timeConstant = Parameters.positive(parameters, "T");
        return new double[] {Parameters.value(parameters, "y0")};
    }

    @Override
    protected void tuneParameter(String name, double value) {
        switch (name) {
            case "K" -> gain = value;
            case "T" -> timeConstant = Parameters.positive("T", value);
            default -> super.tuneParameter(name, value);
        }
    }

    @Override
    protected void derivatives(double t, double[] x, double[] u, double[] dxdt) {
        dxdt[0] = (gain * u[0] - x[0]) / timeConstant;
    }

    @Override
    protected void outputs(double t, double[] x, double[] u, double[] y) {
        y[0] = x[0];
    }
}
