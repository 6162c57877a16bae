"""A Python host as Python FMI importers are: the FMU's binary loaded with ctypes (local
symbols), the working folder changed to the binaries folder while loading, the library
closed again after fmi2FreeInstance, and no Java VM in the process. Its co-simulation must
give the numbers of kvfmu-run.

Run by CTest once per model, each in a process of its own (a process holds one VM):
KVFMU_TEST_FMU names the .fmu, KVFMU_TEST_RUN the case (stop, step, inputs), KVFMU_RUN the
runner."""

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
    variables = {v.get("name"): (int(v.get("valueReference")), v.get("causality"))
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
                 "fmi2Terminate", "fmi2FreeInstance"):
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


def test_cosimulation_without_a_vm_gives_the_numbers_of_kvfmu_run(tmp_path):
    fmu = os.environ["KVFMU_TEST_FMU"]
    stop, step, *assignments = os.environ["KVFMU_TEST_RUN"].split()
    stop, step = float(stop), float(step)
    inputs = {name: float(value) for name, value in (a.split("=") for a in assignments)}
    folder = str(tmp_path / "fmu")
    guid, model_identifier, variables = unpack(fmu, folder)

    messages = []
    logger = Logger(lambda env, name, status, category, text: messages.append(
        (status, category.decode(), text.decode())))
    libc = ctypes.CDLL(None)
    libc.calloc.restype = ctypes.c_void_p
    libc.calloc.argtypes = [ctypes.c_size_t, ctypes.c_size_t]
    libc.free.argtypes = [ctypes.c_void_p]
    allocate = Allocate(lambda count, size: libc.calloc(count, size))
    free = Free(lambda pointer: libc.free(pointer))
    callbacks = Callbacks(logger, allocate, free, None, None)

    library = load(folder, model_identifier)
    assert library.fmi2GetVersion() == b"2.0"
    resources = "file://" + os.path.join(folder, "resources")
    component = library.fmi2Instantiate(model_identifier.encode(), CO_SIMULATION, guid.encode(),
                                        resources.encode(), ctypes.byref(callbacks), 0, 0)
    assert component, messages
    for name, value in inputs.items():
        reference = (ctypes.c_uint * 1)(variables[name][0])
        assert library.fmi2SetReal(component, reference, 1, (ctypes.c_double * 1)(value)) == FMI2_OK
    outputs = [reference for reference, causality in variables.values() if causality == "output"]
    references = (ctypes.c_uint * len(outputs))(*outputs)
    values = (ctypes.c_double * len(outputs))()

    def row(time):
        assert library.fmi2GetReal(component, references, len(outputs), values) == FMI2_OK
        return [time] + list(values)

    assert library.fmi2SetupExperiment(component, 0, 0.0, 0.0, 1, stop) == FMI2_OK
    assert library.fmi2EnterInitializationMode(component) == FMI2_OK
    assert library.fmi2ExitInitializationMode(component) == FMI2_OK
    rows = [row(0.0)]
    steps = round(stop / step)
    for k in range(steps):
        assert library.fmi2DoStep(component, k * step, step, 1) == FMI2_OK, messages
        rows.append(row((k + 1) * step))
    assert library.fmi2Terminate(component) == FMI2_OK
    library.fmi2FreeInstance(component)
    _ctypes.dlclose(library._handle)

    assert messages == []
    assert rows == kvfmu_run_rows(fmu, stop, step, inputs, str(tmp_path))
