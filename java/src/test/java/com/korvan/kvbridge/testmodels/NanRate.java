package com.korvan.kvbridge.testmodels;

import com.korvan.kvbridge.model.ContinuousModel;
import com.korvan.kvbridge.model.Declaration;
import com.korvan.kvbridge.model.DefaultExperiment;
import com.korvan.kvbridge.model.IntegrationMethod;
import com.korvan.kvbridge.model.Output;

import java.util.List;
import java.util.Map;

/**
 * A continuous model whose output turns NaN after t = 0.5 while its state stays finite,
 * integrated with fixed steps.
 */
public class NanRate extends ContinuousModel {
    @Override
    protected IntegrationMethod integrationMethod() {
        return IntegrationMethod.CLASSICAL_RUNGE_KUTTA;
    }

    @Override
    protected Declaration declareModel() {
        return new Declaration("NanRate", "", List.of(new Output("rate", "", "", false)),
                List.of(), List.of(), new DefaultExperiment(0, 1, 0.1));
    }

    @Override
    protected double[] startState(Map<String, Double> parameters, double startTime,
                                  double[] inputs) {
        return new double[] {startTime};
    }

    @Override
    protected void derivatives(double t, double[] x, double[] u, double[] dxdt) {
        dxdt[0] = 1;
    }

    @Override
    protected void outputs(double t, double[] x, double[] u, double[] y) {
        y[0] = Math.sqrt(0.5 - x[0]);
    }
}
