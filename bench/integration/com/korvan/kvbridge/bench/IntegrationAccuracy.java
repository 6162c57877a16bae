package com.korvan.kvbridge.bench;

import com.example.heating.HeatedRoom;
import com.korvan.kvbridge.model.ContinuousModel;
import com.korvan.kvbridge.model.IntegrationMethod;
import com.korvan.kvbridge.model.Parameter;
import com.korvan.kvbridge.models.BouncingBall;
import com.korvan.kvbridge.models.FirstOrderLag;
import com.korvan.kvbridge.models.MassSpringDamper;

import java.util.HashMap;
import java.util.List;
import java.util.Map;
import java.util.function.Supplier;

/**
 * The accuracy and cost of the integration at default settings: each model with a closed-form
 * solution, run over its default experiment, once with the fixed-step Runge-Kutta method and
 * internal step it had before error control, once as it is now. Prints a Markdown table of
 * the largest error against the exact solution over the communication points, the derivative
 * evaluations, and the run's wall time (the least of several runs, after warm-up runs).
 */
public final class IntegrationAccuracy {
    /** The exact outputs at time t. */
    interface Exact {
        double[] at(double t);
    }

    record Case(String name, Supplier<ContinuousModel> fixedStep, double fixedInternalStep,
                Supplier<ContinuousModel> current, String method, double[] inputs,
                Exact exact) {}

    static final class FixedLag extends FirstOrderLag {
        @Override
        protected IntegrationMethod integrationMethod() {
            return IntegrationMethod.CLASSICAL_RUNGE_KUTTA;
        }
    }

    static final class FixedSpring extends MassSpringDamper {
        @Override
        protected IntegrationMethod integrationMethod() {
            return IntegrationMethod.CLASSICAL_RUNGE_KUTTA;
        }
    }

    static final class FixedBall extends BouncingBall {
        @Override
        protected IntegrationMethod integrationMethod() {
            return IntegrationMethod.CLASSICAL_RUNGE_KUTTA;
        }
    }

    static final class FixedRoom extends HeatedRoom {
        @Override
        protected IntegrationMethod integrationMethod() {
            return IntegrationMethod.CLASSICAL_RUNGE_KUTTA;
        }
    }

    private static final int RUNS = 200;
    /** Untimed runs first: the library's code needs more than RUNS runs to be compiled. */
    private static final int WARM_UP_RUNS = 800;
    private static final String DP853 = "Dormand-Prince 8(5,3)";
    private static final String DP54 = "Dormand-Prince 5(4)";

    public static void main(String[] args) {
        List<Case> cases = List.of(
            // K = 1, T = 1 s, y0 = 0, a unit step of the input.
            new Case("FirstOrderLag", FixedLag::new, 1e-3, FirstOrderLag::new, DP853,
                     new double[] {1.0}, t -> new double[] {1 - Math.exp(-t)}),
            // m = 1 kg, c = 0.4 N.s/m, k = 4 N/m, x0 = 0.1 m, v0 = 0, no force.
            new Case("MassSpringDamper", FixedSpring::new, 1e-3, MassSpringDamper::new, DP853,
                     new double[] {0.0}, IntegrationAccuracy::spring),
            new Case("BouncingBall", FixedBall::new, 1e-3, BouncingBall::new, DP54,
                     new double[0], IntegrationAccuracy::ball),
            // C = 2 MJ/K, R = 5 mK/W, T0 = 15 degC, 1 kW heating, 5 degC outside.
            new Case("HeatedRoom (example)", FixedRoom::new, 10.0, HeatedRoom::new, DP54,
                     new double[] {1000.0, 5.0}, IntegrationAccuracy::room));
        System.out.println("| Model | Integration | Max. error | Derivative evaluations"
                + " | Wall time |");
        System.out.println("|---|---|---|---|---|");
        for (Case c : cases) {
            row(c.name(), "fixed-step RK4, " + c.fixedInternalStep() + " s", c.fixedStep(),
                Map.of(ContinuousModel.INTERNAL_STEP, c.fixedInternalStep()), c);
            row(c.name(), describe(c.method(), c.current().get()), c.current(), Map.of(), c);
        }
    }

