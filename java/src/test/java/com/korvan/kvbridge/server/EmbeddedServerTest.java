package com.korvan.kvbridge.server;

import static org.junit.jupiter.api.Assertions.assertArrayEquals;
import static org.junit.jupiter.api.Assertions.assertDoesNotThrow;
import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertSame;
import static org.junit.jupiter.api.Assertions.assertThrows;
import static org.junit.jupiter.api.Assertions.assertTrue;

import com.korvan.kvbridge.testmodels.Resources;
import java.nio.file.Path;
import java.util.ArrayList;
import java.util.List;
import java.util.concurrent.Callable;
import java.util.concurrent.ExecutorService;
import java.util.concurrent.Executors;
import java.util.concurrent.Future;
import org.junit.jupiter.api.Test;
import org.junit.jupiter.api.io.TempDir;
import org.junit.jupiter.params.ParameterizedTest;
import org.junit.jupiter.params.provider.CsvSource;

class EmbeddedServerTest {
    @TempDir Path temp;
    private final EmbeddedServer server = new EmbeddedServer();

    private String refusal(ServerAction action) {
        return assertThrows(SimulationException.class, action::run).getMessage();
    }

    private interface ServerAction {
        void run() throws SimulationException;
    }

    private void ready(String name) throws SimulationException {
        server.instantiate(name, Resources.idle(temp, name));
        server.setupExperiment(name, 0.0, true, 10.0);
        server.initialize(name);
    }

    @Test
    void theVmHasOneServer() {
        assertSame(EmbeddedServer.get(), EmbeddedServer.get());
    }

    @Test
    void countsFollowTheLibrarysLayout() throws SimulationException {
        server.instantiate("a", Resources.idle(temp, "a"));
        assertEquals("2", server.property("a", "number_of_outputs"));
        assertEquals("1", server.property("a", "number_of_inputs"));
        assertEquals("5", server.property("a", "number_of_reals"));
        assertTrue(refusal(() -> server.property("a", "number_of_states"))
                .contains("has no property number_of_states"));
    }

    @Test
    void initialOutputsUseTheInputsSetBeforeInitialization() throws SimulationException {
        server.instantiate("a", Resources.idle(temp, "a"));
        assertArrayEquals(new double[] {0, 0}, server.outputs("a"));
        server.setupExperiment("a", 2.0, false, 0.0);
        server.setReal("a", 4, 7.0);  // the input block begins at 2 outputs
        server.initialize("a");
        assertArrayEquals(new double[] {7.0, 2.0}, server.outputs("a"));
    }

    @Test
    void theStepsInputsAreAuthoritative() throws SimulationException {
        ready("a");
        server.setReal("a", 4, 7.0);
        server.step("a", 0.0, 0.5, new double[] {3.0});
        assertArrayEquals(new double[] {3.0, 0.5}, server.outputs("a"));
    }

    @Test
    void onlyInputsAndParametersCanBeSet() throws SimulationException {
        server.instantiate("a", Resources.idle(temp, "a"));
        assertTrue(refusal(() -> server.setReal("a", 0, 1.0))
                .contains("value reference 0 is not an input or a parameter; the inputs are"
                        + " value reference 4 and the parameters none"));
        assertTrue(refusal(() -> server.setReal("a", -1, 1.0))
                .contains("value reference 4294967295 is not an input"));
    }

    @Test
    void aLiveNameIsRefusedAndFreeAgainAfterFree() throws SimulationException {
        server.instantiate("a", Resources.idle(temp, "a"));
        assertTrue(refusal(() -> server.instantiate("a", Resources.idle(temp, "b")))
                .startsWith("An instance named a already exists"));
        server.free("a");
        server.free("a");  // harmless
        assertDoesNotThrow(() -> server.instantiate("a", Resources.idle(temp, "b")));
    }

    @Test
    void unknownInstancesAreNamed() {
        String expected = "No instance named ghost on the simulation server";
        assertTrue(refusal(() -> server.step("ghost", 0, 1, new double[1])).startsWith(expected));
        assertTrue(refusal(() -> server.outputs("ghost")).startsWith(expected));
        assertTrue(refusal(() -> server.terminate("ghost")).startsWith(expected));
        assertTrue(refusal(() -> server.instantiate("", Resources.idle(temp, "x")))
                .contains("needs a name"));
    }

    @Test
    void callsOutOfOrderAreRefused() throws SimulationException {
        server.instantiate("a", Resources.idle(temp, "a"));
        assertTrue(refusal(() -> server.initialize("a"))
                .contains("before its experiment is set up: call fmi2SetupExperiment first"));
        server.setupExperiment("a", 0.0, false, 0.0);
        assertTrue(refusal(() -> server.step("a", 0.0, 0.1, new double[1]))
                .contains("cannot step before its model is initialized"));
        server.initialize("a");
        server.terminate("a");
        assertTrue(refusal(() -> server.step("a", 0.0, 0.1, new double[1]))
                .contains("has ended its run"));
        // A reset instance is set up again and starts a new run.
        server.setupExperiment("a", 1.0, false, 0.0);
        server.initialize("a");
        server.step("a", 1.0, 0.1, new double[] {1});
    }

