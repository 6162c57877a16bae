package com.korvan.kvfmu.testmodel;

import com.korvan.kvbridge.model.Declaration;
import com.korvan.kvbridge.model.DefaultExperiment;
import com.korvan.kvbridge.model.Model;
import com.korvan.kvbridge.model.Output;
import com.korvan.kvbridge.model.Parameter;

import java.io.IOException;
import java.util.List;
import java.util.Map;

/**
 * A model that cannot start: with mode 0 its initial output is NaN, with mode 1 it throws an
 * IOException it does not declare.
 */
public class StartsBadly implements Model {
    @Override
    public Declaration declaration() {
        return new Declaration("StartsBadly", "", List.of(new Output("y", "", "", false)),
                               List.of(), List.of(new Parameter("mode", "", "", 0)),
                               new DefaultExperiment(0, 1, 0.1));
    }

    @Override
    public void initialize(Map<String, Double> parameters, double startTime, double[] inputs,
                           double[] outputs) {
        if (parameters.get("mode") == 1) StartsBadly.<RuntimeException>raise(
            new IOException("the pump table is missing"));
        outputs[0] = Double.NaN;
    }

    @Override
    public void step(double time, double stepSize, double[] inputs, double[] outputs) {}

    @SuppressWarnings("unchecked")
    private static <T extends Throwable> void raise(Throwable failure) throws T {
        throw (T) failure;
    }
}
