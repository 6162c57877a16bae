package com.korvan.kvbridge.model;

/**
 * How a {@link ContinuousModel} integrates its differential equations over a communication
 * step; a model chooses one through {@link ContinuousModel#integrationMethod()}.
 *
 * <p>The error-controlled methods pick each internal step themselves so that the error
 * estimated in that step stays within {@value ContinuousModel#ABSOLUTE_TOLERANCE} +
 * {@value ContinuousModel#RELATIVE_TOLERANCE} times the size of the state, and take no step
 * longer than {@value ContinuousModel#INTERNAL_STEP}. The fixed-step method ignores the
 * tolerances (the model then does not declare them) and takes equal steps no longer than
 * {@value ContinuousModel#INTERNAL_STEP}; its error is the user's to judge.
 */
public enum IntegrationMethod {
    /**
     * Dormand-Prince 8(5,3): an explicit Runge-Kutta method of order 8 with error control,
     * 12 derivative evaluations a step (13 for the first step of a communication step), and
     * 3 more for every step of a model with state events, which are looked for in the
     * method's dense output. The default: few, long steps at tight tolerances, for smooth
     * models that are not stiff; one step a communication step reaches rounding level on
     * many of them.
     */
    DORMAND_PRINCE_853(true),
    /**
     * Dormand-Prince 5(4): an explicit Runge-Kutta method of order 5 with error control,
     * 6 derivative evaluations a step (7 for the first step of a communication step), also
     * with state events. Cheaper steps than {@link #DORMAND_PRINCE_853}, so the better
     * choice at loose tolerances, for models with state events, or for models whose
     * derivatives are only piecewise smooth.
     */
    DORMAND_PRINCE_54(true),
    /**
     * Gragg-Bulirsch-Stoer: extrapolation of the modified midpoint rule, choosing its order
     * and step with error control. Long steps for very smooth models at very tight
     * tolerances.
     */
    GRAGG_BULIRSCH_STOER(true),
    /**
     * The classical fourth-order Runge-Kutta method with a fixed internal step: each
     * communication step is split into the fewest equal steps no longer than
     * {@value ContinuousModel#INTERNAL_STEP}, 4 derivative evaluations each. No error
     * control: kept for models whose results must stay exactly as they were.
     */
    CLASSICAL_RUNGE_KUTTA(false);

    private final boolean errorControlled;

    IntegrationMethod(boolean errorControlled) {
        this.errorControlled = errorControlled;
    }

    /**
     * Whether the method controls its error, and so uses the tolerances.
     *
     * @return true for every method but {@link #CLASSICAL_RUNGE_KUTTA}
     */
    public boolean errorControlled() {
        return errorControlled;
    }
}
