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
 * An open water tank with an inflow and an outlet valve. The outflow follows Torricelli's
 * law, q_out = Kv s sqrt(h) for valve opening s, so A dh/dt = q_in - Kv s sqrt(h). With a
 * constant inflow and opening the level settles at (q_in / (Kv s))^2. The outflow depends
 * directly on the valve opening (not on the inflow); the valve coefficient Kv is tunable.
 */
public final class WaterTank extends ContinuousModel {
    private double area;
    private double valveCoefficient;

    @Override
    protected Declaration declareModel() {
        return new Declaration("WaterTank",
                "Open water tank filled by an inflow and drained through an outlet valve",
                List.of(new Output("level", "Water level above the outlet", "m", List.of()),
                        new Output("outflow", "Volume flow through the outlet valve", "m3/s",
                                List.of("valveOpening"))),
                List.of(new Input("inflow", "Volume flow into the tank (0 or more)", "m3/s",
                                0.02),
                        new Input("valveOpening", "Opening of the outlet valve, from 0 (shut)"
                                + " to 1 (fully open)", "", 0.5)),
                List.of(new Parameter("A", "Cross-section area of the tank", "m2", 1.0),
                        new Parameter("Kv", "Outflow of the fully open valve at a level of 1 m",
                                "m2.5/s", 0.05, true),
                        new Parameter("h0", "Water level at the start time", "m", 1.0)),
                new DefaultExperiment(0.0, 300.0, 1.0));
    }

    @Override
    protected double[] startState(Map<String, Double> parameters, double startTime,
                                  double[] inputs) {
        area = Parameters.positive(parameters, "A");
        valveCoefficient = Parameters.nonNegative(parameters, "Kv");
        return new double[] {Parameters.nonNegative(parameters, "h0")};
    }

    @Override
    protected void tuneParameter(String name, double value) {
        if (!name.equals("Kv")) super.tuneParameter(name, value);
        valveCoefficient = Parameters.nonNegative("Kv", value);
    }

    @Override
    protected void derivatives(double t, double[] x, double[] u, double[] dxdt) {
        dxdt[0] = (inflow(u) - outflow(x[0], u)) / area;
    }

    @Override
    protected void outputs(double t, double[] x, double[] u, double[] y) {
        y[0] = Math.max(x[0], 0.0);
        y[1] = outflow(x[0], u);
    }

    private static double inflow(double[] u) {
        if (u[0] < 0) {
            throw new IllegalArgumentException("inflow " + u[0] + " m3/s is negative: the"
                    + " tank has no pump to empty it through its inlet");
        }
        return u[0];
    }

    private double outflow(double level, double[] u) {
        double opening = u[1];
        if (!(opening >= 0 && opening <= 1)) {
            throw new IllegalArgumentException("valveOpening " + opening + " is outside 0 to 1");
        }
        return valveCoefficient * opening * Math.sqrt(Math.max(level, 0.0));
    }
}
