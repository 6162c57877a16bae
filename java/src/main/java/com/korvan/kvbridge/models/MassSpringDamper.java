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

/** A mass on a spring with a viscous damper, driven by a force: m x'' + c x' + k x = F. */
public final class MassSpringDamper extends ContinuousModel {
    private double mass;
    private double damping;
    private double stiffness;

    @Override
    protected Declaration declareModel() {
        return new Declaration("MassSpringDamper",
                "Mass on a linear spring with a viscous damper, driven by an external force",
                List.of(new Output("x", "Position of the mass from the spring's rest length",
                                "m", false),
                        new Output("v", "Velocity of the mass", "m/s", false)),
                List.of(new Input("F", "External force on the mass", "N", 0.0)),
                List.of(new Parameter("m", 1.0, "kg", "Mass"),
                        new Parameter("c", 0.4, "N.s/m", "Damping coefficient"),
                        new Parameter("k", 4.0, "N/m", "Spring stiffness"),
                        new Parameter("x0", 0.1, "m", "Position at the start time"),
                        new Parameter("v0", 0.0, "m/s", "Velocity at the start time")),
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
