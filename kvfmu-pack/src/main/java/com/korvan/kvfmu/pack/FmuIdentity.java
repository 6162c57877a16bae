package com.korvan.kvfmu.pack;

import java.nio.charset.StandardCharsets;
import java.security.MessageDigest;
import java.security.NoSuchAlgorithmException;
import java.util.Arrays;
import java.util.Locale;
import java.util.Set;

/**
 * What sets one FMU apart from another in a host: its modelIdentifier, which names its
 * binaries and, in many importers, its instances, and its GUID, which a host hands back at
 * instantiation. Both follow from the FMU's content, so the same input packs to the same bytes.
 */
final class FmuIdentity {
    /** The GUID the model description is first written with; its bytes then give the GUID. */
    static final String GUID_PLACEHOLDER = "{00000000-0000-0000-0000-000000000000}";

    private static final String LIBRARY_NAME = "libkvfmu";
    private static final Set<String> WINDOWS_DEVICE_NAMES = Set.of(
        "CON", "PRN", "AUX", "NUL", "COM1", "COM2", "COM3", "COM4", "COM5", "COM6", "COM7",
        "COM8", "COM9", "LPT1", "LPT2", "LPT3", "LPT4", "LPT5", "LPT6", "LPT7", "LPT8", "LPT9");

    private FmuIdentity() {}

    /**
     * The model's name as a C identifier that is also a safe file name on every platform, and
     * never the name of the library that the provider loads beside it.
     */
    static String modelIdentifier(String modelName) {
        StringBuilder id = new StringBuilder();
        modelName.codePoints().forEach(c -> id.append(
            (c < 128 && (Character.isLetterOrDigit(c) || c == '_')) ? (char) c : '_'));
        if (id.length() > 0 && Character.isDigit(id.charAt(0))) id.insert(0, '_');
        if (id.length() == 0) id.append("model");
        String result = id.toString();
        String upper = result.toUpperCase(Locale.ROOT);
        if (upper.equals(LIBRARY_NAME.toUpperCase(Locale.ROOT))) return result + "_model";
        if (WINDOWS_DEVICE_NAMES.contains(upper)) return result + "_";
        return result;
    }

    /**
     * A name-based UUID (SHA-1, version 5) of the model description written with the
     * placeholder GUID: "{" + upper-case 8-4-4-4-12 hex digits + "}".
     */
    static String guidOf(byte[] descriptionWithPlaceholder) {
        byte[] hash;
        try {
            hash = MessageDigest.getInstance("SHA-1").digest(descriptionWithPlaceholder);
        } catch (NoSuchAlgorithmException e) {
            throw new IllegalStateException("every Java runtime has SHA-1", e);
        }
        byte[] uuid = Arrays.copyOf(hash, 16);
        uuid[6] = (byte) ((uuid[6] & 0x0f) | 0x50);  // version 5
        uuid[8] = (byte) ((uuid[8] & 0x3f) | 0x80);  // the RFC 4122 variant
        StringBuilder text = new StringBuilder("{");
        for (int i = 0; i < 16; i++) {
            if (i == 4 || i == 6 || i == 8 || i == 10) text.append('-');
            text.append(String.format(Locale.ROOT, "%02X", uuid[i] & 0xff));
        }
        return text.append('}').toString();
    }

    /** The description with its one placeholder GUID replaced by the GUID. */
    static byte[] withGuid(byte[] descriptionWithPlaceholder, String guid) {
        byte[] placeholder = GUID_PLACEHOLDER.getBytes(StandardCharsets.US_ASCII);
        byte[] replacement = guid.getBytes(StandardCharsets.US_ASCII);
        if (replacement.length != placeholder.length) {
            throw new IllegalArgumentException("not a GUID: " + guid);
        }
        int at = indexOf(descriptionWithPlaceholder, placeholder, 0);
        if (at < 0 || indexOf(descriptionWithPlaceholder, placeholder, at + 1) >= 0) {
            throw new IllegalStateException("the model description must hold the placeholder GUID once");
        }
        byte[] result = descriptionWithPlaceholder.clone();
        System.arraycopy(replacement, 0, result, at, replacement.length);
        return result;
    }

    private static int indexOf(byte[] data, byte[] part, int from) {
        outer:
        for (int i = from; i + part.length <= data.length; i++) {
            for (int k = 0; k < part.length; k++) {
                if (data[i + k] != part[k]) continue outer;
            }
            return i;
        }
        return -1;
    }
}
