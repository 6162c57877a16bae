package com.korvan.kvbridge.server;

import static org.junit.jupiter.api.Assertions.assertArrayEquals;
import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertNull;
import static org.junit.jupiter.api.Assertions.assertThrows;
import static org.junit.jupiter.api.Assertions.assertTrue;

import com.korvan.kvbridge.model.Model;
import com.korvan.kvbridge.testmodels.Resources;
import java.io.File;
import java.io.IOException;
import java.io.OutputStream;
import java.net.URLClassLoader;
import java.nio.file.Files;
import java.nio.file.Path;
import java.util.jar.JarEntry;
import java.util.jar.JarOutputStream;
import javax.tools.ToolProvider;
import org.junit.jupiter.api.Test;
import org.junit.jupiter.api.io.TempDir;

/** Models from jars in the resources folder, each instance with a class loader of its own. */
class ModelJarTest {
    @TempDir Path temp;

    /** A jar in the folder with the class user.Gain, whose one output is gain times u. */
    private void gainJar(Path folder, double gain) throws IOException {
        Path sources = Files.createDirectories(temp.resolve("src" + gain).resolve("user"));
        Path source = Files.writeString(sources.resolve("Gain.java"), """
                package user;
                import com.korvan.kvbridge.model.*;
                import java.util.*;
                public class Gain implements Model {
                    public Declaration declaration() {
                        return new Declaration("Gain", "", List.of(new Output("y", "", "", true)),
                                List.of(new Input("u", "", "", 1)), List.of(),
                                new DefaultExperiment(0, 1, 0.1));
                    }
                    public void initialize(Map<String, Double> p, double t, double[] u,
                                           double[] y) { step(t, 0, u, y); }
                    public void step(double t, double h, double[] u, double[] y) {
                        y[0] = GAIN * u[0];
                    }
                    static final double GAIN = %s;
                }
                """.formatted(gain));
        jar(folder.resolve("gain.jar"), source, "user/Gain.class");
    }

    /** Compiles the source against kvbridge.jar into a jar holding the one class. */
    private void jar(Path target, Path source, String classFile) throws IOException {
        String apiPath = new File(Model.class.getProtectionDomain().getCodeSource()
                .getLocation().getPath()).getPath();
        Path classes = Files.createTempDirectory(temp, "classes");
        int result = ToolProvider.getSystemJavaCompiler().run(null, null, null, "-cp", apiPath,
                "-d", classes.toString(), source.toString());
        assertEquals(0, result);
        try (OutputStream file = Files.newOutputStream(target);
             JarOutputStream jar = new JarOutputStream(file)) {
            jar.putNextEntry(new JarEntry(classFile));
            jar.write(Files.readAllBytes(classes.resolve(classFile)));
            jar.closeEntry();
        }
    }

    private String gainFolder(String name, double gain) throws IOException {
        Path folder = Resources.folder(temp, name, "model.class=user.Gain",
                "model.jars=gain.jar", "model.outputs=1", "model.inputs=1");
        gainJar(folder, gain);
        return Resources.uri(folder);
    }

    @Test
    void eachInstanceLoadsItsOwnVersionOfAClass() throws Exception {
        EmbeddedServer server = new EmbeddedServer();
        server.instantiate("two", gainFolder("two", 2.0));
        server.instantiate("three", gainFolder("three", 3.0));
        for (String name : new String[] {"two", "three"}) {
            server.setupExperiment(name, 0, false, 0);
            server.initialize(name);
            server.step(name, 0, 0.1, new double[] {5.0});
        }
        assertArrayEquals(new double[] {10.0}, server.outputs("two"));
        assertArrayEquals(new double[] {15.0}, server.outputs("three"));
        server.free("two");
        server.free("three");
    }

    @Test
    void aFailedLoadClosesTheInstancesClassLoader() throws Exception {
        // The model's declaration hands its class loader out, then fails the load.
        Path folder = Resources.folder(temp, "leaky", "model.class=user.Leaky",
                "model.jars=leaky.jar", "model.outputs=1", "model.inputs=0");
        Path sources = Files.createDirectories(temp.resolve("leaky-src").resolve("user"));
        Path source = Files.writeString(sources.resolve("Leaky.java"), """
                package user;
                import com.korvan.kvbridge.model.*;
                import java.util.*;
                public class Leaky implements Model {
                    public Declaration declaration() {
                        System.getProperties().put("kvfmu.test.loader", getClass().getClassLoader());
                        throw new IllegalStateException("no declaration today");
                    }
                    public void initialize(Map<String, Double> p, double t, double[] u,
                                           double[] y) {}
                    public void step(double t, double h, double[] u, double[] y) {}
                }
                """);
        jar(folder.resolve("leaky.jar"), source, "user/Leaky.class");
        String message = assertThrows(SimulationException.class, () -> new EmbeddedServer()
                .instantiate("leaky", Resources.uri(folder))).getMessage();
        assertTrue(message.contains("no declaration today"), message);
        URLClassLoader loader = (URLClassLoader) System.getProperties().get("kvfmu.test.loader");
        assertNull(loader.findResource("user/Leaky.class"), "the loader is closed");
    }

    @Test
    void aClassMissingFromTheJarsIsNamedWithThem() throws Exception {
        Path folder = Resources.folder(temp, "wrong", "model.class=user.Gian",
                "model.jars=gain.jar", "model.outputs=1", "model.inputs=1");
        gainJar(folder, 1.0);
        String message = assertThrows(SimulationException.class, () -> new EmbeddedServer()
                .instantiate("wrong", Resources.uri(folder))).getMessage();
        assertTrue(message.startsWith("Model class user.Gian not found in kvbridge.jar or the"
                + " model jars gain.jar"), message);
    }
}
