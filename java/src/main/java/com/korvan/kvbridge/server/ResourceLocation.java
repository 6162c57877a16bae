package com.korvan.kvbridge.server;

import java.io.ByteArrayOutputStream;
import java.nio.ByteBuffer;
import java.nio.charset.CharacterCodingException;
import java.nio.charset.CodingErrorAction;
import java.nio.charset.StandardCharsets;
import java.nio.file.Files;
import java.nio.file.InvalidPathException;
import java.nio.file.Path;

/**
 * The FMU's resources folder from the file: URI a host passes at instantiation. Hosts write
 * these URIs in many ways, so all of these are read: file:///abs, file:/abs,
 * file://localhost/abs, Windows drives (file:///C:/x, file:/C:/x, file://C:/x),
 * percent-encoded bytes of UTF-8 text, and characters a host left unencoded (blanks, '+',
 * braces) taken as they are; a trailing slash makes no difference.
 */
public final class ResourceLocation {

    private ResourceLocation() {}

    /**
     * The local path the URI names, with forward slashes and without a trailing slash;
     * a Windows drive path keeps its letter ("C:/x").
     */
    public static String localPath(String uri) throws SimulationException {
        if (uri == null || uri.isBlank()) {
            throw new SimulationException("No resource location was given: the host must pass"
                    + " the FMU's resources folder as a file: URI");
        }
        if (!uri.regionMatches(true, 0, "file:", 0, 5)) {
            throw new SimulationException("Resource location " + uri + " is not a file: URI:"
                    + " the model's resources must be in a local folder");
        }
        String rest = uri.substring(5);
        if (rest.startsWith("//")) {
            int slash = rest.indexOf('/', 2);
            String host = slash < 0 ? rest.substring(2) : rest.substring(2, slash);
            rest = slash < 0 ? "" : rest.substring(slash);
            if (isDrive(host)) {
                rest = "/" + host + rest;  // file://C:/x
            } else if (!host.isEmpty() && !host.equalsIgnoreCase("localhost")) {
                throw new SimulationException("Resource location " + uri + " names the host "
                        + host + ": only folders on this computer can be read");
            }
        }
        if (!rest.startsWith("/")) {
            throw new SimulationException("Resource location " + uri
                    + " has no absolute path: write it as file:///absolute/path");
        }
        String path = decode(rest, uri);
        if (isDrive(path)) {
            path = path.substring(1, 2) + ":" + path.substring(3);  // "/C|/x" -> "C:/x"
            if (path.length() == 2) path += "/";
        }
        while (path.length() > 1 && path.endsWith("/")
                && !(path.length() == 3 && path.charAt(1) == ':' && isDrive(path))) {
            path = path.substring(0, path.length() - 1);
        }
        return path;
    }

    // "C:", "C|", "/C:" or "/C|", alone or before "/...". Checked by hand: the first regular
    // expression of a Java VM costs it about 10 ms, at every FMU's start.
    private static boolean isDrive(String text) {
        int at = text.startsWith("/") ? 1 : 0;
        if (text.length() < at + 2) return false;
        char letter = text.charAt(at);
        char colon = text.charAt(at + 1);
        return ((letter >= 'A' && letter <= 'Z') || (letter >= 'a' && letter <= 'z'))
                && (colon == ':' || colon == '|')
                && (text.length() == at + 2 || text.charAt(at + 2) == '/');
    }

    /** The folder the URI names; it must exist. */
    public static Path folder(String uri) throws SimulationException {
        String local = localPath(uri);
        Path folder;
        try {
            folder = Path.of(local);
        } catch (InvalidPathException e) {
            throw new SimulationException("Resource folder " + local + " (from " + uri
                    + ") is not a valid path here: " + e.getReason());
        }
        if (!Files.isDirectory(folder)) {
            throw new SimulationException("Resource folder " + local + " (from " + uri + ") "
                    + (Files.exists(folder) ? "is not a folder" : "does not exist")
                    + ": the host must pass the resources folder of the unpacked FMU");
        }
        return folder;
    }

    private static String decode(String text, String uri) throws SimulationException {
        if (text.indexOf('%') < 0) return text;
        ByteArrayOutputStream bytes = new ByteArrayOutputStream();
        for (int i = 0; i < text.length(); ) {
            char c = text.charAt(i);
            if (c == '%') {
                int value = i + 2 < text.length() ? hexByte(text, i + 1) : -1;
                if (value < 0) {
                    throw new SimulationException("Resource location " + uri + " has a broken"
                            + " percent escape at " + text.substring(i, Math.min(i + 3,
                            text.length())) + ": write a '%' as %25");
                }
                bytes.write(value);
                i += 3;
            } else {
                int codePoint = text.codePointAt(i);
                bytes.writeBytes(new String(Character.toChars(codePoint))
                        .getBytes(StandardCharsets.UTF_8));
                i += Character.charCount(codePoint);
            }
        }
        try {
            return StandardCharsets.UTF_8.newDecoder()
                    .onMalformedInput(CodingErrorAction.REPORT)
                    .onUnmappableCharacter(CodingErrorAction.REPORT)
                    .decode(ByteBuffer.wrap(bytes.toByteArray())).toString();
        } catch (CharacterCodingException e) {
            throw new SimulationException("Resource location " + uri + " has percent escapes"
                    + " that are not UTF-8 text");
        }
    }

    private static int hexByte(String text, int at) {
        int high = Character.digit(text.charAt(at), 16);
        int low = Character.digit(text.charAt(at + 1), 16);
        return high < 0 || low < 0 ? -1 : high * 16 + low;
    }
}
