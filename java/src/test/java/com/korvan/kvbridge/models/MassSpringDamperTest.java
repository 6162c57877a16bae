package com.korvan.kvbridge.models;

import static org.junit.jupiter.api.Assertions.assertEquals;

import java.util.Map;
import java.util.function.DoubleUnaryOperator;
import org.junit.jupiter.api.Test;

/**
 * Against the closed-form response of m x'' + c x' + k x = F for a constant force, with
 * m = 1 kg, k = 4 N/m (natural frequency 2 rad/s), x0 = 0.1 m, v0 = -0.2 m/s, F = 0.2 N
 * (rest at 0.05 m). RK4's global error is about t dt^4 |lambda|^5 / 120 times the
 * amplitude; for the fastest rate here (9.6/s, over-damped) and dt = 1 ms that is below
 * 1e-10 m over 10 s. The tolerance of 1e-9 m (1e-8 of the 0.1 m amplitude) leaves room for
 * rounding and still fails a lower-order method or a wrong sign or coefficient.
 */
class MassSpringDamperTest {
    private static final double TOLERANCE = 1e-9;
    private static final double K = 4, X0 = 0.1, V0 = -0.2, F = 0.2, REST = F / K;
    private static final double D0 = X0 - REST;  // start offset from the rest position

    private static void check(double c, DoubleUnaryOperator x, DoubleUnaryOperator v) {
        ModelRun run = ModelRun.start(new MassSpringDamper(),
                Map.of("m", 1.0, "c", c, "k", K, "x0", X0, "v0", V0), 0.0, F);
        for (int i = 1; i <= 1000; i++) {
            run.step(0.01, F);
            double t = i * 0.01;
            assertEquals(x.applyAsDouble(t), run.outputs[0], TOLERANCE, "x at " + t);
            assertEquals(v.applyAsDouble(t), run.outputs[1], TOLERANCE, "v at " + t);
        }
    }

    @Test
    void underDamped() {
        double sigma = 0.4 / 2, omega = Math.sqrt(K - sigma * sigma);  // c = 0.4 N.s/m
        double b = (V0 + sigma * D0) / omega;
        check(0.4,
                t -> REST + Math.exp(-sigma * t) * (D0 * Math.cos(omega * t)
                        + b * Math.sin(omega * t)),
                t -> Math.exp(-sigma * t) * ((b * omega - sigma * D0) * Math.cos(omega * t)
                        - (D0 * omega + sigma * b) * Math.sin(omega * t)));
    }

    @Test
    void criticallyDamped() {
        double w = 2, b = V0 + w * D0;  // c = 2 sqrt(k m) = 4 N.s/m
        check(4.0,
                t -> REST + (D0 + b * t) * Math.exp(-w * t),
                t -> (b - w * (D0 + b * t)) * Math.exp(-w * t));
    }

    @Test
    void overDamped() {
        double c = 10, root = Math.sqrt(c * c - 4 * K);
        double r1 = (-c + root) / 2, r2 = (-c - root) / 2;
        double a = (V0 - r2 * D0) / (r1 - r2), b = D0 - a;
        check(c,
                t -> REST + a * Math.exp(r1 * t) + b * Math.exp(r2 * t),
                t -> a * r1 * Math.exp(r1 * t) + b * r2 * Math.exp(r2 * t));
    }
}
