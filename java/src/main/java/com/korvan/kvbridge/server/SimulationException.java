package com.korvan.kvbridge.server;

/**
 * A refused or failed server call. Its message is written for the user of the host: it
 * says what went wrong and what to change.
 */
public final class SimulationException extends Exception {
    private static final long serialVersionUID = 1L;

    public SimulationException(String message) {
        super(message);
    }

    public SimulationException(String message, Throwable cause) {
        super(message, cause);
    }
}
