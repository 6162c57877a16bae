package com.korvan.kvfmu.testmodel;

/** A model without the public no-argument constructor the server uses. */
public class NeedsArguments extends Lag {
    public NeedsArguments(double unused) {
    }
}