    @Test
    void theExperimentsTimesAreChecked() throws SimulationException {
        server.instantiate("a", Resources.idle(temp, "a"));
        assertTrue(refusal(() -> server.setupExperiment("a", Double.NaN, false, 0))
                .contains("start time NaN is not a finite number"));
        assertTrue(refusal(() -> server.setupExperiment("a", 1.0, true, 1.0))
                .contains("stop time 1.0 must be a finite time after the start time 1.0"));
        server.setupExperiment("a", 0.0, true, 1.0);
        server.initialize("a");
        server.step("a", 0.0, 0.7, new double[1]);
        assertTrue(refusal(() -> server.step("a", 0.7, 0.4, new double[1]))
                .contains("goes beyond the stop time 1.0"));
        server.step("a", 0.7, 0.3, new double[1]);
    }

    @Test
    void stepsMustFollowOneAnotherWithVariableSizes() throws SimulationException {
        ready("a");
        double t = 0.0;
        for (double h : new double[] {0.1, 0.25, 0.001, 1.0, 0.3}) {
            server.step("a", t, h, new double[] {h});
            t += h;
        }
        assertArrayEquals(new double[] {0.3, t}, server.outputs("a"));
        double end = t;
        assertTrue(refusal(() -> server.step("a", end + 0.1, 0.1, new double[1]))
                .contains("the step starts at t = " + (end + 0.1) + " but the last step ended"
                        + " at t = " + end));
        assertTrue(refusal(() -> server.step("a", end - 0.1, 0.1, new double[1]))
                .contains("without gap or overlap"));
        assertTrue(refusal(() -> server.step("a", 0.5, 0.1, new double[1]))
                .contains("the step starts at t = 0.5"));
    }

    @Test
    void theFirstStepStartsAtTheStartTime() throws SimulationException {
        server.instantiate("a", Resources.idle(temp, "a"));
        server.setupExperiment("a", 5.0, false, 0.0);
        server.initialize("a");
        assertTrue(refusal(() -> server.step("a", 0.0, 0.1, new double[1]))
                .contains("but the run starts at t = 5.0"));
    }

    @Test
    void aHostCountingStepsInFloatingPointKeepsGoing() throws SimulationException {
        // t = n h rounds differently from the server's t + h; both must be accepted.
        ready("a");
        double h = 0.1;
        for (int n = 0; n < 99; n++) server.step("a", n * h, h, new double[1]);
        server.free("a");
        ready("a");
        double t = 0;
        for (int n = 0; n < 99; n++) {
            server.step("a", t, h, new double[1]);
            t += h;
        }
    }

    @Test
    void aMillionStepsAddedUpByTheHostEndAtTheStopTime() throws SimulationException {
        // 1e6 additions of 1e-4 s miss 100 s by about 2e-9 s: the last step is not refused.
        server.instantiate("long", Resources.idle(temp, "long"));
        server.setupExperiment("long", 0.0, true, 100.0);
        server.initialize("long");
        double t = 0;
        double[] input = new double[1];
        for (int n = 0; n < 1_000_000; n++) {
            server.step("long", t, 1e-4, input);
            t += 1e-4;
        }
        assertTrue(t != 100.0 && Math.abs(t - 100.0) < 1e-8, "t = " + t);
        assertEquals(t, server.outputs("long")[1]);
    }

    @ParameterizedTest(name = "stop {0}, step from {1} over {2}: {3}")
    @CsvSource({
        "100.0, 99.9, 0.1000000020, accepted",  // a host's rounding, far below a step
        "100.0, 99.9, 0.100001,     refused",   // a step past the stop time
        "1.0,   0.9,  0.10000002,   accepted",  // a millionth of the step
        "1.0,   0.9,  0.1000002,    refused",
        "1e-3,  0.0,  1.0000000001e-3, accepted",
        "1e-3,  0.0,  1.00001e-3,   refused",
    })
    void theStopTimeAllowsForRoundingOnly(double stop, double from, double step, String outcome)
            throws SimulationException {
        server.instantiate("a", Resources.idle(temp, "a"));
        server.setupExperiment("a", from, true, stop);
        server.initialize("a");
        if (outcome.equals("accepted")) {
            server.step("a", from, step, new double[1]);
        } else {
            assertTrue(refusal(() -> server.step("a", from, step, new double[1]))
                    .contains("goes beyond the stop time " + stop));
        }
    }

