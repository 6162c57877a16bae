package com.korvan.kvbridge.testmodels;

import com.korvan.kvbridge.model.Declaration;
import com.korvan.kvbridge.model.Model;

import java.io.IOException;
import java.util.Map;

/** A model whose declaration throws an IOException it does not declare. */
public class SneakyDeclaration implements Model {
    @Override
    public Declaration declaration() {
        throw Sneaky.sneakyThrow(new IOException("model.ini is missing"));
    }

    @Override
    public void initialize(Map<String, Double> parameters, double startTime, double[] inputs,
                           double[] outputs) {}

    @Override
    public void step(double time, double stepSize, double[] inputs, double[] outputs) {}
}
