package com.korvan.kvbridge.models;

import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertThrows;
import static org.junit.jupiter.api.Assertions.assertTrue;

import java.util.Map;
import org.junit.jupiter.api.Test;

/**
 * Against y(t) = K u + (y(t0) - K u) exp(-(t - t0)/T) for an input held constant from t0.
 * With the default internal step of 1 ms and T = 0.5 s the step ratio is 0.002, and RK4's
 * error per internal step is about ratio^5 / 120 of the deviation (3e-16): accumulated over
 * the run it stays below 1e-12. A tolerance of 1e-10 leaves room for rounding yet fails a
 * first- or second-order method (errors 1e-4 and 1e-7 here) and any wrong coefficient.
 */
class FirstOrderLagTest {
    private static final double TOLERANCE = 1e-10;
    private static final Map<String, Double> PARAMETERS = Map.of("K", 2.0, "T", 0.5, "y0", 0.3);

    private static double lag(double from, double gainTimesInput, double elapsed) {
        return gainTimesInput + (from - gainTimesInput) * Math.exp(-elapsed / 0.5);
    }

    @Test
    void followsAStepOfTheInput() {
        ModelRun run = ModelRun.start(new FirstOrderLag(), PARAMETERS, 1.0, 1.0);
        assertEquals(0.3, run.outputs[0]);
        for (int i = 1; i <= 300; i++) {
            run.step(0.01, 1.0);
            assertEquals(lag(0.3, 2.0, i * 0.01), run.outputs[0], TOLERANCE, "step " + i);
        }
    }

    @Test
    void followsAChangingInputWithVariableStepSizes() {
        ModelRun run = ModelRun.start(new FirstOrderLag(), PARAMETERS, 0.0, 0.0);
        run.runUntil(1.0, 0.0123, 1.0);  // steps that are no multiple of the internal step
        double atOne = lag(0.3, 2.0, 1.0);
        assertEquals(atOne, run.outputs[0], TOLERANCE);
        run.step(0.25, -0.5).step(0.75, -0.5).step(1.0, -0.5);
        assertEquals(lag(atOne, -1.0, 2.0), run.outputs[0], TOLERANCE);
    }

    @Test
    void refusesATimeConstantThatIsNotPositive() {
        IllegalArgumentException e = assertThrows(IllegalArgumentException.class,
                () -> ModelRun.start(new FirstOrderLag(), Map.of("T", 0.0), 0.0, 0.0));
        assertEquals("Parameter T must be greater than 0, not 0.0", e.getMessage());
    }

    @Test
    void declaresWhatAnEngineerReads() {
        var declaration = new FirstOrderLag().declaration();
        assertEquals("FirstOrderLag", declaration.modelName());
        assertEquals("y", declaration.outputs().get(0).name());
        assertEquals("u", declaration.inputs().get(0).name());
        assertTrue(declaration.parameters().stream()
                .anyMatch(p -> p.name().equals("T") && p.unit().equals("s")));
    }
}
