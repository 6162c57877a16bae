package com.korvan.kvfmu.pack;

import java.math.BigDecimal;
import java.math.MathContext;
import java.nio.charset.StandardCharsets;
import java.util.List;

/**
 * Writes resources/provider.conf, what the FMU's VM provider needs: one "key value" setting a
 * line (guid, facade-jar, vm-option, start), in UTF-8. A '#' at the start of a line or after a
 * blank starts a comment there, so no value may hold one after a blank.
 */
final class ProviderSettingsWriter {
    static final String PATH = "resources/provider.conf";

    private ProviderSettingsWriter() {}

    static byte[] write(String guid, List<String> facadeJars, List<String> vmOptions,
                        List<StartValue> startValues, String generationTool) {
        StringBuilder text = new StringBuilder();
        text.append("# Settings of the FMU's VM provider, written by ").append(generationTool).append('\n');
        text.append("guid ").append(guid).append('\n');
        for (String jar : facadeJars) text.append("facade-jar ").append(jar).append('\n');
        for (String option : vmOptions) text.append("vm-option ").append(option).append('\n');
        for (StartValue start : startValues) {
            text.append("start ").append(Integer.toUnsignedString(start.valueReference())).append(' ')
                .append(shortestDecimal(start.start())).append('\n');
        }
        return text.toString().getBytes(StandardCharsets.UTF_8);
    }

    /** Whether the provider would read part of the value as a comment. */
    static boolean startsComment(String value) {
        return value.matches("(?s).*[ \t]#.*");
    }

    /** The shortest decimal text that reads back as exactly the same double. */
    static String shortestDecimal(double value) {
        if (!Double.isFinite(value)) throw new IllegalArgumentException("not finite: " + value);
        if (value == 0) return (1 / value < 0) ? "-0" : "0";
        BigDecimal exact = new BigDecimal(value);
        for (int digits = 1; digits <= 17; digits++) {
            BigDecimal rounded = exact.round(new MathContext(digits));
            if (rounded.doubleValue() == value) return text(rounded.stripTrailingZeros());
        }
        return text(exact.round(MathContext.DECIMAL64));
    }

    // Plain digits for everyday magnitudes, an exponent for the others ("1E-7", "2.5E+20").
    private static String text(BigDecimal number) {
        int exponent = number.precision() - number.scale() - 1;
        return exponent >= -5 && exponent < 16 ? number.toPlainString() : number.toString();
    }
}
