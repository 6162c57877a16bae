package com.korvan.kvbridge.models;

import com.korvan.kvbridge.model.ContinuousModel;
import com.korvan.kvbridge.model.Declaration;
import com.korvan.kvbridge.model.DefaultExperiment;
import com.korvan.kvbridge.model.IntegrationMethod;
import com.korvan.kvbridge.model.Output;
import com.korvan.kvbridge.model.Parameter;
import com.korvan.kvbridge.model.Parameters;
import com.korvan.kvbridge.model.StateEvent;

import java.util.List;
import java.util.Map;

/**
 * A ball dropped onto a floor: h'' = -g in flight. At each impact (a state event where the
 * height crosses 0) the velocity turns over and shrinks by the restitution e; once the speed
 * after an impact falls below vMin the ball rests on the floor and the integration stops.
 */
public class BouncingBall extends ContinuousModel {
    private double gravity;
    private double restitution;
    private double restSpeed;
    private boolean resting;

    @Override
    protected Declaration declareModel() {
        return new Declaration("BouncingBall",
                "A ball dropped onto the floor, bouncing with a loss of speed at each impact",
                List.of(new Output("h", "Height of the ball above the floor", "m", List.of()),
                        new Output("v", "Velocity of the ball, upwards positive", "m/s",
                                List.of())),
                List.of(),
                List.of(new Parameter("h0", "Height the ball is dropped from, at rest", "m", 1.0),
                        new Parameter("e", "Restitution: speed after an impact over speed"
                                + " before, from 0 to 1", "", 0.8),
                        new Parameter("g", "Acceleration of gravity", "m/s2", 9.81),
                        new Parameter("vMin", "Least speed after an impact at which the ball"
                                + " bounces again; below it the ball rests on the floor", "m/s",
                                0.1)),
                new DefaultExperiment(0.0, 5.0, 0.01));
    }

    @Override
    protected IntegrationMethod integrationMethod() {
        // Between impacts the motion is a parabola, which every method integrates exactly:
        // the error is where the impacts are located, so the cheapest steps serve best.
        return IntegrationMethod.DORMAND_PRINCE_54;
    }

    @Override
    protected double[] startState(Map<String, Double> parameters, double startTime,
                                  double[] inputs) {
        gravity = Parameters.positive(parameters, "g");
        restitution = Parameters.nonNegative(parameters, "e");
        if (restitution > 1) {
            throw new IllegalArgumentException("Parameter e must not be greater than 1, not "
                    + restitution + ": an impact cannot add speed");
        }
        restSpeed = Parameters.nonNegative(parameters, "vMin");
        double height = Parameters.nonNegative(parameters, "h0");
        resting = height == 0;
        return new double[] {height, 0.0};
    }

    @Override
    protected List<StateEvent> stateEvents() {
        return List.of(new StateEvent() {
            @Override
            public double g(double t, double[] x, double[] u) {
                return x[0];
            }

            @Override
            public Action occurred(double t, double[] x, double[] u) {
                x[0] = 0;
                double speed = -restitution * x[1];
                if (speed < restSpeed) {
                    x[1] = 0;
                    resting = true;
                    return Action.STOP;
                }
                x[1] = speed;
                return Action.NEW_STATE;
            }
        });
    }

    @Override
    protected void derivatives(double t, double[] x, double[] u, double[] dxdt) {
        dxdt[0] = resting ? 0 : x[1];
        dxdt[1] = resting ? 0 : -gravity;
    }

    @Override
    protected void outputs(double t, double[] x, double[] u, double[] y) {
        y[0] = x[0];
        y[1] = x[1];
    }
}
