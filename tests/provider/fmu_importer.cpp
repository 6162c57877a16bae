#include "fmu_importer.h"

#include "host.h"

#include <gtest/gtest.h>
#include <pugixml.hpp>
#include <zip.h>

#include <cstdlib>
#include <fstream>
#include <stdexcept>

namespace fs = std::filesystem;

std::vector<fmi2ValueReference> UnpackedFmu::outputs() const {
    std::vector<fmi2ValueReference> references;
    for (const ImportedVariable& v : variables)
        if (v.causality == "output") references.push_back(v.valueReference);
    return references;
}

std::vector<ImportedVariable> UnpackedFmu::withCausality(const std::string& causality) const {
    std::vector<ImportedVariable> found;
    for (const ImportedVariable& v : variables)
        if (v.causality == causality) found.push_back(v);
    return found;
}

const ImportedVariable& UnpackedFmu::variable(const std::string& name) const {
    for (const ImportedVariable& v : variables)
        if (v.name == name) return v;
    throw std::invalid_argument("no variable " + name);
}

fmi2ValueReference UnpackedFmu::reference(const std::string& name) const {
    for (const ImportedVariable& v : variables)
        if (v.name == name) return v.valueReference;
    ADD_FAILURE() << "no variable " << name;
    return 0;
}

fs::path UnpackedFmu::binary() const {
    return folder / "binaries" / "linux64" / (modelIdentifier + ".so");
}

std::string UnpackedFmu::resourceUri() const { return "file://" + (folder / "resources").string(); }

UnpackedFmu unpackFmu(const fs::path& archive, const fs::path& folder) {
    UnpackedFmu fmu;
    fmu.folder = folder;
    int error = 0;
    zip_t* zip = zip_open(archive.c_str(), ZIP_RDONLY, &error);
    if (!zip) {
        ADD_FAILURE() << "cannot open " << archive;
        return fmu;
    }
    const zip_int64_t entries = zip_get_num_entries(zip, 0);
    for (zip_int64_t i = 0; i < entries; ++i) {
        const std::string name = zip_get_name(zip, i, 0);
        const fs::path target = folder / name;
        if (!name.empty() && name.back() == '/') {
            fs::create_directories(target);
            continue;
        }
        fs::create_directories(target.parent_path());
        zip_file_t* entry = zip_fopen_index(zip, i, 0);
        std::ofstream out(target, std::ios::binary);
        char buffer[65536];
        for (zip_int64_t n; entry && (n = zip_fread(entry, buffer, sizeof buffer)) > 0;)
            out.write(buffer, n);
        if (entry) zip_fclose(entry);
    }
    zip_close(zip);

    pugi::xml_document doc;
    const auto parsed = doc.load_file((folder / "modelDescription.xml").c_str());
    EXPECT_TRUE(parsed) << parsed.description();
    const pugi::xml_node root = doc.child("fmiModelDescription");
    fmu.guid = root.attribute("guid").value();
    fmu.modelIdentifier = root.child("CoSimulation").attribute("modelIdentifier").value();
    for (pugi::xml_node v : root.child("ModelVariables").children("ScalarVariable")) {
        ImportedVariable variable{v.attribute("name").value(), v.attribute("causality").value(),
                                  v.attribute("variability").value(),
                                  v.attribute("valueReference").as_uint(), std::nullopt};
        // FMI 2.0's defaults where the attributes are left out.
        if (variable.causality.empty()) variable.causality = "local";
        if (variable.variability.empty()) variable.variability = "continuous";
        if (const pugi::xml_attribute start = v.child("Real").attribute("start"))
            variable.start = std::strtod(start.value(), nullptr);
        fmu.variables.push_back(variable);
    }
    return fmu;
}

FmuBinaryFunctions loadFmuBinary(const fs::path& binary) {
    FmuBinaryFunctions f = openFmu(binary.c_str());
    if (!f.handle) {
        ADD_FAILURE() << "cannot load " << binary << ": " << f.error;
    } else {
        EXPECT_EQ(missingFmi2Functions(f), "") << binary;
    }
    return f;
}

void unloadFmuBinary(FmuBinaryFunctions& binary) {
    if (binary.handle) {
        EXPECT_TRUE(unloadLibrary(binary.handle));
    }
    binary = FmuBinaryFunctions{};
}

