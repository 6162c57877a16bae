package com.korvan.kvbridge.server;

/** How a Java exception appears in a text for the user: its message and its kind. */
public final class Failures {
    private Failures() {}

    public static String describe(Throwable failure) {
        String message = failure.getMessage();
        String kind = failure.getClass().getSimpleName();
        return message == null || message.isBlank() ? kind : message + " (" + kind + ")";
    }
}
