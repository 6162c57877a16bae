package com.korvan.kvfmu.testmodel;

import com.korvan.kvbridge.model.Declaration;

/** A model whose declaration fails. */
public class BrokenDeclaration extends Lag {
    @Override
    public Declaration declaration() {
        throw new IllegalStateException("declaration not ready");
    }
}
