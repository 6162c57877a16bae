package com.korvan.kvbridge.server;

import static org.junit.jupiter.api.Assertions.assertArrayEquals;
import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertThrows;
import static org.junit.jupiter.api.Assertions.assertTrue;

import com.korvan.kvbridge.testmodels.FixedStepLag;
import com.korvan.kvbridge.testmodels.Resources;
import java.nio.file.Path;
import java.util.ArrayList;
import java.util.List;
import org.junit.jupiter.api.Test;
import org.junit.jupiter.api.io.TempDir;

/**
 * Inputs and parameters as a host sets them: start values, parameters before and during a
 * run, and a new run after a reset. The lag's layout: y 0, its copy 1, u 2, then the
 * parameters K 3, T 4, y0 5, internalStepSize 6, relativeTolerance 7 and absoluteTolerance 8.
 */
class RunValuesTest {
    private static final int U = 2, K = 3, T = 4, Y0 = 5;
    private static final String LAG = "model.class=com.korvan.kvbridge.models.FirstOrderLag";

    @TempDir Path temp;
    private final EmbeddedServer server = new EmbeddedServer();

    private String lag(String name, String... parameters) {
        List<String> lines = new ArrayList<>(List.of(LAG, "model.outputs=1", "model.inputs=1"));
        for (String parameter : parameters) lines.add("parameter." + parameter);
        return Resources.uri(Resources.folder(temp, name, lines.toArray(new String[0])));
    }

    private void start(String name, String uri) throws SimulationException {
        server.instantiate(name, uri);
        server.setupExperiment(name, 0.0, true, 10.0);
    }

    /** Steps of 0.01 s from {@code from} with the input u; the output after each step. */
    private List<Double> run(String name, double from, int steps, double u)
            throws SimulationException {
        List<Double> outputs = new ArrayList<>();
        for (int i = 0; i < steps; i++) {
            server.step(name, from + i * 0.01, 0.01, new double[] {u});
            outputs.add(server.outputs(name)[0]);
        }
        return outputs;
    }

    private String refusal(Action action) {
        return assertThrows(SimulationException.class, action::run).getMessage();
    }

    private interface Action {
        void run() throws SimulationException;
    }

    @Test
    void theCountsIncludeTheParameters() throws SimulationException {
        server.instantiate("lag", lag("lag"));
        assertEquals("1", server.property("lag", "number_of_outputs"));
        assertEquals("1", server.property("lag", "number_of_inputs"));
        assertEquals("9", server.property("lag", "number_of_reals"));
    }

    @Test
    void parametersSetBeforeInitializationActAsPackedValues() throws SimulationException {
        start("packed", lag("packed", "K=2", "T=0.5", "y0=0.3"));
        server.initialize("packed");
        start("set", lag("set"));
        server.setReal("set", K, 2.0);
        server.setReal("set", T, 0.5);
        server.setReal("set", Y0, 0.3);
        server.initialize("set");
        assertArrayEquals(server.outputs("packed"), server.outputs("set"));
        assertEquals(run("packed", 0, 100, 1.0), run("set", 0, 100, 1.0));
    }

    @Test
    void aTunableParameterTakesEffectFromTheNextStep() throws SimulationException {
        start("lag", lag("lag", "T=0.5"));
        server.initialize("lag");
        run("lag", 0, 50, 1.0);
        double atHalf = server.outputs("lag")[0];
        assertEquals(1 - Math.exp(-1), atHalf, 1e-10);
        server.setReal("lag", K, 3.0);
        List<Double> after = run("lag", 0.5, 50, 1.0);
        for (int i = 0; i < after.size(); i++) {
            double expected = 3 + (atHalf - 3) * Math.exp(-(i + 1) * 0.01 / 0.5);
            assertEquals(expected, after.get(i), 1e-10, "step " + i);
        }
    }

