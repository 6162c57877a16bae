package com.korvan.kvbridge.models;

import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertThrows;

import java.util.Map;
import org.junit.jupiter.params.ParameterizedTest;
import org.junit.jupiter.params.provider.ValueSource;

/**
 * Against the closed form of the ball of the default parameters (h0 = 1 m, e = 0.8,
 * g = 9.81 m/s2): the first impact at t1 = sqrt(2 h0 / g) with speed g t1; after impact k
 * the ball leaves at e^k g t1, reaches its apex of e^2k h0 after e^k t1 and lands again
 * after 2 e^k t1. The impacts are located inside the communication steps, so the heights
 * and velocities match at every communication point whatever the step.
 */
class BouncingBallTest {
    private static final double G = 9.81, E = 0.8, T1 = Math.sqrt(2 / G);
    private static final double TOLERANCE = 1e-6;

    @ParameterizedTest
    @ValueSource(doubles = {0.01, 0.1, 0.37, 1.0})
    void impactsAndApexesMatchTheClosedForm(double step) {
        ModelRun run = ModelRun.start(new BouncingBall(), Map.of(), 0.0);
        double impact = T1;
        for (int k = 1; k <= 3; k++) {
            double leave = Math.pow(E, k) * G * T1;
            run.runUntil(impact, step);
            assertEquals(0.0, run.outputs[0], TOLERANCE, "height at impact " + k);
            double apex = impact + leave / G;
            run.runUntil(apex, step);
            assertEquals(Math.pow(E, 2 * k), run.outputs[0], TOLERANCE, "apex " + k);
            assertEquals(0.0, run.outputs[1], TOLERANCE, "velocity at apex " + k);
            impact = apex + leave / G;
        }
        double s = 0.05;  // just after the fourth impact
        run.runUntil(impact + s, step);
        double leave = Math.pow(E, 4) * G * T1;
        assertEquals(leave * s - G * s * s / 2, run.outputs[0], TOLERANCE);
        assertEquals(leave - G * s, run.outputs[1], TOLERANCE);
    }

    @ParameterizedTest
    @ValueSource(doubles = {0.01, 1.0})
    void comesToRestOnTheFloorOnceTooSlowToBounce(double step) {
        ModelRun run = ModelRun.start(new BouncingBall(), Map.of(), 0.0);
        run.runUntil(5.0, step);
        assertEquals(0.0, run.outputs[0]);
        assertEquals(0.0, run.outputs[1]);
        run.runUntil(6.0, step);
        assertEquals(0.0, run.outputs[0]);
    }

    @ParameterizedTest
    @ValueSource(doubles = {-0.1, 1.5})
    void refusesARestitutionOutside0To1(double e) {
        assertThrows(IllegalArgumentException.class,
                () -> ModelRun.start(new BouncingBall(), Map.of("e", e), 0.0));
    }
}
