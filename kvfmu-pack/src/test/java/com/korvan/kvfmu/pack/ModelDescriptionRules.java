package com.korvan.kvfmu.pack;

import java.util.ArrayList;
import java.util.HashMap;
import java.util.HashSet;
import java.util.List;
import java.util.Map;
import java.util.Set;
import java.util.function.Predicate;
import org.w3c.dom.Element;
import org.w3c.dom.Node;

/**
 * The rules of FMI 2.0 that a model description must keep, checked on its DOM: element
 * order and required attributes of the schema, the allowed combinations of causality,
 * variability and initial, start values where required and nowhere else, unique names and
 * value references, declared units, and a model structure whose indices are valid, with
 * every output once under Outputs and InitialUnknowns complete. Outputs may depend on inputs
 * only; initial unknowns also on what is exact at the start (parameters). Answers what it
 * finds wrong.
 */
final class ModelDescriptionRules {
    private static final List<String> ROOT_ORDER = List.of(
        "ModelExchange|CoSimulation", "UnitDefinitions", "TypeDefinitions", "LogCategories",
        "DefaultExperiment", "VendorAnnotations", "ModelVariables", "ModelStructure");
    private static final List<String> STRUCTURE_ORDER =
        List.of("Outputs", "Derivatives", "InitialUnknowns");
    private static final Set<String> CAUSALITIES = Set.of(
        "parameter", "calculatedParameter", "input", "output", "local", "independent");
    private static final Set<String> VARIABILITIES =
        Set.of("constant", "fixed", "tunable", "discrete", "continuous");
    private static final Set<String> TYPES = Set.of("Real", "Integer", "Boolean", "String", "Enumeration");

    private record Variable(int index, String name, String causality, String variability,
                            String initial, Element type) {}

    private final List<String> problems = new ArrayList<>();
    private final List<Variable> variables = new ArrayList<>();
    private final Set<String> units = new HashSet<>();

    private ModelDescriptionRules() {}

    static List<String> check(Element root) {
        ModelDescriptionRules rules = new ModelDescriptionRules();
        rules.root(root);
        return rules.problems;
    }

    private void root(Element root) {
        expect(root.getTagName().equals("fmiModelDescription"), "root is " + root.getTagName());
        expect("2.0".equals(root.getAttribute("fmiVersion")), "fmiVersion is not 2.0");
        expect(!root.getAttribute("modelName").isEmpty(), "no modelName");
        expect(!root.getAttribute("guid").isEmpty(), "no guid");
        String naming = root.getAttribute("variableNamingConvention");
        expect(naming.isEmpty() || naming.equals("flat") || naming.equals("structured"),
               "variableNamingConvention " + naming);
        order(root, ROOT_ORDER);
        boolean interfaceType = false;
        for (Element child : children(root)) {
            switch (child.getTagName()) {
                case "CoSimulation", "ModelExchange" -> {
                    interfaceType = true;
                    expect(!child.getAttribute("modelIdentifier").isEmpty(),
                           child.getTagName() + " without modelIdentifier");
                }
                case "UnitDefinitions" -> unitDefinitions(child);
                case "LogCategories" -> logCategories(child);
                case "DefaultExperiment" -> defaultExperiment(child);
                default -> { }
            }
        }
        expect(interfaceType, "neither CoSimulation nor ModelExchange");
        Element modelVariables = only(root, "ModelVariables");
        Element modelStructure = only(root, "ModelStructure");
        if (modelVariables != null) modelVariables(modelVariables);
        if (modelStructure != null) modelStructure(modelStructure);
    }

    private void unitDefinitions(Element definitions) {
        List<Element> list = children(definitions);
        expect(!list.isEmpty(), "UnitDefinitions without a Unit");
        for (Element unit : list) {
            expect(unit.getTagName().equals("Unit"), "UnitDefinitions holds " + unit.getTagName());
            String name = unit.getAttribute("name");
            expect(!name.isEmpty(), "a Unit without a name");
            expect(units.add(name), "unit " + name + " defined twice");
        }
    }

    private void logCategories(Element categories) {
        Set<String> names = new HashSet<>();
        List<Element> list = children(categories);
        expect(!list.isEmpty(), "LogCategories without a Category");
        for (Element category : list) {
            expect(category.getTagName().equals("Category"), "LogCategories holds " + category.getTagName());
            String name = category.getAttribute("name");
            expect(!name.isEmpty() && names.add(name), "category name empty or twice: " + name);
        }
    }

    private void defaultExperiment(Element experiment) {
        for (String attribute : List.of("startTime", "stopTime", "tolerance", "stepSize")) {
            if (experiment.hasAttribute(attribute)) {
                isDouble("DefaultExperiment " + attribute, experiment.getAttribute(attribute));
            }
        }
    }

