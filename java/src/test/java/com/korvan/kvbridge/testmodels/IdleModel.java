package com.korvan.kvbridge.testmodels;

import com.korvan.kvbridge.model.Declaration;
import com.korvan.kvbridge.model.DefaultExperiment;
import com.korvan.kvbridge.model.Input;
import com.korvan.kvbridge.model.Model;
import com.korvan.kvbridge.model.Output;

import java.util.List;
import java.util.Map;

/** Two outputs, one input; the outputs are the input and the step's end time. */
public class IdleModel implements Model {
    @Override
    public Declaration declaration() {
        return new Declaration("Idle", "", List.of(new Output("echo", "", "", true),
                new Output("time", "", "s", false)), List.of(new Input("u", "", "", 1.5)),
                List.of(), new DefaultExperiment(0, 1, 0.1));
    }

    @Override
    public void initialize(Map<String, Double> parameters, double startTime, double[] inputs,
                           double[] outputs) {
        outputs[0] = inputs[0];
        outputs[1] = startTime;
    }

    @Override
    public void step(double time, double stepSize, double[] inputs, double[] outputs) {
        outputs[0] = inputs[0];
        outputs[1] = time + stepSize;
    }
}
