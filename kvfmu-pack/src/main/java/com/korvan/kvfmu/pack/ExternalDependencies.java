package com.korvan.kvfmu.pack;

import java.nio.charset.StandardCharsets;
import java.util.List;

/** documentation/externalDependencies.txt: what a host must provide to run the FMU. */
final class ExternalDependencies {
    private ExternalDependencies() {}

    static byte[] text(String modelName, List<String> binaries, List<String> jars,
                       boolean withDescriptor, boolean linuxRuntime, boolean windowsRuntime) {
        StringBuilder text = new StringBuilder();
        text.append("What a host must provide to run the FMU ").append(modelName).append("\n\n");
        text.append("The binaries (").append(String.join(", ", binaries)).append(")\n");
        text.append("""
            compute nothing themselves: they forward every call through JNI to a simulation
            server in Java, reached through the class com.korvan.kvbridge.KorvanSim.

            1. A Java runtime (JDK or JRE), version 17 or later, on the machine. When the host
               process runs no Java VM, the FMU starts one at fmi2Instantiate from the runtime
               it finds: JAVA_HOME, else the java program on PATH, else the usual places
               (/usr/lib/jvm on Debian; the runtimes the installers register on Windows).
               The VM options packed into the FMU are in resources/provider.conf;
               JAVA_TOOL_OPTIONS reaches that VM too.
            """);
        if (linuxRuntime || windowsRuntime) {
            text.append("""
                   The FMU carries a runtime of its own, which it takes before any on the
                   machine, so that none needs to be installed, for
                """);
            if (linuxRuntime) text.append("     Linux x86-64: resources/runtime/linux64/\n");
            if (windowsRuntime) text.append("     Windows x64: resources/runtime/win64/\n");
        }
        text.append("""
            2. When the host runs a Java VM already, the FMU uses it. These jars from
               resources/ hold what it needs; the FMU adds them to that VM's class path when
               the VM cannot load the facade otherwise:
            """);
        for (String jar : jars) text.append("     resources/").append(jar).append('\n');
        if (withDescriptor) {
            text.append("""
                3. The host passes the FMU's resource location to fmi2Instantiate as the FMI
                   standard says; the server reads resources/model.properties there (the model
                   class and its parameter values).
                """);
        } else {
            text.append("""
                3. Whatever the facade and the simulation server behind it need at run time, as
                   their own documentation says.
                """);
        }
        return text.toString().getBytes(StandardCharsets.UTF_8);
    }
}
