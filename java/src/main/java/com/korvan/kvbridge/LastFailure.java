package com.korvan.kvbridge;

/**
 * The text of the last failure, per calling thread only. Every facade call but
 * {@link KorvanSim#getLasterror()} clears it first, so the text a thread reads always belongs
 * to its own latest call: never to another thread's instance, never to an older call.
 */
final class LastFailure {
    private static final ThreadLocal<String> OF_THREAD = new ThreadLocal<>();

    private LastFailure() {}

    static void record(String text) {
        OF_THREAD.set(text);
    }

    static void clear() {
        OF_THREAD.remove();
    }

    static String read() {
        String own = OF_THREAD.get();
        return own != null ? own : "";
    }
}