    @Test
    void aFixedParameterSetDuringARunFailsTheNextStepsUntilANewRun()
            throws SimulationException {
        start("lag", lag("lag"));
        server.initialize("lag");
        run("lag", 0, 3, 1.0);
        server.setReal("lag", Y0, 0.7);
        String expected = "Instance lag: parameter y0 (value reference 5) is fixed and was set"
                + " to 0.7 during the run; a fixed parameter can only be set before"
                + " fmi2ExitInitializationMode: to run with the new value, reset the instance"
                + " with fmi2Reset and set it again before fmi2ExitInitializationMode";
        assertEquals(expected, refusal(() -> run("lag", 0.03, 1, 1.0)));
        assertEquals(expected, refusal(() -> run("lag", 0.03, 1, 1.0)));
        // After a reset the host initializes again: the refusal is gone, the value holds.
        server.initialize("lag");
        assertArrayEquals(new double[] {0.7}, server.outputs("lag"));
        run("lag", 0, 3, 1.0);
    }

    @Test
    void aResetRunIsTheSameAsAFreshInstancesRun() throws SimulationException {
        start("fresh", lag("fresh"));
        server.initialize("fresh");
        List<Double> fresh = run("fresh", 0, 100, 0.0);

        start("reused", lag("reused"));
        server.setReal("reused", U, 5.0);
        server.setReal("reused", K, 4.0);
        server.initialize("reused");
        run("reused", 0, 100, 5.0);
        // fmi2Reset: the start values come back through setReal, then a new initialization.
        server.setReal("reused", U, 0.0);
        server.setReal("reused", K, 1.0);
        server.initialize("reused");
        assertEquals(fresh, run("reused", 0, 100, 0.0));
        assertEquals(0.0, server.outputs("reused")[0]);
    }

    @Test
    void readsBeforeTheInitializationGiveTheInitialOutputsOfTheCurrentValues()
            throws SimulationException {
        start("lag", lag("lag", "y0=0.5"));
        assertArrayEquals(new double[] {0.5}, server.outputs("lag"));
        server.setReal("lag", Y0, 0.75);
        assertArrayEquals(new double[] {0.75}, server.outputs("lag"));
        server.initialize("lag");
        assertArrayEquals(new double[] {0.75}, server.outputs("lag"));
        run("lag", 0, 10, 1.0);
        // fmi2Reset: the start values come back, the host sets up the experiment again and
        // reads in initialization mode; the last run's outputs are no initial outputs.
        server.setReal("lag", Y0, 0.5);
        server.setupExperiment("lag", 0.0, true, 10.0);
        assertArrayEquals(new double[] {0.5}, server.outputs("lag"));
        server.initialize("lag");
        assertEquals(0.5 + 0.5 * (1 - Math.exp(-0.01)), run("lag", 0, 1, 1.0).get(0), 1e-12,
                "the run starts where the read said");
    }

    @Test
    void aReadBeforeTheInitializationOfAModelThatCannotStartGivesNaNAndLeavesTheRunAlone()
            throws SimulationException {
        start("lag", lag("lag"));
        server.setReal("lag", T, -1.0);
        assertTrue(Double.isNaN(server.outputs("lag")[0]));
        server.setReal("lag", Y0, Double.POSITIVE_INFINITY);
        assertTrue(Double.isNaN(server.outputs("lag")[0]));
        assertEquals("Instance lag: parameter y0 (value reference 5) is Infinity; parameters must"
                + " be finite numbers", refusal(() -> server.initialize("lag")));
        server.setReal("lag", Y0, 0.0);
        assertEquals("Model FirstOrderLag failed to initialize at t = 0.0: Parameter T must be"
                + " greater than 0, not -1.0 (IllegalArgumentException)",
                refusal(() -> server.initialize("lag")));
        server.setReal("lag", T, 1.0);
        server.initialize("lag");
        assertArrayEquals(new double[] {0.0}, server.outputs("lag"));
        run("lag", 0, 3, 1.0);
    }

    @Test
    void aRunAfterAFailedOneStartsFromAFreshModel() throws SimulationException {
        server.instantiate("faulty", Resources.faulty(temp, "faulty", 2));
        server.setupExperiment("faulty", 0.0, false, 0.0);
        server.initialize("faulty");
        refusal(() -> server.step("faulty", 0.0, 0.1, new double[] {1.0}));
        server.setReal("faulty", 3, 0.0);  // failAt: fail nowhere
        server.initialize("faulty");
        server.step("faulty", 0.0, 0.1, new double[] {2.5});
        assertArrayEquals(new double[] {2.5}, server.outputs("faulty"));
    }

