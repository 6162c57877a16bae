package com.korvan.kvbridge.model;

/** The rule for variable and parameter names, shared by the declarations. */
final class Names {
    private Names() {}

    static void requireValid(String name) {
        if (name == null || name.isBlank()) {
            throw new IllegalArgumentException("A variable or parameter needs a name");
        }
    }
}
