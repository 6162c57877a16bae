package com.korvan.kvbridge;

import java.lang.ref.WeakReference;
import java.util.ArrayList;
import java.util.Arrays;
import java.util.HashMap;
import java.util.HashSet;
import java.util.List;
import java.util.Map;
import java.util.Set;

/**
 * The answers of the test facade KorvanSim and the log of every call made on it. Tests set
 * the answers before they drive the library and read the log afterwards; all state is
 * static, as the library may create any number of facade objects.
 */
public final class Script {
    private static final Map<String, Boolean> answers = new HashMap<>();
    private static final Map<String, String> props = new HashMap<>();
    private static final Set<String> throwing = new HashSet<>();
    private static final List<String> calls = new ArrayList<>();
    private static final List<Long> callThreads = new ArrayList<>();
    // Not cleared by reset: a facade object stays alive as long as the library holds it.
    private static final List<WeakReference<KorvanSim>> created = new ArrayList<>();
    private static String lastError = "";
    private static double[] data = null;
    private static boolean createNull = false;
    // A method that waits, once called, until the test lets it go; its own lock, since the
    // other threads' calls must go on meanwhile.
    private static final Object gate = new Object();
    private static String heldMethod = null;
    private static boolean holding = false;

    private Script() {}

    /** Default answers (true, "", null), nothing throws, empty call log. */
    public static synchronized void reset() {
        answers.clear();
        props.clear();
        throwing.clear();
        calls.clear();
        callThreads.clear();
        lastError = "";
        data = null;
        createNull = false;
    }

    /** Answer of doInitConnection, doInstantiate, doSetupExperiment, doInitializeModel or doStepModel. */
    public static synchronized void answer(String method, boolean value) {
        answers.put(method, value);
    }

    /** Answer of getProp for the key, whatever the instance name. */
    public static synchronized void prop(String key, String value) {
        props.put(key, value);
    }

    public static synchronized void lastError(String text) {
        lastError = text;
    }

    public static synchronized void data(double[] values) {
        data = values == null ? null : values.clone();
    }

    /** The method throws a RuntimeException after its call is logged. */
    public static synchronized void throwIn(String method) {
        throwing.add(method);
    }

    public static synchronized void createReturnsNull(boolean yes) {
        createNull = yes;
    }

    /** The next call of the method waits (after it is logged) until release(). */
    public static void holdIn(String method) {
        synchronized (gate) {
            heldMethod = method;
        }
    }

    /** Waits until a call is held. */
    public static void awaitHeld() throws InterruptedException {
        synchronized (gate) {
            while (!holding) gate.wait();
        }
    }

    public static void release() {
        synchronized (gate) {
            heldMethod = null;
            gate.notifyAll();
        }
    }

    /** Every facade call since the last reset, as "method(arg,arg,...)". */
    public static synchronized String[] calls() {
        return calls.toArray(new String[0]);
    }

    /** The id of the Java thread that made each call of calls(), in the same order. */
    public static synchronized long[] callThreads() {
        long[] ids = new long[callThreads.size()];
        for (int i = 0; i < ids.length; i++) ids[i] = callThreads.get(i);
        return ids;
    }

    /**
     * Facade objects made by create() that are still reachable after a full garbage
     * collection: those the library still holds, through a global or a leaked local
     * reference.
     */
    public static int liveObjects() {
        System.gc();
        synchronized (Script.class) {
            created.removeIf(ref -> ref.get() == null);
            return created.size();
        }
    }

    // What the facade asks.

    static synchronized void enter(String method, Object... args) {
        StringBuilder call = new StringBuilder(method).append('(');
        for (int i = 0; i < args.length; i++) {
            if (i > 0) call.append(',');
            call.append(args[i] instanceof double[]
                    ? Arrays.toString((double[]) args[i]) : String.valueOf(args[i]));
        }
        calls.add(call.append(')').toString());
        callThreads.add(Thread.currentThread().getId());
        if (throwing.contains(method)) throw new RuntimeException("scripted failure in " + method);
    }

    static void pauseIfHeld(String method) {
        synchronized (gate) {
            if (!method.equals(heldMethod)) return;
            holding = true;
            gate.notifyAll();
            try {
                while (heldMethod != null) gate.wait();
            } catch (InterruptedException e) {
                Thread.currentThread().interrupt();
            }
            holding = false;
        }
    }

    static synchronized boolean answerOf(String method) {
        return answers.getOrDefault(method, true);
    }

    // Fresh objects, so that only the library's references can keep them alive.

    static synchronized String propOf(String key) {
        String value = props.get(key);
        return value == null ? null : new String(value);
    }

    static synchronized String lastErrorText() {
        return lastError == null ? null : new String(lastError);
    }

    static synchronized double[] dataCopy() {
        return data == null ? null : data.clone();
    }

    static synchronized boolean createReturnsNull() {
        return createNull;
    }

    static synchronized void created(KorvanSim facade) {
        created.add(new WeakReference<>(facade));
    }
}
