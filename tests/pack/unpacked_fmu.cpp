#include "unpacked_fmu.h"

#include <gtest/gtest.h>
#include <pugixml.hpp>

#include <dlfcn.h>

std::vector<const FmuVariable*> FmuDescription::with(const std::string& causality) const {
    std::vector<const FmuVariable*> found;
    for (const FmuVariable& v : variables) {
        if (v.causality == causality) found.push_back(&v);
    }
    return found;
}

FmuDescription readDescription(const std::string& unpackedFolder) {
    FmuDescription d;
    pugi::xml_document doc;
    const pugi::xml_parse_result parsed =
        doc.load_file((unpackedFolder + "/modelDescription.xml").c_str());
    EXPECT_TRUE(parsed) << parsed.description();
    const pugi::xml_node root = doc.child("fmiModelDescription");
    d.guid = root.attribute("guid").value();
    d.modelIdentifier = root.child("CoSimulation").attribute("modelIdentifier").value();
    for (pugi::xml_node v : root.child("ModelVariables").children("ScalarVariable")) {
        const pugi::xml_node real = v.child("Real");
        d.variables.push_back({v.attribute("name").value(), v.attribute("causality").value(),
                               v.attribute("valueReference").as_uint(),
                               !real.attribute("start").empty(),
                               real.attribute("start").as_double()});
    }
    return d;
}

namespace {

template <typename F>
void bind(void* handle, F& function, const char* name) {
    function = reinterpret_cast<F>(dlsym(handle, name));
    EXPECT_NE(function, nullptr) << name;
}

}  // namespace

FmuBinary loadBinary(const std::string& unpackedFolder, const std::string& modelIdentifier) {
    FmuBinary b;
    const std::string path = unpackedFolder + "/binaries/linux64/" + modelIdentifier + ".so";
    b.handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    EXPECT_NE(b.handle, nullptr) << dlerror();
    if (!b.handle) return b;
    bind(b.handle, b.instantiate, "fmi2Instantiate");
    bind(b.handle, b.setupExperiment, "fmi2SetupExperiment");
    bind(b.handle, b.enterInitializationMode, "fmi2EnterInitializationMode");
    bind(b.handle, b.exitInitializationMode, "fmi2ExitInitializationMode");
    bind(b.handle, b.setReal, "fmi2SetReal");
    bind(b.handle, b.getReal, "fmi2GetReal");
    bind(b.handle, b.doStep, "fmi2DoStep");
    bind(b.handle, b.terminate, "fmi2Terminate");
    bind(b.handle, b.freeInstance, "fmi2FreeInstance");
    if (!b.freeInstance) b.handle = nullptr;
    return b;
}

std::string resourceLocation(const std::string& unpackedFolder) {
    return "file://" + unpackedFolder + "/resources";
}
