package com.korvan.kvfmu.pack;

import static org.junit.jupiter.api.Assertions.assertEquals;

import java.nio.file.Path;
import java.util.List;
import java.util.Set;
import org.junit.jupiter.api.BeforeAll;
import org.junit.jupiter.params.ParameterizedTest;
import org.junit.jupiter.params.provider.CsvSource;

/**
 * The modules of a bundled runtime follow the classes a model reaches, not whole jars: the
 * maths library's ODE solvers need java.base alone, its geometry needs java.desktop too.
 */
class RuntimeModulesTest {
    private static List<Path> jars;
    private static List<String> report;

    @BeforeAll
    static void analyse() throws PackException {
        jars = List.of(Packing.buildFile("bridgeJar"), Packing.buildFile("mathJar"));
        report = RuntimeBundle.classDependencies(
            Path.of(System.getProperty("java.home"), "bin", "jdeps"), jars);
    }

    @ParameterizedTest
    @CsvSource(delimiter = '|', value = {
        "com.korvan.kvbridge.KorvanSim                                 | java.base",
        "org.apache.commons.math3.ode.nonstiff.DormandPrince853Integrator | java.base",
        "org.apache.commons.math3.geometry.euclidean.twod.Line         | java.base java.desktop"})
    void modulesOfTheClassesReached(String root, String modules) {
        assertEquals(Set.of(modules.split(" ")),
                     RuntimeModules.reachable(report, List.of(root), RuntimeBundle.fileNames(jars)));
    }
}
