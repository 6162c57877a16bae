package com.korvan.kvfmu.pack;

import java.nio.charset.StandardCharsets;
import java.util.List;

/** documentation/externalDependencies.txt: what a host must provide to run the FMU. */
final class ExternalDependencies {
    private ExternalDependencies() {}

    static byte[] text(String modelName, List<String> binaries, List<String> jars,
                       boolean withDescriptor) {
        StringBuilder text = new StringBuilder();
        text.append("What a host must provide to run the FMU ").append(modelName).append("\n\n");
        text.append("The binaries (").append(String.join(", ", binaries)).append(")\n");
        text.append("""
            compute nothing themselves: they forward every call through JNI to a simulation
            server in Java, reached through the class com.korvan.kvbridge.KorvanSim.

            1. A Java VM, version 17 or later, must already run in the host process when
               fmi2Instantiate is called. The binary uses the VM it finds; it does not start
               one. (So libjvm.so, or jvm.dll on Windows, is loaded by then.)
            2. These jars from resources/ must be on that VM's class path (the system class
               path, for example -Djava.class.path=...):
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
