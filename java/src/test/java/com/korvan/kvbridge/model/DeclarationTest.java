package com.korvan.kvbridge.model;

import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertFalse;
import static org.junit.jupiter.api.Assertions.assertThrows;
import static org.junit.jupiter.api.Assertions.assertTrue;

import java.util.List;
import org.junit.jupiter.api.Test;

class DeclarationTest {
    private static final List<Input> INPUTS = List.of(new Input("a", "", "", 0),
            new Input("b", "", "", 0), new Input("c", "", "", 0));
    private static final DefaultExperiment EXPERIMENT = new DefaultExperiment(0, 1, 0.1);

    private static Declaration declare(List<Output> outputs, List<Parameter> parameters) {
        return new Declaration("M", "", outputs, INPUTS, parameters, EXPERIMENT);
    }

    @Test
    void outputsNameTheInputsTheyDependOnAndTheBooleanFormMeansAllOrNone() {
        Declaration declaration = declare(List.of(
                new Output("one", "", "", List.of("b")),
                new Output("all", "", "", true),
                new Output("none", "", "", false),
                new Output("two", "", "", List.of("c", "a"))), List.of());
        assertEquals(List.of(List.of("b"), List.of("a", "b", "c"), List.of(), List.of("c", "a")),
                declaration.outputs().stream().map(Output::dependsOn).toList());
        assertTrue(declaration.outputs().get(0).dependsOnInputs());
        assertFalse(declaration.outputs().get(2).dependsOnInputs());
    }

    @Test
    void whatNoHostCouldUseIsRefused() {
        Parameter p = new Parameter("p", "", "", 1);
        Object[][] cases = {
            {List.of(new Output("y", "", "", List.of("d"))), List.of(),
                "output y depends on d, which is not an input (the inputs are a, b, c)"},
            {List.of(new Output("y", "", "", List.of())), List.of(p, p),
                "the name p is used twice"},
            {List.of(new Output("a", "", "", List.of())), List.of(), "the name a is used twice"},
            {List.of(new Output("y", "", "", List.of())), List.of(new Parameter("b", "", "", 0)),
                "the name b is used twice"},
        };
        for (Object[] c : cases) {
            @SuppressWarnings("unchecked")
            List<Output> outputs = (List<Output>) c[0];
            @SuppressWarnings("unchecked")
            List<Parameter> parameters = (List<Parameter>) c[1];
            String message = assertThrows(IllegalArgumentException.class,
                    () -> declare(outputs, parameters)).getMessage();
            assertTrue(message.endsWith((String) c[2]), message);
        }
        assertThrows(IllegalArgumentException.class,
                () -> new Output("y", "", "", List.of("a", "a")));
    }

    @Test
    @SuppressWarnings("deprecation")
    void theEarlierParameterConstructorStillMakesAFixedParameter() {
        assertEquals(new Parameter("T", "Time constant", "s", 2.0),
                new Parameter("T", 2.0, "s", "Time constant"));
        assertFalse(new Parameter("T", "", "s", 2.0).tunable());
        assertTrue(new Parameter("T", "", "s", 2.0, true).tunable());
    }
}
