package com.korvan.kvbridge.testmodels;

import com.korvan.kvbridge.model.Declaration;
import com.korvan.kvbridge.model.DefaultExperiment;
import com.korvan.kvbridge.model.Input;
import com.korvan.kvbridge.model.Model;
import com.korvan.kvbridge.model.Output;
import com.korvan.kvbridge.model.Parameter;

import java.io.IOException;
import java.util.List;
import java.util.Map;

/**
 * Throws what ordinary catch clauses miss. Parameter "where": 1 in initialize, 2 in the
 * second step (after writing half its outputs). Parameter "what": 1 an undeclared checked
 * IOException, 2 an AssertionError, 3 an OutOfMemoryError. Outputs: the input and the time.
 */
public class ThrowingModel implements Model {
    private int where;
    private int what;
    private int steps;

    @Override
    public Declaration declaration() {
        return new Declaration("Throwing", "", List.of(new Output("echo", "", "", true),
                new Output("time", "", "s", false)), List.of(new Input("u", "", "", 0)),
                List.of(new Parameter("where", "", "", 0), new Parameter("what", "", "", 0)),
                new DefaultExperiment(0, 1, 0.1));
    }

    @Override
    public void initialize(Map<String, Double> parameters, double startTime, double[] inputs,
                           double[] outputs) {
        where = parameters.get("where").intValue();
        what = parameters.get("what").intValue();
        if (where == 1) throw failure();
        outputs[0] = inputs[0];
        outputs[1] = startTime;
    }

    @Override
    public void step(double time, double stepSize, double[] inputs, double[] outputs) {
        outputs[0] = inputs[0];
        if (where == 2 && ++steps == 2) throw failure();
        outputs[1] = time + stepSize;
    }

    private RuntimeException failure() {
        return switch (what) {
            case 1 -> Sneaky.sneakyThrow(new IOException("the table file is gone"));
            case 2 -> Sneaky.sneakyThrow(new AssertionError("level below the outlet"));
            default -> Sneaky.sneakyThrow(new OutOfMemoryError("Java heap space"));
        };
    }
}
