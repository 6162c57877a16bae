package com.korvan.kvbridge.model;

import java.util.ArrayList;
import java.util.List;
import org.apache.commons.math3.analysis.solvers.BracketingNthOrderBrentSolver;
import org.apache.commons.math3.exception.NoBracketingException;
import org.apache.commons.math3.exception.NumberIsTooSmallException;
import org.apache.commons.math3.ode.AbstractIntegrator;
import org.apache.commons.math3.ode.ExpandableStatefulODE;
import org.apache.commons.math3.ode.FirstOrderDifferentialEquations;
import org.apache.commons.math3.ode.events.EventHandler;
import org.apache.commons.math3.ode.nonstiff.AdaptiveStepsizeIntegrator;
import org.apache.commons.math3.ode.nonstiff.ClassicalRungeKuttaIntegrator;
import org.apache.commons.math3.ode.nonstiff.DormandPrince54Integrator;
import org.apache.commons.math3.ode.nonstiff.DormandPrince853Integrator;
import org.apache.commons.math3.ode.nonstiff.GraggBulirschStoerIntegrator;
import org.apache.commons.math3.ode.sampling.AbstractStepInterpolator;
import org.apache.commons.math3.util.Precision;

/**
 * Integration by Commons Math: the error-controlled methods, and the fixed-step method when
 * the model has state events to locate. One object serves a run for as long as the
 * integration settings stay; the model makes a new one when a setting is tuned.
 */
final class OdeIntegrator implements Integrator {
    /** The shortest internal step, as a fraction of the time scale of the step. */
    private static final double MIN_STEP_FRACTION = 1e-12;
    /**
     * How closely an event's time is located, as a fraction of the internal step: close to
     * rounding, since an impact located 1e-12 s off already moves a fast state by more than
     * the integration's own error.
     */
    private static final double EVENT_CONVERGENCE = 1e-13;
    /** The root finder's relative accuracy in time, below which it does not go. */
    private static final double EVENT_RELATIVE_ACCURACY = 5e-16;
    private static final int EVENT_ITERATIONS = 1000;
    /** A communication step may take at most this many derivative evaluations. */
    static final int MAX_EVALUATIONS = 10_000_000;
    /** A communication step may hold at most this many state events. */
    static final int MAX_EVENTS = 100_000;

    private final ContinuousModel model;
    /** Whether the model has state events, which the library then looks for in each step. */
    private final boolean watching;
    private final AbstractIntegrator integrator;
    private final FirstOrderDifferentialEquations equations;
    /** The problem the library integrates, made once and given each step's start. */
    private final ExpandableStatefulODE problem;
    private double[] inputs;
    private final List<Located> located;
    private final double convergence;
    private Located happened;
    private double lastTime;
    private int stepEvaluations;
    /** The step the error control proposed last, where the next integration starts. */
    private double proposedStep = Double.POSITIVE_INFINITY;

    OdeIntegrator(ContinuousModel model, IntegrationMethod method, int dimension,
                  List<StateEvent> events) {
        this.model = model;
        double step = model.internalStepSize();
        double relative = model.relativeTolerance();
        double absolute = model.absoluteTolerance();
        watching = !events.isEmpty();
        // Each error-controlled method reports the step its control proposes (filterStep),
        // ends its steps without the library's event search and dense output when no event
        // is watched (acceptStep), and evaluates the model directly: its state is the whole
        // of the library's, which would otherwise copy it in and out at every evaluation
        // (computeDerivatives).
        integrator = switch (method) {
            case DORMAND_PRINCE_853 -> new DormandPrince853Integrator(0, step, absolute, relative) {
                @Override
                protected double filterStep(double h, boolean forward, boolean acceptSmall) {
                    return proposed(super.filterStep(h, forward, acceptSmall));
                }

                @Override
                protected double acceptStep(AbstractStepInterpolator interpolator, double[] y,
                                            double[] yDot, double end) {
                    if (watching) return super.acceptStep(interpolator, y, yDot, end);
                    isLastStep = reaches(interpolator, end);
                    return interpolator.getGlobalCurrentTime();
                }

                @Override
                public void computeDerivatives(double t, double[] y, double[] yDot) {
                    equations.computeDerivatives(t, y, yDot);
                }
            };
            case DORMAND_PRINCE_54 -> new DormandPrince54Integrator(0, step, absolute, relative) {
                @Override
                protected double filterStep(double h, boolean forward, boolean acceptSmall) {
                    return proposed(super.filterStep(h, forward, acceptSmall));
                }

                @Override
                protected double acceptStep(AbstractStepInterpolator interpolator, double[] y,
                                            double[] yDot, double end) {
                    if (watching) return super.acceptStep(interpolator, y, yDot, end);
                    isLastStep = reaches(interpolator, end);
                    return interpolator.getGlobalCurrentTime();
                }

                @Override
                public void computeDerivatives(double t, double[] y, double[] yDot) {
                    equations.computeDerivatives(t, y, yDot);
                }
            };
            case GRAGG_BULIRSCH_STOER -> new GraggBulirschStoerIntegrator(0, step, absolute,
                                                                          relative) {
                @Override
                protected double filterStep(double h, boolean forward, boolean acceptSmall) {
                    return proposed(super.filterStep(h, forward, acceptSmall));
                }

                @Override
                protected double acceptStep(AbstractStepInterpolator interpolator, double[] y,
                                            double[] yDot, double end) {
                    if (watching) return super.acceptStep(interpolator, y, yDot, end);
                    isLastStep = reaches(interpolator, end);
                    return interpolator.getGlobalCurrentTime();
                }

                @Override
                public void computeDerivatives(double t, double[] y, double[] yDot) {
                    equations.computeDerivatives(t, y, yDot);
                }
            };
            case CLASSICAL_RUNGE_KUTTA -> new ClassicalRungeKuttaIntegrator(step);
        };
        List<Located> watched = new ArrayList<>();
        for (StateEvent event : events) watched.add(new Located(event));
        located = List.copyOf(watched);
        convergence = EVENT_CONVERGENCE * step;
        watchEvents();
        equations = new FirstOrderDifferentialEquations() {
            @Override
            public int getDimension() {
                return dimension;
            }

            @Override
            public void computeDerivatives(double t, double[] x, double[] dxdt) {
                lastTime = t;
                if (++stepEvaluations > MAX_EVALUATIONS) {
                    throw model.divergence("the integration needs more than " + MAX_EVALUATIONS
                            + " derivative evaluations in the step, at t = " + t);
                }
                // A derivative that is not finite makes the step's error estimate so, and the
                // state at its end too, where it is caught: no check in every evaluation.
                model.evaluate(t, x, inputs, dxdt);
            }
        };
        problem = new ExpandableStatefulODE(equations);
    }

