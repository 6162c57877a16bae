package com.korvan.kvfmu.pack;

import com.korvan.kvbridge.model.Input;

import java.io.ByteArrayOutputStream;
import java.nio.charset.StandardCharsets;
import java.util.ArrayList;
import java.util.HashSet;
import java.util.List;
import java.util.Set;
import java.util.TreeSet;
import javax.xml.stream.XMLOutputFactory;
import javax.xml.stream.XMLStreamException;
import javax.xml.stream.XMLStreamWriter;

/**
 * Writes modelDescription.xml for the library: real variables only, laid out as the library
 * holds them (outputs, their copies as calculated locals, inputs with start values, then
 * parameters with their packed values), and a model structure whose dependencies are the
 * model's direct feedthrough.
 */
final class ModelDescriptionWriter {
    private static final String[][] CO_SIMULATION = {
        {"needsExecutionTool", "true"},
        {"canHandleVariableCommunicationStepSize", "true"},
        {"canNotUseMemoryManagementFunctions", "false"},
        {"canGetAndSetFMUstate", "false"},
        {"canSerializeFMUstate", "false"},
        {"providesDirectionalDerivative", "false"},
        {"canInterpolateInputs", "false"},
        {"canRunAsynchronuously", "false"},
        {"canBeInstantiatedOnlyOncePerProcess", "false"},
    };

    private static final String[][] LOG_CATEGORIES = {
        {"logAll", "Every message of the FMU"},
        {"logError", "Errors"},
        {"logFmiCall", "Each FMI function call the host makes"},
        {"logEvent", "Events"},
    };

    private final XMLStreamWriter xml;
    private final String modelIdentifier;
    private int depth = 0;

    private ModelDescriptionWriter(XMLStreamWriter xml, String modelIdentifier) {
        this.xml = xml;
        this.modelIdentifier = modelIdentifier;
    }

    /**
     * The model description as UTF-8 bytes, with the placeholder GUID
     * (FmuIdentity.GUID_PLACEHOLDER) that the packer replaces by the FMU's own.
     */
    static byte[] write(ModelInterface model, String generationTool, String modelIdentifier) {
        ByteArrayOutputStream bytes = new ByteArrayOutputStream();
        try {
            XMLStreamWriter xml = XMLOutputFactory.newFactory()
                .createXMLStreamWriter(bytes, StandardCharsets.UTF_8.name());
            new ModelDescriptionWriter(xml, modelIdentifier).document(model, generationTool);
            xml.close();
        } catch (XMLStreamException e) {
            throw new IllegalStateException("writing the model description failed", e);
        }
        return bytes.toByteArray();
    }

    /** The names of the output copies: the output's name and "_copy", made unique. */
    static List<String> copyNames(ModelInterface model) {
        Set<String> taken = new HashSet<>();
        model.outputs().forEach(o -> taken.add(o.name()));
        model.inputs().forEach(i -> taken.add(i.name()));
        model.parameters().forEach(p -> taken.add(p.name()));
        List<String> names = new ArrayList<>();
        for (OutputVariable output : model.outputs()) {
            String name = output.name() + "_copy";
            for (int n = 2; taken.contains(name); n++) name = output.name() + "_copy" + n;
            taken.add(name);
            names.add(name);
        }
        return names;
    }

    private void document(ModelInterface model, String generationTool) throws XMLStreamException {
        xml.writeStartDocument(StandardCharsets.UTF_8.name(), "1.0");
        open("fmiModelDescription");
        xml.writeAttribute("fmiVersion", "2.0");
        xml.writeAttribute("modelName", model.modelName());
        xml.writeAttribute("guid", FmuIdentity.GUID_PLACEHOLDER);
        if (!model.description().isEmpty()) {
            xml.writeAttribute("description", Text.oneLine(model.description()));
        }
        xml.writeAttribute("generationTool", generationTool);
        xml.writeAttribute("variableNamingConvention", "flat");

        empty("CoSimulation", new String[][] {{"modelIdentifier", modelIdentifier}});
        for (String[] attribute : CO_SIMULATION) xml.writeAttribute(attribute[0], attribute[1]);
        unitDefinitions(model);
        open("LogCategories");
        for (String[] category : LOG_CATEGORIES) {
            empty("Category", new String[][] {{"name", category[0]}, {"description", category[1]}});
        }
        close();
        empty("DefaultExperiment", new String[][] {
            {"startTime", Text.formatDecimal(model.experiment().startTime())},
            {"stopTime", Text.formatDecimal(model.experiment().stopTime())},
            {"stepSize", Text.formatDecimal(model.experiment().stepSize())},
        });
        modelVariables(model);
        modelStructure(model);
        close();
        xml.writeCharacters("\n");
        xml.writeEndDocument();
    }

