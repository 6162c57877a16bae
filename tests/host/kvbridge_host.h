// A host running the built-in Java models through the shipped libkvfmu.so, the real facade
// of kvbridge.jar and its embedded server, in a Java VM whose class path holds kvbridge.jar
// alone. Each model's resources folder is made here with its model.properties.
#pragma once

#include "fmi2_functions.h"
#include "host.h"
#include "kvfmu_guid.h"
#include "loaded_library.h"
#include "resource_folder.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

inline const LoadedFmu& fmu() { return loadedFmu(KVFMU_SHARED_LIBRARY); }

inline const std::string lagUri = resourceFolderUri(
    "lag", {"model.class=com.korvan.kvbridge.models.FirstOrderLag", "model.outputs=1",
            "model.inputs=1", "parameter.K=2", "parameter.T=0.5", "parameter.y0=0.3"});
inline const std::string springUri = resourceFolderUri(
    "spring", {"model.class=com.korvan.kvbridge.models.MassSpringDamper", "model.outputs=2",
               "model.inputs=1", "parameter.c=0.4", "parameter.v0=-0.2"});
inline const std::string tankUri = resourceFolderUri(
    "tank", {"model.class=com.korvan.kvbridge.models.WaterTank", "model.outputs=2",
             "model.inputs=2", "parameter.A=2"});

// y of the lag (K = 2, T = 0.5 s) from 0.3 at t = 0 under the constant input u.
inline double lag(double t, double u = 1.0) {
    return 2.0 * u + (0.3 - 2.0 * u) * std::exp(-t / 0.5);
}

class KvbridgeHost : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_NE(fmu().handle, nullptr) << fmu().error;
        resetTestHost();
    }

    void TearDown() override { EXPECT_EQ(allocationsOutstanding(), 0u); }

    fmi2Component instantiate(const char* name, const std::string& uri) {
        return fmu().fmi2Instantiate(name, fmi2CoSimulation, kvfmuGuid, uri.c_str(), &callbacks,
                                     0, 0);
    }

    // Instantiated, set up from 0 to the stop time, inputs set, initialized.
    fmi2Component ready(const char* name, const std::string& uri,
                        const std::vector<fmi2ValueReference>& inputRefs,
                        const std::vector<double>& inputs, double stop = 100.0) {
        fmi2Component c = instantiate(name, uri);
        EXPECT_NE(c, nullptr) << logText();
        if (!c) return nullptr;
        EXPECT_EQ(fmu().fmi2SetupExperiment(c, 0, 0, 0.0, 1, stop), fmi2OK);
        EXPECT_EQ(fmu().fmi2EnterInitializationMode(c), fmi2OK);
        EXPECT_EQ(fmu().fmi2SetReal(c, inputRefs.data(), inputRefs.size(), inputs.data()), fmi2OK);
        EXPECT_EQ(fmu().fmi2ExitInitializationMode(c), fmi2OK) << logText();
        return c;
    }

    static std::vector<double> read(fmi2Component c, std::vector<fmi2ValueReference> refs) {
        std::vector<double> values(refs.size(), -1.0);
        EXPECT_EQ(fmu().fmi2GetReal(c, refs.data(), refs.size(), values.data()), fmi2OK);
        return values;
    }

    static void finish(fmi2Component c) {
        EXPECT_EQ(fmu().fmi2Terminate(c), fmi2OK);
        fmu().fmi2FreeInstance(c);
    }

    // Every message the host got, one per line.
    static std::string logText() {
        std::string text;
        for (const LogRecord& r : testHost().log) text += r.text + "\n";
        return text;
    }

    static bool logged(const std::string& part) {
        return logText().find(part) != std::string::npos;
    }

    const fmi2CallbackFunctions callbacks = hostCallbacks();
};
