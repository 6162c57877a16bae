package com.korvan.kvbridge.model;

import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertThrows;
import static org.junit.jupiter.api.Assertions.assertTrue;

import java.util.ArrayList;
import java.util.HashMap;
import java.util.List;
import java.util.Map;
import org.junit.jupiter.api.Test;

class ContinuousModelTest {
    /** dx/dt = -x, y = x; records the times at which it is evaluated. */
    static final class Decay extends ContinuousModel {
        final List<Double> evaluatedAt = new ArrayList<>();

        @Override
        protected Declaration declareModel() {
            return new Declaration("Decay", "", List.of(new Output("y", "", "", false)),
                    List.of(), List.of(), new DefaultExperiment(0, 1, 0.1));
        }

        @Override
        protected double[] startState(Map<String, Double> parameters, double startTime,
                                      double[] inputs) {
            return new double[] {1.0};
        }

        @Override
        protected void derivatives(double t, double[] x, double[] u, double[] dxdt) {
            evaluatedAt.add(t);
            dxdt[0] = -x[0];
        }

        @Override
        protected void outputs(double t, double[] x, double[] u, double[] y) {
            y[0] = x[0];
        }
    }

    private static double errorAtOne(double internalStep) {
        Decay model = new Decay();
        double[] y = new double[1];
        model.initialize(Map.of(ContinuousModel.INTERNAL_STEP, internalStep), 0, new double[0], y);
        model.step(0.0, 1.0, new double[0], y);
        return Math.abs(y[0] - Math.exp(-1));
    }

    @Test
    void integratesWithFourthOrderAccuracy() {
        double ratio = errorAtOne(0.1) / errorAtOne(0.05);
        assertEquals(16.0, ratio, 1.0);  // halving the step divides the error by 2^4
    }

    @Test
    void anInternalStepLongerThanTheCommunicationStepIsShortenedToIt() {
        Decay model = new Decay();
        double[] y = new double[1];
        model.initialize(Map.of(ContinuousModel.INTERNAL_STEP, 10.0), 0, new double[0], y);
        model.step(0.0, 0.2, new double[0], y);
        double z = 0.2;  // one RK4 step of dx/dt = -x: the Taylor polynomial of exp(-z)
        assertEquals(1 - z + z * z / 2 - z * z * z / 6 + z * z * z * z / 24, y[0], 1e-15);
    }

    @Test
    void internalStepsNeverCrossTheEndOfTheCommunicationStep() {
        Decay model = new Decay();
        double[] y = new double[1];
        model.initialize(Map.of(ContinuousModel.INTERNAL_STEP, 0.03), 0, new double[0], y);
        model.step(0.5, 0.1, new double[0], y);  // four equal steps of 0.025
        assertEquals(16, model.evaluatedAt.size());
        assertEquals(0.5, model.evaluatedAt.get(0));
        assertTrue(model.evaluatedAt.stream().allMatch(t -> t >= 0.5 && t <= 0.6));
        assertEquals(0.6, model.evaluatedAt.get(15), 1e-15);
    }

    @Test
    void addsTheInternalStepParameterAndChecksIt() {
        Declaration declaration = new Decay().declaration();
        Parameter step = declaration.parameters().get(declaration.parameters().size() - 1);
        assertEquals(ContinuousModel.INTERNAL_STEP, step.name());
        assertEquals(1e-3, step.defaultValue());
        Map<String, Double> parameters = new HashMap<>(Map.of(ContinuousModel.INTERNAL_STEP, 0.0));
        IllegalArgumentException e = assertThrows(IllegalArgumentException.class,
                () -> new Decay().initialize(parameters, 0, new double[0], new double[1]));
        assertTrue(e.getMessage().contains("must be a positive time"), e.getMessage());
    }

    @Test
    void refusesAStepNeedingTooManyInternalSteps() {
        Decay model = new Decay();
        model.initialize(Map.of(ContinuousModel.INTERNAL_STEP, 1e-9), 0, new double[0],
                new double[1]);
        IllegalArgumentException e = assertThrows(IllegalArgumentException.class,
                () -> model.step(0, 1.0, new double[0], new double[1]));
        assertTrue(e.getMessage().contains("raise internalStepSize"), e.getMessage());
    }
}
