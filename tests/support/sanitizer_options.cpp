// Default sanitizer options of the test programs of a sanitizer build (KVFMU_SANITIZE).
// The Java VM handles SIGSEGV, SIGBUS, SIGILL and SIGFPE itself as part of its normal work
// (null checks, safepoints, stack banging): the sanitizers must leave those signals to
// it. Leak detection stays off: the VM keeps its memory to the end, and the tests count
// the host's allocations themselves. Every report ends the program with a failure.

extern "C" const char* __asan_default_options() {
    return "handle_segv=0:handle_sigbus=0:handle_sigill=0:handle_sigfpe=0:"
           "allow_user_segv_handler=1:detect_leaks=0:halt_on_error=1";
}

extern "C" const char* __ubsan_default_options() {
    return "print_stacktrace=1:halt_on_error=1";
}
