package com.korvan.kvbridge;

import static org.junit.jupiter.api.Assertions.assertArrayEquals;
import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertFalse;
import static org.junit.jupiter.api.Assertions.assertNull;
import static org.junit.jupiter.api.Assertions.assertTrue;

import com.korvan.kvbridge.server.SimulationException;
import com.korvan.kvbridge.server.SimulationServer;
import com.korvan.kvbridge.testmodels.Resources;
import java.lang.reflect.Proxy;
import java.nio.file.Path;
import java.util.concurrent.atomic.AtomicReference;
import org.junit.jupiter.api.Test;
import org.junit.jupiter.api.io.TempDir;

class KorvanSimTest {
    @TempDir Path temp;

    private static KorvanSim connected() {
        KorvanSim facade = KorvanSim.create();
        assertTrue(facade.doInitConnection());
        return facade;
    }

    @Test
    void everyFacadeObjectReachesTheSameInstances() {
        KorvanSim first = connected();
        assertTrue(first.doInstantiate("shared", Resources.idle(temp, "shared")));
        KorvanSim newest = connected();  // the library makes one per instantiation
        assertEquals("5", newest.getProp("shared", "number_of_reals"));
        assertTrue(newest.doSetupExperiment("shared", 0.0, false, 0.0));
        newest.setReal("shared", 4, 2.5);
        assertTrue(newest.doInitializeModel("shared"));
        assertArrayEquals(new double[] {2.5, 0.0}, newest.getData("shared"));
        assertTrue(newest.doStepModel("shared", 0.0, 0.25, new double[] {4.0}));
        assertArrayEquals(new double[] {4.0, 0.25}, first.getData("shared"));
        newest.doTerminate("shared");
        newest.doFreeInstance("shared");
        newest.doFreeInstance("shared");
        assertNull(first.getData("shared"));
    }

    @Test
    void failuresAnswerFalseOrNullAndExplainThemselves() {
        KorvanSim facade = connected();
        assertFalse(facade.doInstantiate("x", "http://example.org/r"));
        assertTrue(facade.getLasterror().contains("is not a file: URI"));
        assertFalse(facade.doInstantiate("x", "file://" + temp.resolve("missing")));
        assertTrue(facade.getLasterror().contains("does not exist"));

        String unknown = "No instance named nobody on the simulation server: it was never"
                + " instantiated, or it has been freed";
        assertNull(facade.getProp("nobody", "number_of_reals"));
        assertEquals(unknown, facade.getLasterror());
        assertFalse(facade.doSetupExperiment("nobody", 0, false, 0));
        assertFalse(facade.doInitializeModel("nobody"));
        assertFalse(facade.doStepModel("nobody", 0, 1, new double[0]));
        assertNull(facade.getData("nobody"));
        facade.setReal("nobody", 0, 1.0);
        facade.doTerminate("nobody");
        assertEquals(unknown, facade.getLasterror());
    }

    @Test
    void aModelsExceptionBecomesFalseWithItsMessage() {
        KorvanSim facade = connected();
        assertTrue(facade.doInstantiate("faulty", Resources.faulty(temp, "faulty", 2)));
        assertTrue(facade.doSetupExperiment("faulty", 0.0, false, 0.0));
        assertTrue(facade.doInitializeModel("faulty"));
        assertFalse(facade.doStepModel("faulty", 0.0, 0.1, new double[] {1.0}));
        assertTrue(facade.getLasterror().contains("division by zero in the valve law"
                + " (ArithmeticException)"));
        facade.doFreeInstance("faulty");
    }

    @Test
    void aServerThatThrowsIsAnInternalErrorNotAJavaException() {
        SimulationServer broken = (SimulationServer) Proxy.newProxyInstance(
                getClass().getClassLoader(), new Class<?>[] {SimulationServer.class},
                (proxy, method, args) -> {
                    throw new IllegalStateException("lost its state");
                });
        KorvanSim facade = KorvanSim.connectedTo(broken);
        assertTrue(facade.doInitConnection());
        assertFalse(facade.doStepModel("a", 0, 1, new double[0]));
        assertEquals("Internal error of the simulation server: lost its state"
                + " (IllegalStateException)", facade.getLasterror());
        assertNull(facade.getProp("a", "number_of_reals"));
        facade.doFreeInstance("a");
    }

    @Test
    void aFacadeMustBeConnectedFirst() {
        KorvanSim facade = KorvanSim.create();
        assertFalse(facade.doInstantiate("a", "file:///"));
        assertEquals("Not connected to the simulation server: doInitConnection must come first",
                facade.getLasterror());
    }

    @Test
    void eachThreadSeesItsOwnLastFailure() throws Exception {
        KorvanSim facade = connected();
        assertFalse(facade.doInitializeModel("mine"));
        AtomicReference<String> other = new AtomicReference<>();
        Thread thread = new Thread(() -> {
            assertFalse(facade.doInitializeModel("theirs"));
            other.set(facade.getLasterror());
        });
        thread.start();
        thread.join();
        assertTrue(other.get().contains("named theirs"));
        assertTrue(facade.getLasterror().contains("named mine"));
    }

    @Test
    void aFreshThreadNeverGetsTheFailureOfAnotherThread() throws Exception {
        // A native host thread comes back to the VM as a new Java thread at every call: it
        // must not be handed the reason of whichever thread failed last.
        KorvanSim facade = connected();
        Thread failing = new Thread(() -> facade.doInitializeModel("detached"));
        failing.start();
        failing.join();
        AtomicReference<String> asked = new AtomicReference<>();
        Thread asking = new Thread(() -> asked.set(facade.getLasterror()));
        asking.start();
        asking.join();
        assertEquals("", asked.get());
    }

    @Test
    void everyCallClearsTheReasonOfTheCallBefore() {
        KorvanSim facade = connected();
        assertFalse(facade.doInstantiate("stale", "file://" + temp.resolve("elsewhere")));
        assertTrue(facade.getLasterror().contains("elsewhere"));
        assertTrue(facade.doInstantiate("fresh", Resources.idle(temp, "fresh")));
        assertEquals("", facade.getLasterror());
        assertEquals("", facade.getLasterror());  // reading does not clear or change it
        facade.doFreeInstance("fresh");
    }

    @Test
    void anUndeclaredCheckedExceptionIsContainedAndNotConfusedWithAnOlderReason() {
        KorvanSim facade = connected();
        assertFalse(facade.doInstantiate("stale", "file://" + temp.resolve("other-fmu")));
        assertFalse(facade.doInstantiate("sneaky", Resources.sneakyDeclaration(temp, "sneaky")));
        String reason = facade.getLasterror();
        assertFalse(reason.contains("other-fmu"), reason);
        assertTrue(reason.contains("model.ini is missing (IOException)"), reason);
    }

    @Test
    void serverRefusalsKeepTheirText() throws SimulationException {
        KorvanSim facade = KorvanSim.connectedTo((SimulationServer) Proxy.newProxyInstance(
                getClass().getClassLoader(), new Class<?>[] {SimulationServer.class},
                (proxy, method, args) -> {
                    throw new SimulationException("refused: " + method.getName());
                }));
        assertFalse(facade.doInstantiate("a", "file:///"));
        assertEquals("refused: instantiate", facade.getLasterror());
    }
}