    private void modelVariables(Element modelVariables) {
        Set<String> names = new HashSet<>();
        Map<String, Set<Long>> references = new HashMap<>();
        for (Element scalar : children(modelVariables)) {
            int index = variables.size() + 1;
            String where = "variable " + index + " (" + scalar.getAttribute("name") + ")";
            expect(scalar.getTagName().equals("ScalarVariable"), "ModelVariables holds " + scalar.getTagName());
            expect(!scalar.getAttribute("name").isEmpty(), where + ": no name");
            expect(names.add(scalar.getAttribute("name")), where + ": name used twice");
            String causality = valueOr(scalar, "causality", "local");
            String variability = valueOr(scalar, "variability", "continuous");
            expect(CAUSALITIES.contains(causality), where + ": causality " + causality);
            expect(VARIABILITIES.contains(variability), where + ": variability " + variability);
            List<Element> types = children(scalar).stream()
                .filter(e -> TYPES.contains(e.getTagName())).toList();
            expect(types.size() == 1, where + ": needs exactly one type element");
            Element type = types.isEmpty() ? null : types.get(0);
            String reference = scalar.getAttribute("valueReference");
            if (!reference.matches("\\d+") || Long.parseLong(reference) > 0xFFFFFFFFL) {
                problems.add(where + ": valueReference '" + reference + "' is not an unsigned int");
            } else if (type != null) {
                expect(references.computeIfAbsent(type.getTagName(), t -> new HashSet<>())
                           .add(Long.parseLong(reference)),
                       where + ": valueReference " + reference + " used twice");
            }
            String initial = scalar.getAttribute("initial");
            Variable variable = new Variable(index, scalar.getAttribute("name"), causality,
                                             variability, initial, type);
            combination(where, variable);
            variables.add(variable);
        }
    }

    // The table of allowed causality/variability pairs and the initial values each allows;
    // the first initial listed is the default when the attribute is absent.
    private void combination(String where, Variable v) {
        List<String> allowed = allowedInitials(v.causality(), v.variability());
        if (allowed == null) {
            problems.add(where + ": causality " + v.causality() + " with variability "
                         + v.variability() + " is not allowed");
            return;
        }
        String initial = v.initial().isEmpty() ? (allowed.isEmpty() ? "" : allowed.get(0)) : v.initial();
        if (!v.initial().isEmpty()) {
            expect(allowed.contains(v.initial()), where + ": initial " + v.initial()
                   + " not allowed for " + v.causality() + "/" + v.variability());
        }
        if (v.type() == null) return;
        expect(v.type().getTagName().equals("Real") || !v.variability().equals("continuous"),
               where + ": only Real variables can be continuous");
        boolean needsStart = initial.equals("exact") || initial.equals("approx")
            || v.causality().equals("input") || v.causality().equals("parameter")
            || v.variability().equals("constant");
        boolean hasStart = v.type().hasAttribute("start");
        expect(hasStart == needsStart, where + (needsStart ? ": start value missing"
                                                : ": start value not allowed (initial " + initial + ")"));
        if (hasStart && v.type().getTagName().equals("Real")) {
            isDouble(where + " start", v.type().getAttribute("start"));
        }
        String unit = v.type().getAttribute("unit");
        if (!unit.isEmpty()) expect(units.contains(unit), where + ": unit " + unit + " not declared");
    }

    private static List<String> allowedInitials(String causality, String variability) {
        switch (variability) {
            case "constant":
                return causality.equals("output") || causality.equals("local") ? List.of("exact") : null;
            case "fixed", "tunable":
                return switch (causality) {
                    case "parameter" -> List.of("exact");
                    case "calculatedParameter", "local" -> List.of("calculated", "approx");
                    default -> null;
                };
            default:  // discrete, continuous
                return switch (causality) {
                    case "input" -> List.of();
                    case "output", "local" -> List.of("calculated", "exact", "approx");
                    case "independent" -> variability.equals("continuous") ? List.of() : null;
                    default -> null;
                };
        }
    }

    private void modelStructure(Element structure) {
        order(structure, STRUCTURE_ORDER);
        List<Integer> outputs = indicesWhere(v -> v.causality().equals("output"));
        Element outputList = optional(structure, "Outputs");
        List<Integer> listed = unknowns(outputList, "Outputs");
        expect(listed.equals(outputs), "Outputs lists " + listed + ", the outputs are " + outputs);

        // Outputs, calculated parameters and (for model exchange) states with initial
        // approx or calculated.
        List<Integer> required = indicesWhere(v -> {
            String initial = v.initial().isEmpty() ? defaultInitial(v) : v.initial();
            return (v.causality().equals("output") && !initial.equals("exact"))
                   || v.causality().equals("calculatedParameter");
        });
        Element initialList = optional(structure, "InitialUnknowns");
        List<Integer> initialUnknowns = unknowns(initialList, "InitialUnknowns");
        expect(initialUnknowns.equals(required),
               "InitialUnknowns lists " + initialUnknowns + ", required are " + required);
    }

