package com.korvan.kvfmu.pack;

import com.korvan.kvbridge.model.DefaultExperiment;
import com.korvan.kvbridge.model.Input;

import java.io.IOException;
import java.nio.ByteBuffer;
import java.nio.charset.CharacterCodingException;
import java.nio.charset.StandardCharsets;
import java.nio.file.Files;
import java.nio.file.Path;
import java.util.ArrayList;
import java.util.Arrays;
import java.util.HashMap;
import java.util.HashSet;
import java.util.List;
import java.util.Map;
import java.util.Set;

/**
 * Reads a variable list: the interface of a model whose server and facade are the user's
 * own. UTF-8 text, one record per line, fields separated by blanks; a line whose first
 * non-blank character is '#' is a comment, blank lines are skipped:
 *
 * <pre>
 * model      NAME [DESCRIPTION...]
 * experiment START STOP STEP
 * output     NAME UNIT DEPENDS [DESCRIPTION...]
 * input      NAME UNIT START [DESCRIPTION...]
 * </pre>
 *
 * UNIT is "-" when dimensionless; DEPENDS is "-" when the output depends directly on no input,
 * or the comma-separated names of the inputs it does depend on. Outputs and inputs take
 * their value references in the order of their lines. Every fault is reported with its line
 * number, all of them at once.
 */
final class VariableListReader {
    private static final String NONE = "-";

    private final String source;
    private final List<String> problems = new ArrayList<>();
    private final Map<String, Integer> nameLines = new HashMap<>();
    private final List<OutputVariable> outputs = new ArrayList<>();
    private final List<Integer> outputLines = new ArrayList<>();
    private final List<Input> inputs = new ArrayList<>();
    private String modelName;
    private String modelDescription = "";
    private int modelLine;
    private DefaultExperiment experiment;
    private int experimentLine;
    private boolean sawOutput;
    private final Set<String> inputLineNames = new HashSet<>();

    private VariableListReader(String source) {
        this.source = source;
    }

    static ModelInterface read(Path file) throws PackException {
        String text;
        try {
            text = StandardCharsets.UTF_8.newDecoder()
                .decode(ByteBuffer.wrap(Files.readAllBytes(file))).toString();
        } catch (CharacterCodingException e) {
            throw PackException.input("variable list " + file + ": not UTF-8 text");
        } catch (IOException e) {
            throw PackException.input("variable list " + file + ": cannot be read ("
                                      + e.getMessage() + ")");
        }
        return parse(file.toString(), text);
    }

    /** Parses the text of a variable list; source names it in messages. */
    static ModelInterface parse(String source, String text) throws PackException {
        VariableListReader reader = new VariableListReader(source);
        String[] lines = text.split("\r?\n", -1);
        for (int i = 0; i < lines.length; i++) reader.line(i + 1, lines[i]);
        return reader.finish();
    }

    private void line(int number, String line) {
        String content = line.strip();
        if (content.isEmpty() || content.startsWith("#")) return;
        String[] words = content.split("\\s+");
        switch (words[0]) {
            case "model" -> model(number, content, words);
            case "experiment" -> experiment(number, words);
            case "output" -> output(number, content, words);
            case "input" -> input(number, content, words);
            default -> problem(number, "unknown record '" + words[0]
                               + "' (expected model, experiment, output or input)");
        }
    }

    private void model(int number, String content, String[] words) {
        if (modelName != null) {
            problem(number, "a second model line (the first is line " + modelLine + ")");
            return;
        }
        if (words.length < 2) {
            problem(number, "model: expected 'model NAME [DESCRIPTION]'");
            return;
        }
        modelName = words[1];
        modelLine = number;
        modelDescription = rest(content, 2);
    }

    private void experiment(int number, String[] words) {
        if (experimentLine != 0) {
            problem(number, "a second experiment line (the first is line " + experimentLine + ")");
            return;
        }
        experimentLine = number;
        if (words.length != 4) {
            problem(number, "experiment: expected 'experiment START STOP STEP'");
            return;
        }
        Double start = number(number, "start time", words[1]);
        Double stop = number(number, "stop time", words[2]);
        Double step = number(number, "step size", words[3]);
        if (start == null || stop == null || step == null) return;
        try {
            experiment = new DefaultExperiment(start, stop, step);
        } catch (IllegalArgumentException e) {
            problem(number, "experiment: need START < STOP and STEP > 0");
        }
    }

    private void output(int number, String content, String[] words) {
        if (words.length < 4) {
            problem(number, "output: expected 'output NAME UNIT DEPENDS [DESCRIPTION]'");
            return;
        }
        sawOutput = true;
        if (!newName(number, words[1])) return;
        List<String> dependsOn = words[3].equals(NONE) ? List.of()
            : Arrays.asList(words[3].split(",", -1));
        outputs.add(new OutputVariable(words[1], rest(content, 4), unit(words[2]), dependsOn));
        outputLines.add(number);
    }

    private void input(int number, String content, String[] words) {
        if (words.length < 4) {
            problem(number, "input: expected 'input NAME UNIT START [DESCRIPTION]'");
            return;
        }
        inputLineNames.add(words[1]);
        Double start = number(number, "start value of " + words[1], words[3]);
        if (!newName(number, words[1]) || start == null) return;
        inputs.add(new Input(words[1], rest(content, 4), unit(words[2]), start));
    }

    private ModelInterface finish() throws PackException {
        if (modelName == null) problems.add(source + ": no model line ('model NAME [DESCRIPTION]')");
        if (experimentLine == 0) {
            problems.add(source + ": no experiment line ('experiment START STOP STEP')");
        }
        if (!sawOutput) problems.add(source + ": no output line");
        for (int i = 0; i < outputs.size(); i++) {
            for (String input : outputs.get(i).dependsOn()) {
                if (!inputLineNames.contains(input)) {
                    problem(outputLines.get(i), "output " + outputs.get(i).name()
                            + " depends on '" + input + "', which is not an input");
                }
            }
        }
        if (!problems.isEmpty()) throw PackException.input(String.join("\n", problems));
        try {
            return new ModelInterface(modelName, modelDescription, outputs, inputs, experiment);
        } catch (IllegalArgumentException e) {
            throw PackException.input(source + ": " + e.getMessage());
        }
    }

    private boolean newName(int number, String name) {
        List<String> nameProblems = new ArrayList<>();
        Text.checkName("name", name, nameProblems);
        if (name.contains(",")) nameProblems.add("the name " + name + " holds a comma");
        nameProblems.forEach(p -> problem(number, p));
        Integer earlier = nameLines.putIfAbsent(name, number);
        if (earlier != null) problem(number, "the name " + name + " is used before, on line " + earlier);
        return nameProblems.isEmpty() && earlier == null;
    }

    private Double number(int number, String what, String text) {
        Double value = Text.parseDecimal(text);
        if (value == null) problem(number, what + ": '" + text + "' is not a finite decimal number");
        return value;
    }

    private static String unit(String word) {
        return word.equals(NONE) ? "" : word;
    }

    // The words from the given one on, with their own spacing: a description.
    private static String rest(String content, int firstWord) {
        String remaining = content;
        for (int i = 0; i < firstWord; i++) {
            remaining = remaining.strip();
            int blank = remaining.split("\\s", 2)[0].length();
            remaining = remaining.substring(blank);
        }
        return remaining.strip();
    }

    private void problem(int number, String text) {
        problems.add(source + ":" + number + ": " + text);
    }
}
