package com.korvan.kvfmu.testmodel;

import com.korvan.kvbridge.model.Declaration;
import com.korvan.kvbridge.model.DefaultExperiment;
import com.korvan.kvbridge.model.Output;

import java.util.List;

/** A model whose output name holds a line break, which no model description can carry. */
public class ControlCharacterName extends Lag {
    @Override
    public Declaration declaration() {
        return new Declaration("Broken", "", List.of(new Output("two\nlines", "", "", false)),
                               List.of(), List.of(), new DefaultExperiment(0, 1, 0.1));
    }
}