    private static String describe(String method, ContinuousModel model) {
        Map<String, Double> defaults = defaults(model, Map.of());
        return method + ", tolerances " + defaults.get(ContinuousModel.RELATIVE_TOLERANCE)
                + " / " + defaults.get(ContinuousModel.ABSOLUTE_TOLERANCE) + ", longest step "
                + defaults.get(ContinuousModel.INTERNAL_STEP) + " s";
    }

    private static void row(String name, String integration, Supplier<ContinuousModel> make,
                            Map<String, Double> overrides, Case c) {
        double error = 0;
        long evaluations = 0;
        long best = Long.MAX_VALUE;
        for (int run = 0; run < WARM_UP_RUNS + RUNS; run++) {
            ContinuousModel model = make.get();
            var experiment = model.declaration().defaultExperiment();
            double[] outputs = new double[model.declaration().outputs().size()];
            Map<String, Double> parameters = defaults(model, overrides);
            long start = System.nanoTime();
            model.initialize(parameters, experiment.startTime(), c.inputs(), outputs);
            long steps = Math.round((experiment.stopTime() - experiment.startTime())
                    / experiment.stepSize());
            double largest = 0;
            for (long i = 0; i < steps; i++) {
                double t = experiment.startTime() + i * experiment.stepSize();
                model.step(t, experiment.stepSize(), c.inputs(), outputs);
                double[] exact = c.exact().at(t + experiment.stepSize());
                for (int j = 0; j < exact.length; j++) {
                    largest = Math.max(largest, Math.abs(outputs[j] - exact[j]));
                }
            }
            if (run >= WARM_UP_RUNS) best = Math.min(best, System.nanoTime() - start);
            error = largest;
            evaluations = model.derivativeEvaluations();
        }
        System.out.printf("| %s | %s | %.1e | %d | %.2f ms |%n", name, integration, error,
                          evaluations, best / 1e6);
    }

    private static Map<String, Double> defaults(ContinuousModel model,
                                                Map<String, Double> overrides) {
        Map<String, Double> parameters = new HashMap<>();
        for (Parameter p : model.declaration().parameters()) {
            parameters.put(p.name(), p.defaultValue());
        }
        parameters.putAll(overrides);
        return parameters;
    }

    static double[] spring(double t) {
        double sigma = 0.2, omega = Math.sqrt(4 - sigma * sigma), b = sigma * 0.1 / omega;
        double decay = Math.exp(-sigma * t), cos = Math.cos(omega * t), sin = Math.sin(omega * t);
        return new double[] {decay * (0.1 * cos + b * sin),
                             decay * ((b * omega - sigma * 0.1) * cos
                                      - (0.1 * omega + sigma * b) * sin)};
    }

    /** Height and velocity of the ball of the default parameters, from impact to impact. */
    static double[] ball(double t) {
        double g = 9.81, e = 0.8, vMin = 0.1;
        double impact = Math.sqrt(2 / g);
        if (t < impact) return new double[] {1 - g * t * t / 2, -g * t};
        double speed = e * g * impact;
        while (speed >= vMin) {
            double next = impact + 2 * speed / g;
            if (t < next) {
                double s = t - impact;
                return new double[] {speed * s - g * s * s / 2, speed - g * s};
            }
            impact = next;
            speed *= e;
        }
        return new double[] {0, 0};
    }

    static double[] room(double t) {
        double settled = 5 + 0.005 * 1000;
        return new double[] {settled + (15 - settled) * Math.exp(-t / (0.005 * 2e6)),
                             (settled + (15 - settled) * Math.exp(-t / (0.005 * 2e6)) - 5)
                             / 0.005};
    }
}