    @Override
    public boolean advance(double[] state, double time, double stepSize, double[] inputs) {
        this.inputs = inputs;
        stepEvaluations = 0;
        double end = time + stepSize;
        if (integrator instanceof AdaptiveStepsizeIntegrator adaptive) {
            double scale = Math.max(stepSize, Math.max(Math.abs(time), Math.abs(end)));
            adaptive.setStepSizeControl(MIN_STEP_FRACTION * scale, model.internalStepSize(),
                                        model.absoluteTolerance(), model.relativeTolerance());
        }
        double t = time;
        for (int events = 0; ; events++) {
            if (end - t <= MIN_STEP_FRACTION * Math.max(Math.abs(t), Math.abs(end))) {
                eulerStep(state, t, end - t);  // too short for the library; exact enough
                return true;
            }
            if (events > MAX_EVENTS) {
                throw new ArithmeticException("more than " + MAX_EVENTS + " state events in"
                        + " the step, the last at t = " + t + ": an event's new state must"
                        + " take its event function away from zero");
            }
            happened = null;
            t = integrate(state, t, end);
            model.requireFinite(state, t, "state");
            if (happened == null) return true;
            // The integration stopped at the event and goes on from its new state, with the
            // event functions watched afresh: the library's memory of the event would
            // otherwise misjudge a function that is left a rounding error from zero.
            watchEvents();
            if (happened.isRepeatedAt(t)) continue;  // that rounding error crossing back
            StateEvent.Action action = happened.occurred(t, state);
            model.requireFinite(state, t, "state");
            if (action == StateEvent.Action.STOP) return false;
        }
    }

    private double integrate(double[] state, double from, double to) {
        // Each step starts with the step the error control proposed last, at first the
        // longest allowed: the library's own guess from the tolerances costs an evaluation
        // and is mostly far too short, so that every communication step would pay for it.
        if (integrator instanceof AdaptiveStepsizeIntegrator adaptive) {
            adaptive.setInitialStepSize(Math.min(proposedStep, adaptive.getMaxStep()));
        }
        try {
            problem.setTime(from);
            problem.setPrimaryState(state);
            integrator.integrate(problem, to);
            System.arraycopy(problem.getPrimaryState(), 0, state, 0, state.length);
            return problem.getTime();
        } catch (NumberIsTooSmallException e) {
            throw model.divergence("the integration needs an internal step shorter than the"
                    + " least allowed (" + e.getMin() + " s) at t = " + lastTime);
        } catch (NoBracketingException e) {
            throw new ArithmeticException("a state event could not be located near t = "
                    + lastTime + ": its event function must be continuous (" + e.getMessage()
                    + ")");
        }
    }

    private void watchEvents() {
        integrator.clearEventHandlers();
        for (Located event : located) {
            integrator.addEventHandler(event, model.internalStepSize(), convergence,
                    EVENT_ITERATIONS, new BracketingNthOrderBrentSolver(EVENT_RELATIVE_ACCURACY,
                                                                        convergence, 5));
        }
    }

    /** Whether the step just taken ends the integration, at its end to within rounding. */
    private static boolean reaches(AbstractStepInterpolator step, double end) {
        return Precision.equals(step.getGlobalCurrentTime(), end, 1);
    }

    private double proposed(double step) {
        proposedStep = Math.abs(step);
        return step;
    }

    private void eulerStep(double[] state, double time, double stepSize) {
        double[] slope = new double[state.length];
        equations.computeDerivatives(time, state, slope);
        for (int j = 0; j < state.length; j++) state[j] += stepSize * slope[j];
        model.requireFinite(state, time + stepSize, "state");
    }

    /** A model's state event as an event handler, which stops the integration at the event. */
    private final class Located implements EventHandler {
        private final StateEvent event;
        private double lastTime = Double.NaN;

        Located(StateEvent event) {
            this.event = event;
        }

        /** Whether this is the event of a moment ago, found again. */
        boolean isRepeatedAt(double t) {
            return Math.abs(t - lastTime)
                    <= 2 * (convergence + EVENT_RELATIVE_ACCURACY * Math.abs(t));
        }

        StateEvent.Action occurred(double t, double[] state) {
            lastTime = t;
            StateEvent.Action action = event.occurred(t, state, inputs);
            if (action == null) {
                throw new NullPointerException(event.getClass().getName()
                        + ".occurred answered no action");
            }
            return action;
        }

        @Override
        public void init(double t0, double[] x0, double t) {}

        @Override
        public double g(double t, double[] x) {
            return event.g(t, x, inputs);
        }

        @Override
        public Action eventOccurred(double t, double[] x, boolean increasing) {
            happened = this;
            return Action.STOP;
        }

        @Override
        public void resetState(double t, double[] x) {}
    }
}
