package com.korvan.kvbridge.server;

/**
 * When a communication step starts where the previous one ended, and when it ends by the
 * stop time. A host computes its next
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

    /**
     * How far a step's end may pass the stop time. A host that reaches the stop time by
     * adding its step size again and again carries the rounding of every addition: a million
     * steps of 1e-4 s end some 1e-9 s away from 100 s. A billionth of the stop time (and at
     * least the tolerance of a step's start) covers that, and is still far below any step a
     * host would take past the stop time on purpose.
     */
    public static double stopTolerance(double stopTime, double stepSize) {
        return Math.max(1e-9 * Math.abs(stopTime), tolerance(stopTime, stepSize));
    }

    /** Whether a step of {@code stepSize} that ends at {@code end} stays within the stop time. */
    public static boolean endsByStop(double end, double stopTime, double stepSize) {
        return end <= stopTime + stopTolerance(stopTime, stepSize);
    }
}
