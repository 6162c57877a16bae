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

/**
 * A mass on a spring with a viscous damper, driven by a force: m x'' + c x' + k x = F. Mass,
 * damping and stiffness are tunable.
 */
public class MassSpringDamper extends ContinuousModel {
    private double mass;
    private double damping;
    private double stiffness;

    @Override
    protected Declaration declareModel() {
        return new Declaration("MassSpringDamper",
                "Mass on a linear spring with a viscous damper, driven by an external force",
                List.of(new Output("x", "Position of the mass from the spring's rest length",
                                "m", List.of()),
                        new Output("v", "Velocity of the mass", "m/s", List.of())),
                List.of(new Input("F", "External force on the mass", "N", 0.0)),
                List.of(new Parameter("m", "Mass", "kg", 1.0, true),
                        new Parameter("c", "Damping coefficient", "N.s/m", 0.4, true),
                        new Parameter("k", "Spring stiffness", "N/m", 4.0, true),
                        new Parameter("x0", "Position at the start time", "m", 0.1),
                        new Parameter("v0", "Velocity at the start time", "m/s", 0.0)),
                new DefaultExperiment(0.0, 10.0, 0.01));
    }

    @Override
    protected double[] startState(Map<String, Double> parameters, double startTime,
                                  double[] inputs) {
        mass = Parameters.positive(parameters, "m");
        damping = Parameters.nonNegative(parameters, "c");
        stiffness = Parameters.nonNegative(parameters, "k");
        return new double[] {Parameters.value(parameters, "x0"),
                             Parameters.value(parameters, "v0")};
    }

    @Override
    protected void tuneParameter(String name, double value) {
        switch (name) {
            case "m" -> mass = Parameters.positive("m", value);
            case "c" -> damping = Parameters.nonNegative("c", value);
            case "k" -> stiffness = Parameters.nonNegative("k", value);
            default -> super.tuneParameter(name, value);
        }
    }

    @Override
    protected void derivatives(double t, double[] x, double[] u, double[] dxdt) {
        dxdt[0] = x[1];
        dxdt[1] = (u[0] - damping * x[1] - stiffness * x[0]) / mass;
    }

    @Override
    protected void outputs(double t, double[] x, double[] u, double[] y) {
        y[0] = x[0];
        y[1] = x[1];
    }
}
