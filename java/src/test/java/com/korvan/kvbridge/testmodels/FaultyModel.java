package com.korvan.kvbridge.testmodels;

import com.korvan.kvbridge.model.Declaration;
import com.korvan.kvbridge.model.DefaultExperiment;
import com.korvan.kvbridge.model.Input;
import com.korvan.kvbridge.model.Model;
import com.korvan.kvbridge.model.Output;
import com.korvan.kvbridge.model.Parameter;

import java.util.List;
import java.util.Map;

/**
 * Fails on demand: parameter "failAt" 1 throws in initialize, 2 throws in step, 3 gives a
 * NaN output in step; input "u" is the output.
 */
public class FaultyModel implements Model {
    private int failAt;

    @Override
    public Declaration declaration() {
        return new Declaration("Faulty", "", List.of(new Output("y", "", "", true)),
                List.of(new Input("u", "", "", 0)),
                List.of(new Parameter("failAt", "", "", 0)), new DefaultExperiment(0, 1, 0.1));
    }

    @Override
    public void initialize(Map<String, Double> parameters, double startTime, double[] inputs,
                           double[] outputs) {
        failAt = parameters.get("failAt").intValue();
        if (failAt == 1) throw new IllegalStateException("the valve table is empty");
        outputs[0] = inputs[0];
    }

    @Override
    public void step(double time, double stepSize, double[] inputs, double[] outputs) {
        if (failAt == 2) throw new ArithmeticException("division by zero in the valve law");
        outputs[0] = failAt == 3 ? Double.NaN : inputs[0];
    }
}