HostedInstance::HostedInstance(const FmuBinaryFunctions& binary, const UnpackedFmu& fmu,
                               const std::string& name)
    : binary_(binary), fmu_(fmu), callbacks_(hostCallbacks()) {
    const std::string uri = fmu.resourceUri();
    component_ = binary.fmi2Instantiate(name.c_str(), fmi2CoSimulation, fmu.guid.c_str(),
                                        uri.c_str(), &callbacks_, fmi2False, fmi2False);
}

HostedInstance::~HostedInstance() { free(); }

void HostedInstance::set(const std::string& input, double value) {
    const fmi2ValueReference vr = fmu_.reference(input);
    EXPECT_EQ(binary_.fmi2SetReal(component_, &vr, 1, &value), fmi2OK) << input;
}

fmi2Status HostedInstance::trySet(const std::string& variable, double value) {
    const fmi2ValueReference vr = fmu_.reference(variable);
    return binary_.fmi2SetReal(component_, &vr, 1, &value);
}

double HostedInstance::get(const std::string& variable) {
    const fmi2ValueReference vr = fmu_.reference(variable);
    double value = -12345.0;
    EXPECT_EQ(binary_.fmi2GetReal(component_, &vr, 1, &value), fmi2OK) << variable;
    return value;
}

void HostedInstance::initialize(double start, double stop) {
    enterInitialization(start, stop);
    exitInitialization();
}

void HostedInstance::enterInitialization(double start, double stop) {
    start_ = time_ = start;
    steps_ = 0;
    EXPECT_EQ(binary_.fmi2SetupExperiment(component_, fmi2False, 0.0, start, fmi2True, stop),
              fmi2OK);
    EXPECT_EQ(binary_.fmi2EnterInitializationMode(component_), fmi2OK);
}

void HostedInstance::enterInitializationAsSetUpBefore() {
    time_ = start_;
    steps_ = 0;
    EXPECT_EQ(binary_.fmi2EnterInitializationMode(component_), fmi2OK);
}

void HostedInstance::exitInitialization() {
    EXPECT_EQ(binary_.fmi2ExitInitializationMode(component_), fmi2OK);
    initialized_ = true;
    readRow();
}

void HostedInstance::step(double h) {
    EXPECT_EQ(tryStep(h), fmi2OK) << "t = " << time_;
}

fmi2Status HostedInstance::tryStep(double h) {
    const fmi2Status status = binary_.fmi2DoStep(component_, time_, h, fmi2True);
    if (status != fmi2OK) {
        initialized_ = false;  // fmi2Terminate is refused in the error state
        return status;
    }
    time_ = start_ + static_cast<double>(++steps_) * h;
    readRow();
    return status;
}

void HostedInstance::terminate() {
    EXPECT_EQ(binary_.fmi2Terminate(component_), fmi2OK);
    initialized_ = false;
}

void HostedInstance::reset() {
    EXPECT_EQ(binary_.fmi2Reset(component_), fmi2OK);
    initialized_ = false;
    rows_.clear();
}

void HostedInstance::readRow() {
    const std::vector<fmi2ValueReference> outputs = fmu_.outputs();
    std::vector<double> row(outputs.size() + 1);
    row[0] = time_;
    EXPECT_EQ(binary_.fmi2GetReal(component_, outputs.data(), outputs.size(), row.data() + 1),
              fmi2OK);
    rows_.push_back(row);
}

void HostedInstance::free() {
    if (!component_) return;
    if (initialized_) {
        EXPECT_EQ(binary_.fmi2Terminate(component_), fmi2OK);
    }
    binary_.fmi2FreeInstance(component_);
    component_ = nullptr;
}

std::vector<std::vector<double>> simulate(const FmuBinaryFunctions& binary, const UnpackedFmu& fmu,
                                          const std::string& name, double stop, double h,
                                          const std::vector<std::pair<std::string, double>>& inputs) {
    HostedInstance instance(binary, fmu, name);
    if (!instance.instantiated()) {
        ADD_FAILURE() << "fmi2Instantiate failed"
                      << (testHost().log.empty() ? "" : ": " + testHost().log.back().text);
        return {};
    }
    for (const auto& [input, value] : inputs) instance.set(input, value);
    instance.initialize(0.0, stop);
    const long steps = static_cast<long>(stop / h + 0.5);
    for (long k = 0; k < steps; ++k) instance.step(h);
    instance.free();
    return instance.rows();
}
