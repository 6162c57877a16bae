package com.korvan.kvbridge.server;

/**
 * When a communication step starts where the previous one ended. A host computes its next
 * communication point in floating point (t + h, or t0 + n h), so it may differ from the
 * server's end of the last step by the rounding of that arithmetic: a few units in the last
 * place of the time. The tolerance is the larger of a millionth of the last step and 64
 * units in the last place of the expected time. That is far above any rounding and far
 * below a real gap or overlap, which would skip or repeat a part of the run.
 */
public final class StepTiming {
    private StepTiming() {}

    /** The largest difference between expected and actual start that is taken as rounding. */
    public static double tolerance(double expectedStart, double lastStepSize) {
        return Math.max(1e-6 * lastStepSize, 64 * Math.ulp(expectedStart));
    }

    public static boolean continues(double expectedStart, double lastStepSize, double start) {
        return Math.abs(start - expectedStart) <= tolerance(expectedStart, lastStepSize);
    }
}
