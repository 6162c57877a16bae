package com.korvan.kvbridge.model;

/**
 * A state event of a {@link ContinuousModel}: something that happens when the event function
 * g(t, x, u) crosses zero, such as a ball reaching the floor (g = height) or a room reaching
 * its thermostat's setting (g = temperature - setting).
 *
 * <p>The integration locates each crossing inside the communication step, to a small
 * fraction of the internal step, and calls {@link #occurred(double, double[], double[])}
 * there; the integration then goes on from the state that call leaves. g must be continuous
 * in t and x: write one event function per threshold rather than one that changes with the
 * model's modes. A zero that g only touches without crossing is not an event. g is checked
 * at least once per internal step, so two crossings closer together than
 * {@value ContinuousModel#INTERNAL_STEP} may go unseen.
 */
public interface StateEvent {
    /** What follows an event. */
    enum Action {
        /**
         * The integration goes on from the state as {@code occurred} left it (changed or not);
         * fields the model changed there, such as a mode, take effect at once.
         */
        NEW_STATE,
        /**
         * The integration ends for the rest of the run: the state keeps the value
         * {@code occurred} left, and every later step only computes the outputs from it.
         */
        STOP
    }

    /**
     * The event function, zero where the event happens.
     *
     * @param t the time, in seconds
     * @param x the state (not to be changed)
     * @param u the inputs
     * @return g(t, x, u)
     */
    double g(double t, double[] x, double[] u);

    /**
     * Called at the located crossing, in either direction; may change the state in place.
     *
     * @param t the time of the crossing, in seconds
     * @param x the state at the crossing, to be changed in place into the state after the
     *          event
     * @param u the inputs
     * @return what follows
     */
    Action occurred(double t, double[] x, double[] u);
}
