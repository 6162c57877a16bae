package com.korvan.kvfmu.pack;

/** Packing cannot go on; the message says why, in words a user can act on. */
final class PackException extends Exception {
    private static final long serialVersionUID = 1L;

    /** What went wrong, which decides the exit code. */
    enum Kind {
        /** The command line is wrong. */
        USAGE(2),
        /** The model, the variable list, a parameter or an input jar is wrong. */
        INPUT(3),
        /** The FMU could not be written. */
        OUTPUT(4);

        final int exitCode;

        Kind(int exitCode) {
            this.exitCode = exitCode;
        }
    }

    final Kind kind;

    PackException(Kind kind, String message) {
        super(message);
        this.kind = kind;
    }

    PackException(Kind kind, String message, Throwable cause) {
        super(message, cause);
        this.kind = kind;
    }

    static PackException usage(String message) {
        return new PackException(Kind.USAGE, message);
    }

    static PackException input(String message) {
        return new PackException(Kind.INPUT, message);
    }
}
