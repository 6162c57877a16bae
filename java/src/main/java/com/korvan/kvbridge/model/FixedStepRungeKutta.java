package com.korvan.kvbridge.model;

/**
 * The classical fourth-order Runge-Kutta method over the fewest equal internal steps no
 * longer than the model's internal step, the last one ending exactly at the end of the
 * communication step. Its numbers must not change: models rely on them bit for bit.
 */
final class FixedStepRungeKutta implements Integrator {
    private final ContinuousModel model;
    private final double[] k1, k2, k3, k4, stage;

    FixedStepRungeKutta(ContinuousModel model, int dimension) {
        this.model = model;
        k1 = new double[dimension];
        k2 = new double[dimension];
        k3 = new double[dimension];
        k4 = new double[dimension];
        stage = new double[dimension];
    }

    @Override
    public boolean advance(double[] state, double time, double stepSize, double[] inputs) {
        double internalStep = model.internalStepSize();
        int steps = ContinuousModel.internalSteps(stepSize, internalStep);
        double h = stepSize / steps;
        for (int i = 0; i < steps; i++) {
            double t = i + 1 == steps ? time + stepSize - h : time + i * h;
            step(state, t, h, inputs);
            model.requireFinite(state, t + h, "state");
        }
        return true;
    }

    private void step(double[] state, double t, double h, double[] u) {
        int n = state.length;
        model.evaluate(t, state, u, k1);
        for (int j = 0; j < n; j++) stage[j] = state[j] + h / 2 * k1[j];
        model.evaluate(t + h / 2, stage, u, k2);
        for (int j = 0; j < n; j++) stage[j] = state[j] + h / 2 * k2[j];
        model.evaluate(t + h / 2, stage, u, k3);
        for (int j = 0; j < n; j++) stage[j] = state[j] + h * k3[j];
        model.evaluate(t + h, stage, u, k4);
        for (int j = 0; j < n; j++) {
            state[j] += h / 6 * (k1[j] + 2 * k2[j] + 2 * k3[j] + k4[j]);
        }
    }
}