    @Test
    void parametersThatAreNotFiniteAreRefusedByName() throws SimulationException {
        start("before", lag("before"));
        server.setReal("before", T, Double.NaN);
        assertEquals("Instance before: parameter T (value reference 4) is NaN; parameters must"
                + " be finite numbers", refusal(() -> server.initialize("before")));

        start("during", lag("during"));
        server.initialize("during");
        server.setReal("during", K, Double.POSITIVE_INFINITY);
        assertEquals("Instance during: parameter K (value reference 3) was set to Infinity"
                + " during the run; parameters must be finite numbers",
                refusal(() -> run("during", 0, 1, 1.0)));
    }

    @Test
    void aTunedValueTheModelRefusesEndsTheRunWithItsReason() throws SimulationException {
        start("lag", lag("lag"));
        server.initialize("lag");
        server.setReal("lag", T, -1.0);
        assertEquals("Model FirstOrderLag failed in the step from t = 0.0 over 0.01 s: Parameter"
                + " T must be greater than 0, not -1.0 (IllegalArgumentException)",
                refusal(() -> run("lag", 0, 1, 1.0)));
        assertTrue(refusal(() -> run("lag", 0, 1, 1.0)).contains("has ended its run"));
    }

    @Test
    void theInternalStepIsTunable() throws SimulationException {
        start("lag", lag("lag"));
        server.initialize("lag");
        run("lag", 0, 1, 1.0);
        server.setReal("lag", 6, 1e-9);  // internalStepSize
        assertTrue(refusal(() -> run("lag", 0.01, 1, 1.0))
                .contains("internal steps of 1.0E-9 s"));
    }

    @Test
    void anUnstableIntegrationFailsAtOnceAndSaysWhatToLower() throws SimulationException {
        // T = 0.1 ms against fixed steps of 10 ms: RK4 multiplies the error by ~4e6 a step.
        start("stiff", Resources.uri(Resources.folder(temp, "stiff",
                "model.class=" + FixedStepLag.class.getName(), "model.outputs=1",
                "model.inputs=1", "parameter.T=1e-4", "parameter.internalStepSize=0.01")));
        server.initialize("stiff");
        String reason = null;
        double t = 0;
        for (int i = 0; i < 1000 && reason == null; i++, t += 0.01) {
            try {
                server.step("stiff", t, 0.01, new double[] {1.0});
            } catch (SimulationException e) {
                reason = e.getMessage();
            }
        }
        assertTrue(reason != null && reason.startsWith("Model FirstOrderLag failed in the step"
                + " from t = "), reason);
        assertTrue(reason.contains(": the integration left the finite range at t = "), reason);
        assertTrue(reason.contains("lower internalStepSize (now 0.01 s)"), reason);
    }

    @Test
    void aContinuousModelsNonFiniteOutputNamesItsInternalStep() throws SimulationException {
        server.instantiate("nan", Resources.uri(Resources.folder(temp, "nan",
                "model.class=" + com.korvan.kvbridge.testmodels.NanRate.class.getName(),
                "model.outputs=1", "model.inputs=0")));
        server.setupExperiment("nan", 0.0, false, 0.0);
        server.initialize("nan");
        server.step("nan", 0.0, 0.4, new double[0]);
        assertEquals("Model NanRate produced NaN for output rate in the step from t = 0.4 over"
                + " 0.5 s: check its parameters and inputs, or lower internalStepSize (now"
                + " 0.001 s) if its integration became unstable",
                refusal(() -> server.step("nan", 0.4, 0.5, new double[0])));
    }

    @Test
    void inputsStartAtTheirStartValues() throws SimulationException {
        server.instantiate("idle", Resources.idle(temp, "idle"));
        server.setupExperiment("idle", 0.0, false, 0.0);
        server.initialize("idle");
        assertEquals(1.5, server.outputs("idle")[0]);  // the input's start value
    }
}
