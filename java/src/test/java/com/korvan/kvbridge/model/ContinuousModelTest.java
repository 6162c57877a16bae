package com.korvan.kvbridge.model;

import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertThrows;
import static org.junit.jupiter.api.Assertions.assertTrue;

import java.util.ArrayList;
import java.util.HashMap;
import java.util.List;
import java.util.Map;
import org.junit.jupiter.api.Test;
import org.junit.jupiter.params.ParameterizedTest;
import org.junit.jupiter.params.provider.CsvSource;
import org.junit.jupiter.params.provider.EnumSource;

class ContinuousModelTest {
    /** dx/dt = -x, y = x, with fixed steps; records the times at which it is evaluated. */
    static final class Decay extends ContinuousModel {
        final List<Double> evaluatedAt = new ArrayList<>();

        @Override
        protected IntegrationMethod integrationMethod() {
            return IntegrationMethod.CLASSICAL_RUNGE_KUTTA;
        }

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

    /**
     * x'' = F - 0.4 x' - 4 x, x(0) = 0.1, with the method given; F is the input, and the
     * outputs are x and x'.
     */
    static final class Oscillator extends ContinuousModel {
        private final IntegrationMethod method;

        Oscillator(IntegrationMethod method) {
            this.method = method;
        }

        @Override
        protected IntegrationMethod integrationMethod() {
            return method;
        }

        @Override
        protected Declaration declareModel() {
            return new Declaration("Oscillator", "", List.of(new Output("x", "", "", false),
                    new Output("v", "", "", false)), List.of(new Input("F", "", "", 0.0)),
                    List.of(), new DefaultExperiment(0, 1, 0.01));
        }

        @Override
        protected double[] startState(Map<String, Double> parameters, double startTime,
                                      double[] inputs) {
            return new double[] {0.1, 0.0};
        }

        @Override
        protected void derivatives(double t, double[] x, double[] u, double[] dxdt) {
            dxdt[0] = x[1];
            dxdt[1] = u[0] - 0.4 * x[1] - 4 * x[0];
        }

        @Override
        protected void outputs(double t, double[] x, double[] u, double[] y) {
            y[0] = x[0];
            y[1] = x[1];
        }
    }

    private static Map<String, Double> defaults(Model model) {
        Map<String, Double> parameters = new HashMap<>();
        for (Parameter p : model.declaration().parameters()) {
            parameters.put(p.name(), p.defaultValue());
        }
        return parameters;
    }

    /** Runs the oscillator with its declared defaults and F = 0.2 over 100 steps. */
    private static double[] oscillate(IntegrationMethod method, double step) {
        Oscillator model = new Oscillator(method);
        double[] u = {0.2}, y = new double[2];
        model.initialize(defaults(model), 0, u, y);
        for (int i = 0; i < 100; i++) model.step(i * step, step, u, y);
        return y;
    }

    /** Numbers the fixed-step integration gave before the error-controlled methods came. */
    @ParameterizedTest
    @CsvSource({"0.01, 0x1.2fe4f8b721ddfp-5, -0x1.33dc9901470fap-4",
                "0.0123, 0x1.6ff469bbd2aa3p-6, -0x1.9bbbbcd13503p-5"})
    void theFixedStepMethodKeepsItsNumbersBitForBit(double step, String x, String v) {
        double[] y = oscillate(IntegrationMethod.CLASSICAL_RUNGE_KUTTA, step);
        assertEquals(Double.parseDouble(x), y[0], 0.0);
        assertEquals(Double.parseDouble(v), y[1], 0.0);
    }

    /** Against the closed form at t = 1 s (x settles at 0.05 with sigma 0.2, omega 1.99). */
    @ParameterizedTest
    @EnumSource(IntegrationMethod.class)
    void everyMethodMeetsTheRelativeAccuracyOf1e8AtItsDefaults(IntegrationMethod method) {
        double sigma = 0.2, omega = Math.sqrt(4 - sigma * sigma), d0 = 0.05;
        double b = sigma * d0 / omega, t = 1.0;
        double x = 0.05 + Math.exp(-sigma * t) * (d0 * Math.cos(omega * t)
                + b * Math.sin(omega * t));
        double[] y = oscillate(method, 0.01);
        assertEquals(x, y[0], 1e-8 * 0.1, method.toString());
        assertEquals(method.errorControlled(), new Oscillator(method).declaration()
                .parameters().stream().anyMatch(p -> p.name().equals("relativeTolerance")));
    }

    /**
     * x' = x^2 from x = 1 / 0.95 reaches infinity at t = 0.95 s, inside a step: at a step's
     * end the tolerances alone would decide whether that step or the next one fails.
     */
    static final class Explosion extends ContinuousModel {
        @Override
        protected Declaration declareModel() {
            return new Declaration("Explosion", "", List.of(new Output("x", "", "", false)),
                    List.of(), List.of(), new DefaultExperiment(0, 2, 0.1));
        }

        @Override
        protected double[] startState(Map<String, Double> parameters, double startTime,
                                      double[] inputs) {
            return new double[] {1 / 0.95};
        }

        @Override
        protected void derivatives(double t, double[] x, double[] u, double[] dxdt) {
            dxdt[0] = x[0] * x[0];
        }

        @Override
        protected void outputs(double t, double[] x, double[] u, double[] y) {
            y[0] = x[0];
        }
    }

    @Test
    void aDivergingModelFailsInTheStepThatReachesTheSingularityAndSaysWhatToChange() {
        Explosion model = new Explosion();
        double[] y = new double[1];
        model.initialize(defaults(model), 0, new double[0], y);
        for (int i = 0; i < 9; i++) model.step(i * 0.1, 0.1, new double[0], y);
        assertEquals(20.0, y[0], 1e-6);  // 1 / (0.95 - t) at t = 0.9
        ArithmeticException e = assertThrows(ArithmeticException.class,
                () -> model.step(0.9, 0.1, new double[0], y));
        String where = "the integration needs an internal step shorter than the least allowed"
                + " (1.0E-12 s) at t = ";
        assertTrue(e.getMessage().startsWith(where), e.getMessage());
        double at = Double.parseDouble(e.getMessage().substring(where.length()).split(":")[0]);
        assertEquals(0.95, at, 1e-9);  // where the tolerances put the singularity
        assertTrue(e.getMessage().endsWith("raise relativeTolerance (now 1.0E-10) and"
                + " absoluteTolerance (now 1.0E-10)"), e.getMessage());
        assertEquals(20.0, y[0], 1e-6);  // the outputs of the last good step stay
    }
}
