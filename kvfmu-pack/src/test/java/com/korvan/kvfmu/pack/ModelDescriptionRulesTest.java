package com.korvan.kvfmu.pack;

import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertFalse;
import static org.junit.jupiter.api.Assertions.assertTrue;

import com.korvan.kvbridge.model.Declaration;
import com.korvan.kvbridge.model.Model;
import com.korvan.kvbridge.model.Parameter;
import java.nio.charset.StandardCharsets;
import java.nio.file.Path;
import java.util.ArrayList;
import java.util.List;
import java.util.Map;
import org.junit.jupiter.api.Test;
import org.junit.jupiter.api.io.TempDir;
import org.w3c.dom.Element;

/** Every FMU the packer writes keeps the FMI 2.0 rules; the rules catch what breaks them. */
class ModelDescriptionRulesTest {
    @TempDir
    Path folder;

    @Test
    void modelClassFmuKeepsTheRules() throws Exception {
        assertEquals(List.of(), ModelDescriptionRules.check(
            Packing.modelDescription(Packing.packLag(folder))));
    }

    @Test
    void modelWithoutUnitsOrParametersKeepsTheRules() throws Exception {
        Path fmu = Packing.pack(folder.resolve("clash.fmu"), "--class",
            "com.korvan.kvfmu.testmodel.CopyNameClash", "--model-jar",
            Packing.buildFile("modelJar").toString());
        assertEquals(List.of(), ModelDescriptionRules.check(Packing.modelDescription(fmu)));
    }

    @Test
    void variableListFmuKeepsTheRules() throws Exception {
        Path list = Packing.write(folder.resolve("list.txt"), """
            model Plant
            experiment 0 1 0.1
            output a - -
            output b V u2,u1
            output c V u2
            input u1 V 0
            input u2 - 1
            """);
        Path fmu = Packing.pack(folder.resolve("p.fmu"), "--variables", list.toString(),
                                "--facade-jar", Packing.buildFile("facadeJar").toString());
        assertEquals(List.of(), ModelDescriptionRules.check(Packing.modelDescription(fmu)));
    }

    /** The built-in models' FMUs, when the build made any (kvfmu.test.fmus, ':'-separated). */
    @Test
    void builtInFmusKeepTheRules() throws Exception {
        List<String> failures = new ArrayList<>();
        for (String fmu : System.getProperty("kvfmu.test.fmus", "").split(":")) {
            if (fmu.isEmpty()) continue;
            List<String> problems = ModelDescriptionRules.check(Packing.modelDescription(Path.of(fmu)));
            if (!problems.isEmpty()) failures.add(fmu + ": " + problems);
        }
        assertEquals(List.of(), failures);
    }

    /**
     * The built-in models' FMUs list each output's exact dependencies and every parameter with
     * its variability, as the model class declares them.
     */
    @Test
    void builtInFmusShowTheirModelsDependenciesAndParameters() throws Exception {
        for (String fmu : System.getProperty("kvfmu.test.fmus", "").split(":")) {
            if (fmu.isEmpty()) continue;
            Element root = Packing.modelDescription(Path.of(fmu));
            Declaration declaration = ((Model) Class.forName("com.korvan.kvbridge.models."
                + root.getAttribute("modelName")).getConstructor().newInstance()).declaration();
            ModelInterface model = ModelClassReader.toInterface(declaration, Map.of());
            List<Element> variables = ModelDescriptionRules.children(
                (Element) root.getElementsByTagName("ModelVariables").item(0));
            List<Element> outputs = ModelDescriptionRules.children(
                (Element) root.getElementsByTagName("Outputs").item(0));
            for (int i = 0; i < declaration.outputs().size(); i++) {
                List<String> named = new ArrayList<>();
                for (String index : outputs.get(i).getAttribute("dependencies").split(" ")) {
                    if (!index.isEmpty()) {
                        named.add(variables.get(Integer.parseInt(index) - 1).getAttribute("name"));
                    }
                }
                List<String> declared = new ArrayList<>(declaration.outputs().get(i).dependsOn());
                declared.sort(null);
                named.sort(null);
                assertEquals(declared, named, fmu + " output " + i);
            }
            for (int p = 0; p < declaration.parameters().size(); p++) {
                Parameter parameter = declaration.parameters().get(p);
                Element variable = variables.get(model.parameterReference(p));
                assertEquals(parameter.name(), variable.getAttribute("name"), fmu);
                assertEquals(parameter.tunable() ? "tunable" : "fixed",
                             variable.getAttribute("variability"), fmu + " " + parameter.name());
            }
        }
    }

    // The checker itself: each edit of a valid description breaks one rule it must find.
    @Test
    void rulesFindBrokenDescriptions() throws Exception {
        byte[] valid = Packing.entry(Packing.packLag(folder), "modelDescription.xml");
        String xml = new String(valid, StandardCharsets.UTF_8);
        String[][] edits = {
            {"<Real start=\"2.0\"/>", "<Real/>", "start value missing"},
            {"<Real unit=\"m\"/>", "<Real unit=\"m\" start=\"1\"/>", "start value not allowed"},
            {"causality=\"local\" variability=\"continuous\" initial=\"calculated\"",
             "causality=\"parameter\" variability=\"continuous\" initial=\"calculated\"",
             "is not allowed"},
            {"<Unknown index=\"2\" dependencies=\"5\"/>\n    </Outputs>", "</Outputs>", "Outputs lists"},
            {"<Unknown index=\"2\" dependencies=\"5 7 8\"/>\n    </InitialUnknowns>", "</InitialUnknowns>",
             "InitialUnknowns lists"},
            {"dependencies=\"5 7 8\"", "dependencies=\"7 5 8\"", "not ascending"},
            {"dependencies=\"5\"", "dependencies=\"3\"", "which is not a known"},
            {"dependencies=\"5\"", "dependencies=\"5 7\"", "7 (T), which is not a known"},
            {"dependencies=\"5\"", "dependencies=\"9\"", "is not an index"},
            {"causality=\"parameter\" variability=\"tunable\"",
             "causality=\"parameter\" variability=\"continuous\"", "is not allowed"},
            {"causality=\"parameter\" variability=\"fixed\"",
             "causality=\"parameter\" variability=\"fixed\" initial=\"calculated\"",
             "initial calculated not allowed"},
            {"<Real unit=\"m\" start=\"0.0\"/>", "<Real unit=\"m\"/>", "(y0): start value missing"},
            {"valueReference=\"1\"", "valueReference=\"0\"", "used twice"},
            {"<Unit name=\"m\"/>", "<Unit name=\"km\"/>", "not declared"},
            {"<DefaultExperiment", "<VendorAnnotations/><DefaultExperiment", "must precede"},
        };
        for (String[] edit : edits) {
            assertTrue(xml.contains(edit[0]), edit[0]);
            Element broken = Packing.parse(
                xml.replace(edit[0], edit[1]).getBytes(StandardCharsets.UTF_8));
            List<String> problems = ModelDescriptionRules.check(broken);
            assertFalse(problems.isEmpty(), edit[1]);
            assertTrue(problems.stream().anyMatch(p -> p.contains(edit[2])),
                       edit[1] + " gave " + problems);
        }
    }
}
