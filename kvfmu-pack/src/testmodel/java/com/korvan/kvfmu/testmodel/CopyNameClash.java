package com.korvan.kvfmu.testmodel;

import com.korvan.kvbridge.model.Declaration;
import com.korvan.kvbridge.model.DefaultExperiment;
import com.korvan.kvbridge.model.Input;
import com.korvan.kvbridge.model.Model;
import com.korvan.kvbridge.model.Output;

import java.util.List;
import java.util.Map;

/** An input already named like the copy of an output; no units, no parameters. */
public class CopyNameClash implements Model {
    @Override
    public Declaration declaration() {
        return new Declaration("Copy name clash", "",
            List.of(new Output("a", "", "", true)),
            List.of(new Input("a_copy", "", "", 0.0)),
            List.of(),
            new DefaultExperiment(1.0, 2.0, 0.5));
    }

    @Override
    public void initialize(Map<String, Double> parameters, double startTime, double[] inputs,
                           double[] outputs) {
        outputs[0] = inputs[0];
    }

    @Override
    public void step(double time, double stepSize, double[] inputs, double[] outputs) {
        outputs[0] = inputs[0];
    }
}
