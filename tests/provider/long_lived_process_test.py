"""One Python process, many versions of a user's model, as in a notebook: packed, run,
changed and packed again, each run unpacked into a folder of its own or the last one's.
Each test runs in a process of its own; the environment names KVFMU_PACK, KVFMU_BRIDGE_JAR,
KVFMU_RUN and JAVA_HOME."""

import os
import shutil
import subprocess
import zipfile

from python_host_test import Session, kvfmu_run_rows

MODEL = """package com.example.notebook;

import com.korvan.kvbridge.model.*;
import java.util.List;
import java.util.Map;

public final class Cooling extends ContinuousModel {
    private double rate;

    @Override protected Declaration declareModel() {
        return new Declaration("Cooling", "A body cooling down to the room's temperature",
                List.of(new Output("T", "Temperature of the body", "K", List.of())), List.of(),
                List.of(new Parameter("k", "Cooling rate", "1/s", %(rate)s, true)),
                new DefaultExperiment(0.0, 2.0, 0.25));
    }

    @Override protected double[] startState(Map<String, Double> p, double t, double[] u) {
        rate = Parameters.value(p, "k");
        return new double[] {350.0};
    }

    @Override protected void derivatives(double t, double[] x, double[] u, double[] dxdt) {
        dxdt[0] = -rate * (x[0] - %(room)s);
    }

    @Override protected void outputs(double t, double[] x, double[] u, double[] y) {
        y[0] = x[0];
    }
}
"""

STOP, STEP = 2.0, 0.25


def pack(work, output, rate=0.5, room=290.0):
    """Compiles the model as the user wrote it and packs it to output, as the user would."""
    classes = os.path.join(work, "classes")
    source = os.path.join(work, "Cooling.java")
    with open(source, "w") as file:
        file.write(MODEL % {"rate": repr(rate), "room": repr(room)})
    javac = os.path.join(os.environ["JAVA_HOME"], "bin", "javac")
    subprocess.run([javac, "-d", classes, "-cp", os.environ["KVFMU_BRIDGE_JAR"], source],
                   check=True)
    jar = os.path.join(work, "cooling.jar")
    with zipfile.ZipFile(jar, "w") as archive:
        archive.write(os.path.join(classes, "com/example/notebook/Cooling.class"),
                      "com/example/notebook/Cooling.class")
    subprocess.run([os.environ["KVFMU_PACK"], "--class", "com.example.notebook.Cooling",
                    "--model-jar", jar, "--output", output], check=True)
    return output


def run(folder, fmu):
    """A run as Python importers make it: unpacked, run, unloaded, and the folder removed."""
    session = Session(str(folder), fmu)
    rows = session.run(STOP, STEP, {})
    session.close()
    shutil.rmtree(folder)
    return rows


def test_a_changed_model_runs_as_changed_also_beside_its_old_version(tmp_path):
    fmu = str(tmp_path / "Cooling.fmu")
    first = shutil.copy(pack(str(tmp_path), fmu), tmp_path / "Cooling-1.fmu")
    first_rows = run(tmp_path / "run-1", first)
    assert first_rows == kvfmu_run_rows(first, STOP, STEP, {}, str(tmp_path))

    pack(str(tmp_path), fmu, room=280.0)  # the one line changed, packed over the old .fmu
    second_rows = run(tmp_path / "run-2", fmu)
    assert second_rows == kvfmu_run_rows(fmu, STOP, STEP, {}, str(tmp_path))
    assert second_rows != first_rows

    old = Session(str(tmp_path / "alive-1"), first)
    new = Session(str(tmp_path / "alive-2"), fmu)
    assert (old.run(STOP, STEP, {}), new.run(STOP, STEP, {})) == (first_rows, second_rows)
    old.close()
    new.close()


def test_an_fmu_unpacked_again_into_the_same_folder_runs_with_its_new_settings(tmp_path):
    fmu = pack(str(tmp_path), str(tmp_path / "Cooling.fmu"))
    first_rows = run(tmp_path / "fmu", fmu)
    pack(str(tmp_path), fmu, rate=2.0)  # a new default: a new GUID and start value
    rows = run(tmp_path / "fmu", fmu)
    assert rows == kvfmu_run_rows(fmu, STOP, STEP, {}, str(tmp_path))
    assert rows != first_rows
