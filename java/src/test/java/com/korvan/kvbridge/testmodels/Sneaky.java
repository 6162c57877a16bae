package com.korvan.kvbridge.testmodels;

/** Throws a checked exception from code that does not declare it, as Kotlin code may. */
final class Sneaky {
    private Sneaky() {}

    static RuntimeException sneakyThrow(Throwable failure) {
        Sneaky.<RuntimeException>throwAs(failure);
        return new IllegalStateException("not reached");
    }

    @SuppressWarnings("unchecked")
    private static <T extends Throwable> void throwAs(Throwable failure) throws T {
        throw (T) failure;
    }
}
