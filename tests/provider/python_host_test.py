"""A Python host as Python FMI importers are: the FMU's binary loaded with ctypes (local
symbols), the working folder changed to the binaries folder while loading, the library
closed again after fmi2FreeInstance, and no Java VM in the process. Its co-simulation must
give the numbers of kvfmu-run.

Run by CTest once per model, each in a process of its own (a process holds one VM):
KVFMU_TEST_FMU names the .fmu, KVFMU_TEST_RUN the case (stop, step, inputs), KVFMU_RUN the
runner. The inputs a case does not set keep their start values; the tests of one model share
the VM that the first instantiation starts."""

import _ctypes
import ctypes
import csv
import os
import subprocess
import xml.etree.ElementTree as ElementTree
import zipfile

FMI2_OK = 0
CO_SIMULATION = 1

Logger = ctypes.CFUNCTYPE(None, ctypes.c_void_p, ctypes.c_char_p, ctypes.c_int,
                          ctypes.c_char_p, ctypes.c_char_p)
Allocate = ctypes.CFUNCTYPE(ctypes.c_void_p, ctypes.c_size_t, ctypes.c_size_t)
Free = ctypes.CFUNCTYPE(None, ctypes.c_void_p)


class Callbacks(ctypes.Structure):
    _fields_ = [("logger", Logger), ("allocateMemory", Allocate), ("freeMemory", Free),
                ("stepFinished", ctypes.c_void_p), ("componentEnvironment", ctypes.c_void_p)]


def unpack(fmu, folder):
    with zipfile.ZipFile(fmu) as archive:
        archive.extractall(folder)
    root = ElementTree.parse(os.path.join(folder, "modelDescription.xml")).getroot()
    variables = {v.get("name"): (int(v.get("valueReference")), v.get("causality"),
                                 float(v.find("Real").get("start", "nan")))
                 for v in root.iter("ScalarVariable")}
    return root.get("guid"), root.find("CoSimulation").get("modelIdentifier"), variables


def load(folder, model_identifier):
    binaries = os.path.join(folder, "binaries", "linux64")
    here = os.getcwd()
    os.chdir(binaries)
    try:
        library = ctypes.CDLL(os.path.join(binaries, model_identifier + ".so"))
    finally:
        os.chdir(here)
    library.fmi2Instantiate.restype = ctypes.c_void_p
    library.fmi2Instantiate.argtypes = [ctypes.c_char_p, ctypes.c_int, ctypes.c_char_p,
                                        ctypes.c_char_p, ctypes.POINTER(Callbacks),
                                        ctypes.c_int, ctypes.c_int]
    library.fmi2SetupExperiment.argtypes = [ctypes.c_void_p, ctypes.c_int, ctypes.c_double,
                                            ctypes.c_double, ctypes.c_int, ctypes.c_double]
    for name in ("fmi2EnterInitializationMode", "fmi2ExitInitializationMode",
                 "fmi2Terminate", "fmi2Reset", "fmi2FreeInstance"):
        getattr(library, name).argtypes = [ctypes.c_void_p]
    library.fmi2FreeInstance.restype = None
    for name in ("fmi2SetReal", "fmi2GetReal"):
        getattr(library, name).argtypes = [ctypes.c_void_p, ctypes.c_void_p, ctypes.c_size_t,
                                           ctypes.c_void_p]
    library.fmi2DoStep.argtypes = [ctypes.c_void_p, ctypes.c_double, ctypes.c_double, ctypes.c_int]
    library.fmi2GetVersion.restype = ctypes.c_char_p
    return library


def kvfmu_run_rows(fmu, stop, step, inputs, folder):
    output = os.path.join(folder, "kvfmu-run.csv")
    command = [os.environ["KVFMU_RUN"], fmu, "--stop", repr(stop), "--step", repr(step),
               "-o", output, "--quiet"]
    for name, value in inputs.items():
        command += ["--set", f"{name}={value!r}"]
    subprocess.run(command, check=True)
    with open(output, newline="") as file:
        rows = [row for row in csv.reader(file) if row and not row[0].startswith("#")]
    return [[float(cell) for cell in row] for row in rows[1:]]