    private String defaultInitial(Variable v) {
        List<String> allowed = allowedInitials(v.causality(), v.variability());
        return allowed == null || allowed.isEmpty() ? "" : allowed.get(0);
    }

    // The indices of a list of Unknown elements, each checked: valid, ascending, and with
    // valid, ascending dependencies on knowns.
    private List<Integer> unknowns(Element list, String listName) {
        List<Integer> indices = new ArrayList<>();
        if (list == null) return indices;
        for (Element unknown : children(list)) {
            expect(unknown.getTagName().equals("Unknown"), listName + " holds " + unknown.getTagName());
            Integer index = index(listName + " index", unknown.getAttribute("index"));
            if (index == null) continue;
            expect(indices.isEmpty() || indices.get(indices.size() - 1) < index,
                   listName + ": index " + index + " out of order or twice");
            indices.add(index);
            if (!unknown.hasAttribute("dependencies")) continue;  // depends on all knowns
            String text = unknown.getAttribute("dependencies").strip();
            int previous = 0;
            int count = 0;
            for (String word : text.isEmpty() ? new String[0] : text.split("\\s+")) {
                Integer dependency = index(listName + " " + index + " dependency", word);
                if (dependency == null) continue;
                count++;
                expect(dependency > previous, listName + " " + index + ": dependencies not ascending");
                previous = dependency;
                Variable known = variables.get(dependency - 1);
                String knownInitial = known.initial().isEmpty() ? defaultInitial(known) : known.initial();
                boolean isKnown = known.causality().equals("input")
                    || known.causality().equals("independent")
                    || (listName.equals("InitialUnknowns") && knownInitial.equals("exact"));
                expect(isKnown, listName + " " + index + ": depends on " + dependency
                       + " (" + known.name() + "), which is not a known");
            }
            if (unknown.hasAttribute("dependenciesKind")) {
                String kinds = unknown.getAttribute("dependenciesKind").strip();
                expect((kinds.isEmpty() ? 0 : kinds.split("\\s+").length) == count,
                       listName + " " + index + ": dependenciesKind does not match dependencies");
            }
        }
        return indices;
    }

    private Integer index(String what, String text) {
        if (text.matches("\\d+")) {
            int index = Integer.parseInt(text);
            if (index >= 1 && index <= variables.size()) return index;
        }
        problems.add(what + " '" + text + "' is not an index of ModelVariables (1.." + variables.size() + ")");
        return null;
    }

    private List<Integer> indicesWhere(Predicate<Variable> test) {
        return variables.stream().filter(test).map(Variable::index).toList();
    }

    // Children in the schema's order; "A|B" is one slot that either may fill, repeatedly.
    private void order(Element parent, List<String> slots) {
        int last = -1;
        Set<String> seen = new HashSet<>();
        for (Element child : children(parent)) {
            String tag = child.getTagName();
            int slot = -1;
            for (int i = 0; i < slots.size(); i++) {
                if (List.of(slots.get(i).split("\\|")).contains(tag)) slot = i;
            }
            if (slot < 0) {
                problems.add(parent.getTagName() + " holds an unknown element " + tag);
                continue;
            }
            expect(slot >= last, tag + " comes after an element it must precede");
            expect(seen.add(tag), parent.getTagName() + " holds " + tag + " twice");
            last = slot;
        }
    }

    private Element only(Element parent, String tag) {
        Element element = optional(parent, tag);
        expect(element != null, "no " + tag);
        return element;
    }

    private static Element optional(Element parent, String tag) {
        return children(parent).stream().filter(e -> e.getTagName().equals(tag)).findFirst().orElse(null);
    }

    static List<Element> children(Element parent) {
        List<Element> list = new ArrayList<>();
        for (Node node = parent.getFirstChild(); node != null; node = node.getNextSibling()) {
            if (node instanceof Element element) list.add(element);
        }
        return list;
    }

    private void isDouble(String what, String text) {
        // xs:double: a decimal with optional exponent, or INF, -INF, NaN.
        expect(text.matches("[+-]?(\\d+\\.?\\d*|\\.\\d+)([eE][+-]?\\d+)?|-?INF|NaN"),
               what + " '" + text + "' is not an xs:double");
    }

    private static String valueOr(Element element, String attribute, String fallback) {
        String value = element.getAttribute(attribute);
        return value.isEmpty() ? fallback : value;
    }

    private void expect(boolean condition, String problem) {
        if (!condition) problems.add(problem);
    }
}