    private void unitDefinitions(ModelInterface model) throws XMLStreamException {
        Set<String> units = new TreeSet<>();
        model.outputs().forEach(o -> units.add(o.unit()));
        model.inputs().forEach(i -> units.add(i.unit()));
        model.parameters().forEach(p -> units.add(p.unit()));
        units.remove("");
        if (units.isEmpty()) return;  // the element needs at least one unit
        open("UnitDefinitions");
        for (String unit : units) empty("Unit", new String[][] {{"name", unit}});
        close();
    }

    private void modelVariables(ModelInterface model) throws XMLStreamException {
        open("ModelVariables");
        List<OutputVariable> outputs = model.outputs();
        for (int i = 0; i < outputs.size(); i++) {
            OutputVariable output = outputs.get(i);
            variable(output.name(), i, output.description(), "output", "continuous",
                     output.unit(), null);
        }
        List<String> copies = copyNames(model);
        for (int i = 0; i < outputs.size(); i++) {
            OutputVariable output = outputs.get(i);
            String description = "Copy of the output " + output.name()
                + ", refreshed at the first read after each step";
            variable(copies.get(i), model.copyReference(i), description, "local", "continuous",
                     output.unit(), null);
        }
        List<Input> inputs = model.inputs();
        for (int k = 0; k < inputs.size(); k++) {
            Input input = inputs.get(k);
            variable(input.name(), model.inputReference(k), input.description(), "input",
                     "continuous", input.unit(), input.start());
        }
        List<ParameterVariable> parameters = model.parameters();
        for (int p = 0; p < parameters.size(); p++) {
            ParameterVariable parameter = parameters.get(p);
            variable(parameter.name(), model.parameterReference(p), parameter.description(),
                     "parameter", parameter.tunable() ? "tunable" : "fixed", parameter.unit(),
                     parameter.start());
        }
        close();
    }

    // Outputs and copies are continuous and calculated (no start); inputs are continuous
    // and parameters fixed or tunable, both with a start value and the default initial
    // (none for inputs, exact for parameters).
    private void variable(String name, int valueReference, String description, String causality,
                          String variability, String unit, Double start)
            throws XMLStreamException {
        xml.writeCharacters("\n" + "  ".repeat(depth));
        xml.writeComment(" Index " + (valueReference + 1) + " ");
        open("ScalarVariable");
        xml.writeAttribute("name", name);
        xml.writeAttribute("valueReference", Integer.toString(valueReference));
        if (!description.isEmpty()) xml.writeAttribute("description", Text.oneLine(description));
        xml.writeAttribute("causality", causality);
        xml.writeAttribute("variability", variability);
        if (start == null) xml.writeAttribute("initial", "calculated");
        List<String[]> real = new ArrayList<>();
        if (!unit.isEmpty()) real.add(new String[] {"unit", unit});
        if (start != null) real.add(new String[] {"start", Text.formatDecimal(start)});
        empty("Real", real.toArray(new String[0][]));
        close();
    }

    // Every output once under Outputs, depending on exactly the inputs it feeds through,
    // and, being calculated, once under InitialUnknowns, where the parameters are known too:
    // the initial outputs may depend on any of them (indices are 1-based into ModelVariables).
    private void modelStructure(ModelInterface model) throws XMLStreamException {
        open("ModelStructure");
        for (String list : new String[] {"Outputs", "InitialUnknowns"}) {
            boolean initial = list.equals("InitialUnknowns");
            open(list);
            for (int i = 0; i < model.outputs().size(); i++) {
                empty("Unknown", new String[][] {
                    {"index", Integer.toString(i + 1)},
                    {"dependencies", dependencies(model, model.outputs().get(i), initial)},
                });
            }
            close();
        }
        close();
    }

    private static String dependencies(ModelInterface model, OutputVariable output,
                                       boolean withParameters) {
        List<String> indices = new ArrayList<>();
        for (int k = 0; k < model.inputs().size(); k++) {
            if (output.dependsOn().contains(model.inputs().get(k).name())) {
                indices.add(Integer.toString(model.inputReference(k) + 1));
            }
        }
        for (int p = 0; withParameters && p < model.parameters().size(); p++) {
            indices.add(Integer.toString(model.parameterReference(p) + 1));
        }
        return String.join(" ", indices);
    }

    private void open(String element) throws XMLStreamException {
        xml.writeCharacters("\n" + "  ".repeat(depth));
        xml.writeStartElement(element);
        depth++;
    }

    private void close() throws XMLStreamException {
        depth--;
        xml.writeCharacters("\n" + "  ".repeat(depth));
        xml.writeEndElement();
    }

    private void empty(String element, String[][] attributes) throws XMLStreamException {
        xml.writeCharacters("\n" + "  ".repeat(depth));
        xml.writeEmptyElement(element);
        for (String[] attribute : attributes) xml.writeAttribute(attribute[0], attribute[1]);
    }
}
