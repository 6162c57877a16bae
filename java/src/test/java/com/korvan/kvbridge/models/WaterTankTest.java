package com.korvan.kvbridge.models;

import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertThrows;
import static org.junit.jupiter.api.Assertions.assertTrue;

import java.util.Map;
import org.junit.jupiter.api.Test;

/**
 * Against the closed forms of A dh/dt = q_in - Kv s sqrt(h) with A = 2 m2, Kv = 0.05:
 * draining (q_in = 0) gives sqrt(h) = sqrt(h0) - Kv s t / (2 A); a shut valve gives
 * h = h0 + q_in t / A; and a constant inflow settles at h = (q_in / (Kv s))^2. The rates
 * are slow (about 0.01/s) against the internal step of 10 ms, so RK4's error stays near
 * rounding while the level is well above 0, where sqrt is smooth: 1e-10 m is the tolerance.
 */
class WaterTankTest {
    private static final double TOLERANCE = 1e-10;
    private static final Map<String, Double> TANK = Map.of("A", 2.0, "Kv", 0.05, "h0", 1.0);

    @Test
    void drainsByTorricellisLaw() {
        ModelRun run = ModelRun.start(new WaterTank(), TANK, 0.0, 0.0, 1.0);
        assertEquals(1.0, run.outputs[0]);
        assertEquals(0.05, run.outputs[1], 1e-15);
        for (int i = 1; i <= 60; i++) {  // empty at 80 s; stop at sqrt(h) = 0.25
            run.step(1.0, 0.0, 1.0);
            double root = 1.0 - 0.05 * i / 4;
            assertEquals(root * root, run.outputs[0], TOLERANCE, "level at " + i);
            assertEquals(0.05 * root, run.outputs[1], TOLERANCE, "outflow at " + i);
        }
    }

    @Test
    void fillsLinearlyWithTheValveShut() {
        ModelRun run = ModelRun.start(new WaterTank(), TANK, 0.0, 0.1, 0.0);
        run.runUntil(30.0, 0.7, 0.1, 0.0);
        assertEquals(1.0 + 0.1 * 30 / 2, run.outputs[0], TOLERANCE);
        assertEquals(0.0, run.outputs[1]);
    }

    @Test
    void settlesWhereInflowMatchesOutflow() {
        ModelRun run = ModelRun.start(new WaterTank(), TANK, 0.0, 0.02, 0.5);
        run.runUntil(4000.0, 5.0, 0.02, 0.5);
        assertEquals(0.64, run.outputs[0], 1e-8);  // decays like exp(-t/128 s): 1e-14 left
        assertEquals(0.02, run.outputs[1], 1e-8);
    }

    @Test
    void refusesInputsOutsideTheirRange() {
        ModelRun run = ModelRun.start(new WaterTank(), TANK, 0.0, 0.0, 1.0);
        IllegalArgumentException e = assertThrows(IllegalArgumentException.class,
                () -> run.step(1.0, -0.1, 1.0));
        assertTrue(e.getMessage().startsWith("inflow -0.1 m3/s is negative"), e.getMessage());
        e = assertThrows(IllegalArgumentException.class, () -> run.step(1.0, 0.0, 1.5));
        assertEquals("valveOpening 1.5 is outside 0 to 1", e.getMessage());
    }
}
