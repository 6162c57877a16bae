package com.korvan.kvfmu.pack;

import java.nio.charset.StandardCharsets;
import java.util.List;
import java.util.Map;

/**
 * Writes resources/model.properties, the descriptor from which the server makes the model:
 * java.util.Properties syntax in UTF-8, keys in a fixed order and no date line, so that the
 * same model packs to the same bytes.
 */
final class DescriptorWriter {
    private DescriptorWriter() {}

    static byte[] write(String modelClass, List<String> modelJars, int outputs, int inputs,
                        Map<String, Double> parameters, String generationTool) {
        StringBuilder text = new StringBuilder();
        text.append("# Model descriptor written by ").append(generationTool).append('\n');
        line(text, "model.class", modelClass);
        if (!modelJars.isEmpty()) line(text, "model.jars", String.join(",", modelJars));
        line(text, "model.outputs", Integer.toString(outputs));
        line(text, "model.inputs", Integer.toString(inputs));
        parameters.forEach((name, value) ->
            line(text, "parameter." + name, Text.formatDecimal(value)));
        return text.toString().getBytes(StandardCharsets.UTF_8);
    }

    private static void line(StringBuilder text, String key, String value) {
        text.append(escape(key, true)).append('=').append(escape(value, false)).append('\n');
    }

    // The escapes java.util.Properties.load undoes; other characters stay as UTF-8.
    static String escape(String text, boolean key) {
        StringBuilder out = new StringBuilder();
        for (int i = 0; i < text.length(); i++) {
            char c = text.charAt(i);
            switch (c) {
                case '\\' -> out.append("\\\\");
                case '\t' -> out.append("\\t");
                case '\n' -> out.append("\\n");
                case '\r' -> out.append("\\r");
                case '\f' -> out.append("\\f");
                case ' ' -> out.append(key || i == 0 ? "\\ " : " ");
                case '=', ':', '#', '!' -> out.append(key ? "\\" + c : String.valueOf(c));
                default -> out.append(c);
            }
        }
        return out.toString();
    }
}