class Session:
    """One instance of the FMU in this process, driven through standard FMI calls only."""

    def __init__(self, folder, fmu=None):
        fmu = fmu or os.environ["KVFMU_TEST_FMU"]
        self.guid, self.model_identifier, self.variables = unpack(fmu, folder)
        self.messages = []
        self.logger = Logger(lambda env, name, status, category, text: self.messages.append(
            (status, category.decode(), text.decode())))
        libc = ctypes.CDLL(None)
        libc.calloc.restype = ctypes.c_void_p
        libc.calloc.argtypes = [ctypes.c_size_t, ctypes.c_size_t]
        libc.free.argtypes = [ctypes.c_void_p]
        self.allocate = Allocate(lambda count, size: libc.calloc(count, size))
        self.free = Free(lambda pointer: libc.free(pointer))
        self.callbacks = Callbacks(self.logger, self.allocate, self.free, None, None)
        self.library = load(folder, self.model_identifier)
        assert self.library.fmi2GetVersion() == b"2.0"
        resources = "file://" + os.path.join(folder, "resources")
        self.component = self.library.fmi2Instantiate(
            self.model_identifier.encode(), CO_SIMULATION, self.guid.encode(),
            resources.encode(), ctypes.byref(self.callbacks), 0, 0)
        assert self.component, self.messages
        self.outputs = [reference for reference, causality, _ in self.variables.values()
                        if causality == "output"]

    def inputs(self):
        return {name: start for name, (_, causality, start) in self.variables.items()
                if causality == "input"}

    def set(self, values):
        for name, value in values.items():
            reference = (ctypes.c_uint * 1)(self.variables[name][0])
            status = self.library.fmi2SetReal(self.component, reference, 1,
                                              (ctypes.c_double * 1)(value))
            assert status == FMI2_OK, self.messages

    def get(self, references):
        values = (ctypes.c_double * len(references))()
        status = self.library.fmi2GetReal(self.component,
                                          (ctypes.c_uint * len(references))(*references),
                                          len(references), values)
        assert status == FMI2_OK, self.messages
        return list(values)

    def run(self, stop, step, inputs):
        """Sets the inputs, initializes and steps to stop: the rows of time and outputs."""
        self.set(inputs)
        assert self.library.fmi2SetupExperiment(self.component, 0, 0.0, 0.0, 1, stop) == FMI2_OK
        assert self.library.fmi2EnterInitializationMode(self.component) == FMI2_OK
        assert self.library.fmi2ExitInitializationMode(self.component) == FMI2_OK
        rows = [[0.0] + self.get(self.outputs)]
        for k in range(round(stop / step)):
            assert self.library.fmi2DoStep(self.component, k * step, step, 1) == FMI2_OK, \
                self.messages
            rows.append([(k + 1) * step] + self.get(self.outputs))
        assert self.library.fmi2Terminate(self.component) == FMI2_OK
        return rows

    def reset(self):
        assert self.library.fmi2Reset(self.component) == FMI2_OK, self.messages

    def close(self):
        self.library.fmi2FreeInstance(self.component)
        _ctypes.dlclose(self.library._handle)
        assert self.messages == []


def run_case():
    stop, step, *assignments = os.environ["KVFMU_TEST_RUN"].split()
    inputs = {name: float(value) for name, value in (a.split("=") for a in assignments)}
    return float(stop), float(step), inputs


def fresh_run(tmp_path, folder, inputs):
    stop, step, _ = run_case()
    session = Session(str(tmp_path / folder))
    rows = session.run(stop, step, inputs)
    session.close()
    return rows


def test_cosimulation_without_a_vm_gives_the_numbers_of_kvfmu_run(tmp_path):
    stop, step, inputs = run_case()
    rows = fresh_run(tmp_path, "fmu", inputs)
    assert rows == kvfmu_run_rows(os.environ["KVFMU_TEST_FMU"], stop, step, inputs,
                                  str(tmp_path))


def test_inputs_left_alone_step_with_their_start_values(tmp_path):
    starts = Session(str(tmp_path / "starts"))
    inputs = starts.inputs()
    starts.close()
    assert fresh_run(tmp_path, "alone", {}) == fresh_run(tmp_path, "set", inputs)


def test_a_run_after_fmi2reset_equals_a_fresh_run(tmp_path):
    stop, step, _ = run_case()
    fresh = fresh_run(tmp_path, "fresh", {})
    session = Session(str(tmp_path / "reset"))
    others = {name: 0.5 * start + 0.1 for name, start in session.inputs().items()}
    assert session.run(stop, step, others) != fresh
    session.reset()
    assert session.run(stop, step, {}) == fresh
    session.close()
