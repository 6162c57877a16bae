package com.korvan.kvbridge;

/**
 * The text of the last failure, per calling thread. A native host thread that the library
 * attaches for one call and detaches again comes back to the VM as a new Java thread, so the
 * failure of a thread that has since ended is also kept: a thread without a failure of its
 * own gets it (that is the same host thread asking for the reason of its failed call).
 */
final class LastFailure {
    private record Failure(Thread thread, String text) {}

    private static final ThreadLocal<String> OF_THREAD = new ThreadLocal<>();
    private static volatile Failure latest;

    private LastFailure() {}

    static void record(String text) {
        OF_THREAD.set(text);
        latest = new Failure(Thread.currentThread(), text);
    }

    static String read() {
        String own = OF_THREAD.get();
        if (own != null) return own;
        Failure last = latest;
        return last != null && !last.thread().isAlive() ? last.text() : "";
    }
}
