#include "unpacked_fmu.h"

#include <gtest/gtest.h>
#include <pugixml.hpp>

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

LoadedFmu loadBinary(const std::string& unpackedFolder, const std::string& modelIdentifier) {
    const std::string path = unpackedFolder + "/binaries/linux64/" + modelIdentifier + ".so";
    const LoadedFmu fmu = openFmu(path.c_str());
    EXPECT_NE(fmu.handle, nullptr) << fmu.error;
    if (fmu.handle) {
        EXPECT_EQ(missingFmi2Functions(fmu), "");
    }
    return fmu;
}

std::string resourceLocation(const std::string& unpackedFolder) {
    return "file://" + unpackedFolder + "/resources";
}
