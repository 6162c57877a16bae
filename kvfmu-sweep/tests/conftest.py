"""Shared helpers of the sweep's tests: a stand-in FMU and runner, and the tool itself.

The real build's parts come from CTest through the environment: KVFMU_SWEEP (the tool in
the build tree), KVFMU_RUN (kvfmu-run), KVFMU_FMUS (the built-in FMUs).
"""

import csv
import os
import subprocess
import sys
import zipfile

import pytest

HERE = os.path.dirname(os.path.abspath(__file__))
SOURCE_TOOL = os.path.join(HERE, os.pardir, "kvfmu-sweep")
STANDIN_RUNNER = os.path.join(HERE, "standin_runner.py")
PYTHON = "/usr/bin/python3"

sys.path.insert(0, os.path.join(HERE, os.pardir))

STANDIN_DESCRIPTION = """<?xml version="1.0" encoding="UTF-8"?>
<fmiModelDescription fmiVersion="2.0" modelName="Standin" guid="{00000000-0000-0000-0000-000000000001}">
  <CoSimulation modelIdentifier="standin"/>
  <ModelVariables>
    <ScalarVariable name="z" valueReference="1" causality="output"><Real/></ScalarVariable>
    <ScalarVariable name="y" valueReference="0" causality="output"><Real/></ScalarVariable>
    <ScalarVariable name="u" valueReference="4" causality="input"><Real start="0"/></ScalarVariable>
    <ScalarVariable name="k" valueReference="5" causality="parameter"><Real start="1"/></ScalarVariable>
  </ModelVariables>
</fmiModelDescription>
"""
STANDIN_PROPERTIES = "parameter.k=1\nparameter.c=1\nparameter.fail=0\nparameter.crash=0\nparameter.sleep=0\nparameter.abort=0\n"


def make_standin_fmu(path, log=None, sleep=None):
    """An FMU of the stand-in model: outputs y, z; input u; parameters k, c, fail, crash,
    sleep. `log` and `sleep` reach the stand-in runner through the FMU (see there)."""
    with zipfile.ZipFile(path, "w") as archive:
        archive.writestr("modelDescription.xml", STANDIN_DESCRIPTION)
        archive.writestr("resources/model.properties", STANDIN_PROPERTIES)
        if log:
            archive.writestr("standin/log", str(log))
        if sleep:
            archive.writestr("standin/sleep", str(sleep))
    return str(path)


@pytest.fixture
def standin_fmu(tmp_path):
    return make_standin_fmu(tmp_path / "Standin.fmu")


def tool():
    return os.environ.get("KVFMU_SWEEP", SOURCE_TOOL)


def run_tool(args, env=None, timeout=300, **kwargs):
    """Runs kvfmu-sweep; answers the completed process (stdout and stderr as text)."""
    full_env = dict(os.environ)
    full_env.update(env or {})
    return subprocess.run([PYTHON, tool()] + [str(a) for a in args], env=full_env,
                          capture_output=True, text=True, timeout=timeout, **kwargs)


def read_summary(path):
    with open(path, newline="") as f:
        return list(csv.DictReader(f))


def standin_log(path):
    """The runs the stand-in started, in order."""
    if not os.path.exists(path):
        return []
    with open(path) as f:
        return [line.split()[0] for line in f if line.strip()]
