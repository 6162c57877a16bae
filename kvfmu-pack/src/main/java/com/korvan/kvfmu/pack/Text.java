package com.korvan.kvfmu.pack;

import java.util.List;
import java.util.regex.Pattern;

/** Checks and conversions of the texts and numbers that go into an FMU. */
final class Text {
    private Text() {}

    // A plain decimal number: no hexadecimal, no "Infinity", no type suffix.
    private static final Pattern DECIMAL =
        Pattern.compile("[+-]?(\\d+\\.?\\d*|\\.\\d+)([eE][+-]?\\d+)?");

    /** The number the text writes, or null when it is not a finite decimal number. */
    static Double parseDecimal(String text) {
        if (text == null || !DECIMAL.matcher(text).matches()) return null;
        double value = Double.parseDouble(text);
        return Double.isFinite(value) ? value : null;
    }

    /** The text a model description or descriptor holds for the number: exact and short. */
    static String formatDecimal(double value) {
        return Double.toString(value);
    }

    /** A name must be non-empty, without control characters or surrounding blanks. */
    static void checkName(String what, String name, List<String> problems) {
        if (name == null || name.isEmpty()) {
            problems.add(what + " is empty");
        } else if (!name.strip().equals(name)) {
            problems.add(what + " '" + name + "' begins or ends with a blank");
        } else {
            checkText(what, name, problems);
        }
    }

    /** XML cannot hold control characters; a unit or name must not carry any. */
    static void checkText(String what, String text, List<String> problems) {
        if (text.codePoints().anyMatch(Character::isISOControl)) {
            problems.add(what + " '" + text.replaceAll("\\p{Cntrl}", "?")
                         + "' holds a control character");
        }
    }

    /** Descriptions are one line: control characters become blanks. */
    static String oneLine(String text) {
        return text.replaceAll("\\p{Cntrl}+", " ").strip();
    }
}
