"""What the sweep reads from an FMU before sending it out: its outputs, inputs and
parameters, so that a misspelt name fails at once instead of in every run."""

import hashlib
import zipfile
import xml.etree.ElementTree as ElementTree
from dataclasses import dataclass

from .sampling import SweepInputError


@dataclass
class FmuInfo:
    path: str
    data: bytes
    content_hash: str
    model_name: str
    outputs: list
    inputs: list
    parameters: list
    units: dict  # variable name -> unit symbol, for the variables that have one

    def check_names(self, names):
        known = self.inputs + self.parameters
        unknown = [n for n in names if n not in known]
        if unknown:
            raise SweepInputError(
                f"{self.path}: {', '.join(unknown)}: no such input or parameter of "
                f"{self.model_name} (inputs: {', '.join(self.inputs) or 'none'}; "
                f"parameters: {', '.join(self.parameters) or 'none'})")


def read_fmu(path):
    try:
        with open(path, "rb") as f:
            data = f.read()
    except OSError as e:
        raise SweepInputError(f"{path}: cannot read: {e.strerror}") from None
    try:
        with zipfile.ZipFile(path) as archive:
            description = archive.read("modelDescription.xml")
            names = set(archive.namelist())
            properties = (archive.read("resources/model.properties").decode("utf-8", "replace")
                          if "resources/model.properties" in names else "")
    except (zipfile.BadZipFile, KeyError, OSError) as e:
        raise SweepInputError(f"{path}: not an FMU with a modelDescription.xml ({e})") from None
    try:
        root = ElementTree.fromstring(description)
    except ElementTree.ParseError as e:
        raise SweepInputError(f"{path}: modelDescription.xml is not valid: {e}") from None
    by_causality = {"output": [], "input": [], "parameter": []}
    units = {}
    for variable in root.iter("ScalarVariable"):
        real = variable.find("Real")
        if real is not None and real.get("unit"):
            units[variable.get("name", "")] = real.get("unit")
        group = by_causality.get(variable.get("causality", ""))
        if group is not None:
            group.append((int(variable.get("valueReference", "0")), variable.get("name", "")))
    parameters = [name for _, name in sorted(by_causality["parameter"])]
    # FMUs that keep their parameters in model.properties only.
    for line in properties.splitlines():
        key = line.split("=", 1)[0].strip()
        if key.startswith("parameter.") and key[len("parameter."):] not in parameters:
            parameters.append(key[len("parameter."):])
    return FmuInfo(path=path, data=data, content_hash=hashlib.sha256(data).hexdigest(),
                   model_name=root.get("modelName", ""),
                   outputs=[name for _, name in sorted(by_causality["output"])],
                   inputs=[name for _, name in sorted(by_causality["input"])],
                   parameters=parameters, units=units)