    @Test
    void badStepsAndInputsAreRefused() throws SimulationException {
        ready("a");
        assertTrue(refusal(() -> server.step("a", 0, 0.1, new double[2]))
                .contains("the step brought 2 input values, the model has 1 inputs"));
        assertTrue(refusal(() -> server.step("a", 0, 0.1, null))
                .contains("the step brought no input values"));
        assertTrue(refusal(() -> server.step("a", 0, 0.1, new double[] {Double.NaN}))
                .contains("input u is NaN at t = 0.0; inputs must be finite numbers"));
        assertTrue(refusal(() -> server.step("a", 0, Double.POSITIVE_INFINITY, new double[1]))
                .contains("a positive step size"));
    }

    @Test
    void modelFailuresBecomeTextsWithTheModelsMessage() throws SimulationException {
        server.instantiate("init", Resources.faulty(temp, "init", 1));
        server.setupExperiment("init", 0, false, 0);
        assertEquals("Model Faulty failed to initialize at t = 0.0: the valve table is empty"
                + " (IllegalStateException)", refusal(() -> server.initialize("init")));

        server.instantiate("step", Resources.faulty(temp, "step", 2));
        server.setupExperiment("step", 0, false, 0);
        server.initialize("step");
        assertEquals("Model Faulty failed in the step from t = 0.0 over 0.5 s: division by zero"
                + " in the valve law (ArithmeticException)",
                refusal(() -> server.step("step", 0, 0.5, new double[1])));

        server.instantiate("nan", Resources.faulty(temp, "nan", 3));
        server.setupExperiment("nan", 0, false, 0);
        server.initialize("nan");
        assertEquals("Model Faulty produced NaN for output y in the step from t = 0.0 over 0.5 s:"
                + " check its parameters and inputs",
                refusal(() -> server.step("nan", 0, 0.5, new double[1])));
    }

    @Test
    void theDescriptorMustMatchTheModel() {
        String lag = "model.class=com.korvan.kvbridge.models.FirstOrderLag";
        String counts = refusal(() -> server.instantiate("a", Resources.uri(Resources.folder(temp,
                "counts", lag, "model.outputs=2", "model.inputs=1"))));
        assertTrue(counts.startsWith("Model FirstOrderLag has 1 outputs and 1 inputs, but"
                + " model.properties declares 2 and 1"), counts);

        String parameter = refusal(() -> server.instantiate("a", Resources.uri(Resources.folder(
                temp, "param", lag, "model.outputs=1", "model.inputs=1", "parameter.k=2"))));
        assertEquals("model.properties sets unknown parameter k of model FirstOrderLag, whose"
                + " parameters are K, T, y0, internalStepSize, relativeTolerance,"
                + " absoluteTolerance", parameter);
    }

    @Test
    void theModelClassMustBeFoundAndUsable() {
        String[][] cases = {
            {"com.example.Missing", "Model class com.example.Missing not found in kvbridge.jar:"
                    + " check model.class and model.jars in model.properties"},
            {"java.lang.String", "Class java.lang.String is not a model"},
            {"com.korvan.kvbridge.model.ContinuousModel", "is abstract"},
        };
        for (String[] c : cases) {
            String message = refusal(() -> server.instantiate("a", Resources.uri(
                    Resources.folder(temp, "c", "model.class=" + c[0], "model.outputs=1",
                            "model.inputs=1"))));
            assertTrue(message.contains(c[1]), message);
        }
        String jar = refusal(() -> server.instantiate("a", Resources.uri(Resources.folder(temp,
                "j", "model.class=a.B", "model.jars=model.jar", "model.outputs=1",
                "model.inputs=1"))));
        assertTrue(jar.startsWith("The model jar model.jar listed in model.jars is not in the"
                + " resource folder"), jar);
        String outside = refusal(() -> server.instantiate("a", Resources.uri(Resources.folder(
                temp, "o", "model.class=a.B", "model.jars=../j/model.properties",
                "model.outputs=1", "model.inputs=1"))));
        assertTrue(outside.contains("lies outside the resource folder"), outside);
    }

    @Test
    void instancesRunOnDifferentThreadsAtOnce() throws Exception {
        ExecutorService pool = Executors.newFixedThreadPool(4);
        try {
            List<Future<double[]>> results = new ArrayList<>();
            for (int i = 0; i < 8; i++) {
                String name = "thread" + i;
                double input = i;
                Callable<double[]> run = () -> {
                    ready(name);
                    double t = 0;
                    for (int n = 0; n < 2000; n++, t += 0.001) {
                        server.step(name, t, 0.001, new double[] {input});
                    }
                    double[] outputs = server.outputs(name);
                    server.free(name);
                    return outputs;
                };
                results.add(pool.submit(run));
            }
            for (int i = 0; i < 8; i++) {
                double[] outputs = results.get(i).get();
                assertEquals(i, outputs[0]);
                assertEquals(2.0, outputs[1], 1e-9);
            }
        } finally {
            pool.shutdownNow();
        }
    }
}
