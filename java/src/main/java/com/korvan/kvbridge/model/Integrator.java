package com.korvan.kvbridge.model;

/** What a {@link ContinuousModel} asks of its integration: one communication step at a time. */
interface Integrator {
    /**
     * Advances the state in place from {@code time} to {@code time + stepSize}, the inputs held.
     *
     * @return false when a state event stopped the integration for good; the state is then
     *         the one the event left
     */
    boolean advance(double[] state, double time, double stepSize, double[] inputs);
}
