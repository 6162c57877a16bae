package com.example.heating;

import com.korvan.kvbridge.model.ContinuousModel;
import com.korvan.kvbridge.model.Declaration;
import com.korvan.kvbridge.model.DefaultExperiment;
import com.korvan.kvbridge.model.Input;
import com.korvan.kvbridge.model.IntegrationMethod;
import com.korvan.kvbridge.model.Output;
import com.korvan.kvbridge.model.Parameter;
import com.korvan.kvbridge.model.Parameters;
import com.korvan.kvbridge.model.StateEvent;

import java.util.List;
import java.util.Map;

/**
 * A room warmed by a heater and losing heat through its walls:
 * C dT/dt = P - (T - T_out) / R. The temperature settles at T_out + R P.
 *
 * <p>A thermostat switches the heater off when the room reaches TMax and on again 1 K below
 * (two state events). The heat loss depends directly on the outside temperature only (the
 * room temperature is state), and the room's capacity and walls can be changed during a run.
 */
public class HeatedRoom extends ContinuousModel {
    private static final double THERMOSTAT_BAND = 1.0;  // K

    private double heatCapacity;
    private double wallResistance;
    private double maxTemperature;
    private boolean heating;

    @Override
    protected Declaration declareModel() {
        return new Declaration("HeatedRoom", "A room with a heater, losing heat through its walls",
                List.of(new Output("roomTemperature", "Air temperature in the room", "degC",
                                List.of()),
                        new Output("heatLoss", "Heat flowing out through the walls", "W",
                                List.of("outsideTemperature"))),
                List.of(new Input("heaterPower", "Heat the heater gives to the room", "W",
                                1000.0),
                        new Input("outsideTemperature", "Air temperature outside", "degC",
                                5.0)),
                List.of(new Parameter("C", "Heat capacity of the room", "J/K", 2.0e6, true),
                        new Parameter("R", "Thermal resistance of the walls", "K/W", 0.005, true),
                        new Parameter("T0", "Room temperature at the start", "degC", 15.0),
                        new Parameter("TMax", "Thermostat setting: the heater goes off there"
                                + " and on again 1 K below", "degC", 22.0)),
                new DefaultExperiment(0.0, 86400.0, 60.0));
    }

    @Override
    protected IntegrationMethod integrationMethod() {
        // The room changes slowly and smoothly (R C is hours long): the fifth-order method
        // meets the tolerances with one internal step of 6 derivative evaluations a minute.
        return IntegrationMethod.DORMAND_PRINCE_54;
    }

    @Override
    protected double defaultAbsoluteTolerance() {
        return 1e-8;  // K: far below what a thermometer shows
    }

    @Override
    protected List<StateEvent> stateEvents() {
        return List.of(thermostat(maxTemperature, false),
                       thermostat(maxTemperature - THERMOSTAT_BAND, true));
    }

    /** Switches the heater when the room temperature crosses the threshold. */
    private StateEvent thermostat(double threshold, boolean heat) {
        return new StateEvent() {
            @Override
            public double g(double t, double[] x, double[] u) {
                return x[0] - threshold;
            }

            @Override
            public Action occurred(double t, double[] x, double[] u) {
                heating = heat;
                return Action.NEW_STATE;
            }
        };
    }

    @Override
    protected double[] startState(Map<String, Double> parameters, double startTime,
                                  double[] inputs) {
        heatCapacity = Parameters.positive(parameters, "C");
        wallResistance = Parameters.positive(parameters, "R");
        maxTemperature = Parameters.value(parameters, "TMax");
        double start = Parameters.value(parameters, "T0");
        heating = start < maxTemperature;
        return new double[] {start};
    }

    @Override
    protected void tuneParameter(String name, double value) {
        switch (name) {
            case "C" -> heatCapacity = Parameters.positive("C", value);
            case "R" -> wallResistance = Parameters.positive("R", value);
            default -> super.tuneParameter(name, value);
        }
    }

    @Override
    protected void derivatives(double t, double[] x, double[] u, double[] dxdt) {
        dxdt[0] = ((heating ? u[0] : 0) - heatLoss(x, u)) / heatCapacity;
    }

    @Override
    protected void outputs(double t, double[] x, double[] u, double[] y) {
        y[0] = x[0];
        y[1] = heatLoss(x, u);
    }

    private double heatLoss(double[] x, double[] u) {
        return (x[0] - u[1]) / wallResistance;
    }
}
