// What an FMI importer takes from the model description and relies on, checked through the
// packed FMUs in a host of our own that knows nothing of kvfmu: start values hold until the
// host sets something, parameters are variables it sets with fmi2SetReal, fmi2Reset gives a
// fresh run, reads in initialization mode give the initial outputs, and outputs cannot be
// set. Every number the host needs (value references, start values, variability) comes from
// modelDescription.xml.
//
// One process: no Java VM runs in it before the first fmi2Instantiate, which starts it;
// every case shares that VM.
#include "fmu_importer.h"
#include "host.h"
#include "java_probe.h"
#include "kvfmu_run_reference.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <map>
#include <memory>
#include <sstream>
#include <tuple>

namespace fs = std::filesystem;

namespace {

using Values = std::vector<std::pair<std::string, double>>;
using Rows = std::vector<std::vector<double>>;

// An unpacked FMU with its binary loaded, for the whole process.
struct LoadedFmu {
    fs::path archive;
    UnpackedFmu fmu;
    FmuBinaryFunctions binary;
};

const std::map<std::string, fs::path>& archives() {
    static const std::map<std::string, fs::path> paths = {
        {"BouncingBall", KVFMU_TEST_FMU_DIR "/BouncingBall.fmu"},
        {"FirstOrderLag", KVFMU_TEST_FMU_DIR "/FirstOrderLag.fmu"},
        {"MassSpringDamper", KVFMU_TEST_FMU_DIR "/MassSpringDamper.fmu"},
        {"WaterTank", KVFMU_TEST_FMU_DIR "/WaterTank.fmu"},
        {"HeatedRoom", KVFMU_TEST_HEATED_ROOM_FMU},
        {"LagWithParameters", KVFMU_TEST_LAG_WITH_PARAMETERS_FMU},
        {"TankWithParameters", KVFMU_TEST_TANK_WITH_PARAMETERS_FMU},
    };
    return paths;
}

std::map<std::string, std::unique_ptr<LoadedFmu>>& loadedFmus() {
    static std::map<std::string, std::unique_ptr<LoadedFmu>> fmus;
    return fmus;
}

const fs::path scratch = fs::path(KVFMU_TEST_SCRATCH) / "fmu_values";

// Unpacks and loads every FMU once, in a process without a Java VM, with Java found
// through JAVA_HOME.
class PackedFmus : public ::testing::Environment {
public:
    void SetUp() override {
        setenv("JAVA_HOME", KVFMU_TEST_JDK, 1);
        ASSERT_EQ(processVm(), nullptr);
        fs::remove_all(scratch);
        for (const auto& [name, archive] : archives()) {
            auto loaded = std::make_unique<LoadedFmu>();
            loaded->archive = archive;
            loaded->fmu = unpackFmu(archive, scratch / name);
            loaded->binary = loadFmuBinary(loaded->fmu.binary());
            ASSERT_NE(loaded->binary.handle, nullptr) << name;
            loadedFmus().emplace(name, std::move(loaded));
        }
    }
};

const auto* const packedFmus = ::testing::AddGlobalTestEnvironment(new PackedFmus);

const LoadedFmu& loaded(const std::string& name) { return *loadedFmus().at(name); }

std::string logText() {
    std::string text;
    for (const LogRecord& r : testHost().log) text += "[" + r.category + "] " + r.text + "\n";
    return text;
}

// A run of a model and a valid value, other than its start value, of every input and
// parameter.
struct ModelRun {
    std::string model;
    double stop;
    double step;
    Values others;
};

const std::vector<ModelRun>& modelRuns() {
    static const std::vector<ModelRun> runs = {
        {"BouncingBall", 2, 0.0625,
         {{"h0", 2}, {"e", 0.7}, {"g", 9.8}, {"vMin", 0.2}, {"internalStepSize", 0.005},
          {"relativeTolerance", 1e-9}, {"absoluteTolerance", 1e-9}}},
        {"FirstOrderLag", 1, 0.125,
         {{"u", 5}, {"K", 2}, {"T", 0.5}, {"y0", 0.25}, {"internalStepSize", 0.0005},
          {"relativeTolerance", 1e-9}, {"absoluteTolerance", 1e-9}}},
        {"MassSpringDamper", 2, 0.0625,
         {{"F", 1.5}, {"m", 2}, {"c", 0.8}, {"k", 3}, {"x0", -0.2}, {"v0", 0.3},
          {"internalStepSize", 0.0005}, {"relativeTolerance", 1e-9},
          {"absoluteTolerance", 1e-9}}},
        {"WaterTank", 10, 1,
         {{"inflow", 0.03}, {"valveOpening", 0.8}, {"A", 2}, {"Kv", 0.04}, {"h0", 1.5},
          {"internalStepSize", 0.02}, {"relativeTolerance", 1e-9},
          {"absoluteTolerance", 1e-9}}},
        {"HeatedRoom", 3600, 60,
         {{"heaterPower", 1500}, {"outsideTemperature", -5}, {"C", 3e6}, {"R", 0.004},
          {"T0", 18}, {"TMax", 30}, {"internalStepSize", 5}, {"relativeTolerance", 1e-9},
          {"absoluteTolerance", 1e-9}}},
    };
    return runs;
}

const ModelRun& modelRun(const std::string& model) {
    for (const ModelRun& run : modelRuns())
        if (run.model == model) return run;
    throw std::invalid_argument(model);
}

// The inputs and parameters of the FMU, as its model description lists them.
std::vector<ImportedVariable> settable(const UnpackedFmu& fmu) {
    std::vector<ImportedVariable> variables = fmu.withCausality("input");
    for (const ImportedVariable& p : fmu.withCausality("parameter")) variables.push_back(p);
    return variables;
}

// The values of those variables among the given ones.
Values only(const Values& values, const std::vector<ImportedVariable>& variables) {
    Values kept;
    for (const auto& [name, value] : values)
        for (const ImportedVariable& v : variables)
            if (v.name == name) kept.emplace_back(name, value);
    return kept;
}

long stepCount(const ModelRun& run) { return std::lround(run.stop / run.step); }

// The steps of a run after its initialization.
void stepTo(HostedInstance& instance, const ModelRun& run) {
    for (long k = 0; k < stepCount(run); ++k) instance.step(run.step);
}

// A whole run on a fresh instance named after the model identifier, as importers do, with
// the given values set after fmi2Instantiate.
Rows freshRun(const LoadedFmu& fmu, const ModelRun& run, const Values& set) {
    HostedInstance instance(fmu.binary, fmu.fmu, fmu.fmu.modelIdentifier);
    EXPECT_TRUE(instance.instantiated()) << logText();
    if (!instance.instantiated()) return {};
    for (const auto& [name, value] : set) instance.set(name, value);
    instance.initialize(0, run.stop);
    stepTo(instance, run);
    instance.free();
    return instance.rows();
}

class EveryModel : public ::testing::TestWithParam<std::string> {
protected:
    void SetUp() override { resetTestHost(); }
    void TearDown() override { EXPECT_EQ(allocationsOutstanding(), 0u); }
    const ModelRun& run() const { return modelRun(GetParam()); }
    const LoadedFmu& fmu() const { return loaded(GetParam()); }
};

std::string modelName(const ::testing::TestParamInfo<std::string>& info) { return info.param; }

INSTANTIATE_TEST_SUITE_P(BuiltInAndExampleModels, EveryModel,
                         ::testing::Values("BouncingBall", "FirstOrderLag", "MassSpringDamper",
                                           "WaterTank", "HeatedRoom"),
                         modelName);

TEST_P(EveryModel, TheValuesTableCoversEveryInputAndParameter) {
    const std::vector<ImportedVariable> variables = settable(fmu().fmu);
    ASSERT_EQ(run().others.size(), variables.size());
    for (const ImportedVariable& v : variables) {
        ASSERT_TRUE(v.start) << v.name << " has no start value";
        EXPECT_EQ(only(run().others, {v}).size(), 1u) << v.name;
        EXPECT_NE(only(run().others, {v}).front().second, *v.start) << v.name;
    }
}

// --- Start values -------------------------------------------------------------------------

TEST_P(EveryModel, InputsLeftAloneStepWithTheirStartValues) {
    Values starts;
    for (const ImportedVariable& input : fmu().fmu.withCausality("input"))
        starts.emplace_back(input.name, *input.start);
    const Rows alone = freshRun(fmu(), run(), {});
    EXPECT_EQ(alone, freshRun(fmu(), run(), starts));
    EXPECT_EQ(alone.size(), static_cast<size_t>(stepCount(run()) + 1));
    EXPECT_TRUE(testHost().log.empty()) << logText();
}

TEST(WaterTank, InputsLeftAloneKeepTheInflowAndTheValveHalfOpen) {
    resetTestHost();
    const Rows rows = freshRun(loaded("WaterTank"), modelRun("WaterTank"), {});
    ASSERT_EQ(rows.size(), 11u);
    // A dh/dt = inflow - Kv valveOpening sqrt(h), from h = 1 with inflow 0.02 and opening 0.5.
    EXPECT_EQ(rows.back()[0], 10.0);
    EXPECT_NEAR(rows.back()[1], 0.9530221668598, 1e-9);
    EXPECT_NEAR(rows.back()[2], 0.0244057135583, 1e-9);
}

TEST_P(EveryModel, GetRealAnswersTheStartValueUntilTheHostSetsOne) {
    const std::vector<ImportedVariable> variables = settable(fmu().fmu);
    HostedInstance instance(fmu().binary, fmu().fmu, fmu().fmu.modelIdentifier);
    ASSERT_TRUE(instance.instantiated()) << logText();
    const auto expectStarts = [&](const char* when) {
        for (const ImportedVariable& v : variables)
            EXPECT_EQ(instance.get(v.name), *v.start) << v.name << " " << when;
    };
    const auto expectOthers = [&](const char* when) {
        for (const auto& [name, value] : run().others)
            EXPECT_EQ(instance.get(name), value) << name << " " << when;
    };
    // FMI 2.0 has no reads before initialization mode.
    instance.enterInitialization(0, run().stop);
    expectStarts("in initialization mode");
    for (const auto& [name, value] : run().others) instance.set(name, value);
    expectOthers("set in initialization mode");
    instance.exitInitialization();
    expectOthers("after initialization");
    instance.step(run().step);
    expectOthers("after a step");
    instance.reset();
    instance.enterInitialization(0, run().stop);
    expectStarts("in initialization mode after fmi2Reset");
    instance.exitInitialization();
    instance.step(run().step);
    expectStarts("in the run after fmi2Reset");
    instance.reset();
    for (const auto& [name, value] : run().others) instance.set(name, value);
    instance.enterInitialization(0, run().stop);
    expectOthers("set before initialization mode");
    instance.free();
    EXPECT_TRUE(testHost().log.empty()) << logText();
}

// --- fmi2Reset ----------------------------------------------------------------------------

// Where the first run is when the host resets the instance.
enum class ResetPoint { afterTerminate, midRun, afterAFailedStep, inInitializationMode };

std::string resetPointName(ResetPoint point);

void PrintTo(ResetPoint point, std::ostream* out) { *out << resetPointName(point); }

std::string resetPointName(ResetPoint point) {
    switch (point) {
    case ResetPoint::afterTerminate: return "AfterTerminate";
    case ResetPoint::midRun: return "MidRun";
    case ResetPoint::afterAFailedStep: return "AfterAFailedStep";
    case ResetPoint::inInitializationMode: return "InInitializationMode";
    }
    return "?";
}

class ResetAnywhere : public ::testing::TestWithParam<std::tuple<std::string, ResetPoint>> {
protected:
    void SetUp() override { resetTestHost(); }
};

INSTANTIATE_TEST_SUITE_P(
    BuiltInAndExampleModels, ResetAnywhere,
    ::testing::Combine(::testing::Values("FirstOrderLag", "MassSpringDamper", "WaterTank",
                                         "HeatedRoom"),
                       ::testing::Values(ResetPoint::afterTerminate, ResetPoint::midRun,
                                         ResetPoint::afterAFailedStep,
                                         ResetPoint::inInitializationMode)),
    [](const auto& param) {
        return std::get<0>(param.param) + "_" + resetPointName(std::get<1>(param.param));
    });

TEST_P(ResetAnywhere, ARunAfterFmi2ResetEqualsAFreshInstancesRun) {
    const auto& [model, point] = GetParam();
    const LoadedFmu& fmu = loaded(model);
    const ModelRun& run = modelRun(model);
    const Rows fresh = freshRun(fmu, run, {});

    HostedInstance instance(fmu.binary, fmu.fmu, fmu.fmu.modelIdentifier);
    ASSERT_TRUE(instance.instantiated()) << logText();
    for (const auto& [name, value] : run.others) instance.set(name, value);
    if (point == ResetPoint::inInitializationMode) {
        instance.enterInitialization(0, run.stop);
    } else {
        instance.initialize(0, run.stop);
        for (int k = 0; k < 3; ++k) instance.step(run.step);
    }
    if (point == ResetPoint::afterTerminate) instance.terminate();
    if (point == ResetPoint::afterAFailedStep) {
        instance.set("internalStepSize", -1);  // tunable: refused at the next step
        EXPECT_EQ(instance.tryStep(run.step), fmi2Error);
        ASSERT_EQ(testHost().log.size(), 1u) << logText();
        EXPECT_NE(testHost().log[0].text.find("internalStepSize"), std::string::npos)
            << logText();
        testHost().log.clear();
    }
    instance.reset();
    instance.initialize(0, run.stop);
    stepTo(instance, run);
    EXPECT_EQ(instance.rows(), fresh);
    instance.free();
    EXPECT_TRUE(testHost().log.empty()) << logText();
    EXPECT_EQ(allocationsOutstanding(), 0u);
}

// FMI 2.0 asks for fmi2SetupExperiment after fmi2Reset; a host that leaves it out gets the
// last set-up, and still a fresh run with fresh initial outputs.
TEST_P(EveryModel, WithoutANewSetUpAfterFmi2ResetTheLastOneHoldsForAFreshRun) {
    const Rows fresh = freshRun(fmu(), run(), {});
    HostedInstance instance(fmu().binary, fmu().fmu, fmu().fmu.modelIdentifier);
    ASSERT_TRUE(instance.instantiated()) << logText();
    for (const auto& [name, value] : run().others) instance.set(name, value);
    instance.initialize(0, run().stop);
    stepTo(instance, run());
    for (const bool terminated : {true, false}) {
        SCOPED_TRACE(terminated ? "reset after fmi2Terminate" : "reset at the stop time");
        if (terminated) instance.terminate();
        instance.reset();
        instance.enterInitializationAsSetUpBefore();
        for (size_t i = 0; i < fmu().fmu.outputs().size(); ++i)
            EXPECT_EQ(instance.get(fmu().fmu.withCausality("output")[i].name), fresh[0][i + 1]);
        instance.exitInitialization();
        stepTo(instance, run());
        EXPECT_EQ(instance.rows(), fresh);
    }
    instance.free();
    EXPECT_TRUE(testHost().log.empty()) << logText();
}

TEST(FirstOrderLag, AfterFmi2ResetTheLagStartsAtRestAgain) {
    resetTestHost();
    const LoadedFmu& lag = loaded("FirstOrderLag");
    HostedInstance instance(lag.binary, lag.fmu, "lag");
    ASSERT_TRUE(instance.instantiated()) << logText();
    instance.set("u", 5);
    instance.initialize(0, 1);
    for (int k = 0; k < 8; ++k) instance.step(0.125);
    EXPECT_NEAR(instance.rows().back()[1], 5 * (1 - std::exp(-1.0)), 1e-9);
    instance.reset();
    instance.initialize(0, 1);
    for (int k = 0; k < 8; ++k) instance.step(0.125);
    EXPECT_EQ(instance.rows().back(), (std::vector<double>{1.0, 0.0}));
    EXPECT_EQ(instance.get("u"), 0.0);
    instance.free();
    EXPECT_TRUE(testHost().log.empty()) << logText();
}

// --- Initialization mode -----------------------------------------------------------------

TEST_P(EveryModel, ReadsInInitializationModeGiveTheInitialOutputs) {
    HostedInstance instance(fmu().binary, fmu().fmu, fmu().fmu.modelIdentifier);
    ASSERT_TRUE(instance.instantiated()) << logText();
    const std::vector<ImportedVariable> outputs = fmu().fmu.withCausality("output");
    const auto readOutputs = [&] {
        std::vector<double> values;
        for (const ImportedVariable& output : outputs) values.push_back(instance.get(output.name));
        return values;
    };
    const auto initialRow = [&] {
        return std::vector<double>(instance.rows().front().begin() + 1,
                                   instance.rows().front().end());
    };
    // With the start values, then with the other values set before the run, then with them
    // set in initialization mode of the run after a reset.
    instance.enterInitialization(0, run().stop);
    const std::vector<double> withStarts = readOutputs();
    instance.exitInitialization();
    EXPECT_EQ(withStarts, initialRow());
    stepTo(instance, run());
    instance.reset();
    for (const auto& [name, value] : run().others) instance.set(name, value);
    instance.enterInitialization(0, run().stop);
    const std::vector<double> withOthers = readOutputs();
    instance.exitInitialization();
    EXPECT_EQ(withOthers, initialRow());
    EXPECT_NE(withOthers, withStarts);
    stepTo(instance, run());
    instance.reset();
    instance.enterInitialization(0, run().stop);
    EXPECT_EQ(readOutputs(), withStarts);
    for (const auto& [name, value] : run().others) instance.set(name, value);
    EXPECT_EQ(readOutputs(), withOthers);
    instance.exitInitialization();
    EXPECT_EQ(initialRow(), withOthers);
    instance.free();
    EXPECT_TRUE(testHost().log.empty()) << logText();
}

struct InitialOutputsCase {
    std::string name;
    Values beforeInitialization;
    Values inInitializationMode;
    double level;
    double outflow;
};

void PrintTo(const InitialOutputsCase& c, std::ostream* out) { *out << c.name; }

class WaterTankInitialization : public ::testing::TestWithParam<InitialOutputsCase> {};

INSTANTIATE_TEST_SUITE_P(
    Cases, WaterTankInitialization,
    ::testing::Values(
        // outflow = Kv valveOpening sqrt(level), Kv = 0.05
        InitialOutputsCase{"StartValues", {}, {}, 1, 0.025},
        InitialOutputsCase{"LevelSetBefore", {{"h0", 4}}, {}, 4, 0.05},
        InitialOutputsCase{"LevelSetInInitializationMode", {}, {{"h0", 4}}, 4, 0.05},
        InitialOutputsCase{"ValveOpenedInInitializationMode", {}, {{"valveOpening", 1}}, 1, 0.05},
        InitialOutputsCase{"ValveShutBefore", {{"valveOpening", 0}}, {{"h0", 2.25}}, 2.25, 0}),
    [](const auto& param) { return param.param.name; });

TEST_P(WaterTankInitialization, ReadsInInitializationModeGiveTheModelsInitialOutputs) {
    resetTestHost();
    const LoadedFmu& tank = loaded("WaterTank");
    HostedInstance instance(tank.binary, tank.fmu, "tank");
    ASSERT_TRUE(instance.instantiated()) << logText();
    for (const auto& [name, value] : GetParam().beforeInitialization) instance.set(name, value);
    instance.enterInitialization(0, 10);
    for (const auto& [name, value] : GetParam().inInitializationMode) instance.set(name, value);
    EXPECT_EQ(instance.get("level"), GetParam().level);
    EXPECT_EQ(instance.get("outflow"), GetParam().outflow);
    EXPECT_EQ(instance.get("level_copy"), GetParam().level);
    EXPECT_EQ(instance.get("outflow_copy"), GetParam().outflow);
    instance.exitInitialization();
    EXPECT_EQ(instance.rows().front(),
              (std::vector<double>{0, GetParam().level, GetParam().outflow}));
    instance.free();
    EXPECT_TRUE(testHost().log.empty()) << logText();
}

// The read gives what no host takes for a value, and fmi2ExitInitializationMode says why.
TEST(WaterTank, ATankThatCannotStartReadsAsNaNInInitializationMode) {
    resetTestHost();
    const LoadedFmu& tank = loaded("WaterTank");
    HostedInstance instance(tank.binary, tank.fmu, "tank");
    ASSERT_TRUE(instance.instantiated()) << logText();
    instance.set("A", -2);
    instance.enterInitialization(0, 10);
    EXPECT_TRUE(std::isnan(instance.get("level")));
    EXPECT_TRUE(std::isnan(instance.get("outflow")));
    EXPECT_TRUE(testHost().log.empty()) << logText();
    EXPECT_EQ(tank.binary.fmi2ExitInitializationMode(instance.component()), fmi2Error);
    ASSERT_EQ(testHost().log.size(), 1u) << logText();
    EXPECT_EQ(testHost().log[0].status, fmi2Error);
    EXPECT_EQ(testHost().log[0].text,
              "fmi2ExitInitializationMode: Model WaterTank failed to initialize at t = 0.0: "
              "Parameter A must be greater than 0, not -2.0 (IllegalArgumentException)");
    testHost().log.clear();
    instance.reset();
    instance.initialize(0, 10);
    EXPECT_EQ(instance.rows().front(), (std::vector<double>{0, 1, 0.025}));
    instance.free();
    EXPECT_TRUE(testHost().log.empty()) << logText();
    EXPECT_EQ(allocationsOutstanding(), 0u);
}

// --- Outputs cannot be set --------------------------------------------------------------

TEST_P(EveryModel, SettingAnOutputOrItsCopyIsAnErrorThatNamesIt) {
    const Rows fresh = freshRun(fmu(), run(), {});
    std::vector<ImportedVariable> computed = fmu().fmu.withCausality("output");
    for (const ImportedVariable& local : fmu().fmu.withCausality("local")) computed.push_back(local);
    ASSERT_EQ(computed.size(), 2 * fmu().fmu.withCausality("output").size());
    for (const ImportedVariable& variable : computed) {
        SCOPED_TRACE(variable.name);
        testHost().log.clear();
        HostedInstance instance(fmu().binary, fmu().fmu, fmu().fmu.modelIdentifier);
        ASSERT_TRUE(instance.instantiated()) << logText();
        EXPECT_EQ(instance.trySet(variable.name, 1.5), fmi2Error);
        ASSERT_EQ(testHost().log.size(), 1u) << logText();
        EXPECT_EQ(testHost().log[0].status, fmi2Error);
        EXPECT_EQ(testHost().log[0].text,
                  "fmi2SetReal: #r" + std::to_string(variable.valueReference) +
                      "# is an output; outputs are computed by the model and cannot be set.");
        // The refusal puts the instance in its error state; a reset gives it a fresh run.
        testHost().log.clear();
        instance.reset();
        instance.initialize(0, run().stop);
        stepTo(instance, run());
        EXPECT_EQ(instance.rows(), fresh);
        instance.free();
        EXPECT_TRUE(testHost().log.empty()) << logText();
    }
}

// --- Parameters ---------------------------------------------------------------------------

// The built-in model with parameters set through fmi2SetReal against the FMU packed with the
// same values (kvfmu-pack --parameter), which the host leaves alone.
struct PackedCase {
    std::string model;
    std::string packed;
    Values parameters;  // as packed
};

void PrintTo(const PackedCase& c, std::ostream* out) { *out << c.packed; }

enum class SetWhen { beforeInitialization, inInitializationMode };

class PackedParameters : public ::testing::TestWithParam<std::tuple<PackedCase, SetWhen>> {};

INSTANTIATE_TEST_SUITE_P(
    Cases, PackedParameters,
    ::testing::Combine(
        ::testing::Values(PackedCase{"FirstOrderLag", "LagWithParameters",
                                     {{"K", 2}, {"T", 0.5}, {"y0", 0.25}}},
                          PackedCase{"WaterTank", "TankWithParameters",
                                     {{"A", 2}, {"Kv", 0.04}, {"h0", 1.5}}}),
        ::testing::Values(SetWhen::beforeInitialization, SetWhen::inInitializationMode)),
    [](const auto& param) {
        return std::get<0>(param.param).model +
               (std::get<1>(param.param) == SetWhen::beforeInitialization
                    ? "_BeforeInitialization"
                    : "_InInitializationMode");
    });

TEST_P(PackedParameters, ParametersSetBeforeTheRunActAsPackedValues) {
    const auto& [packedCase, when] = GetParam();
    resetTestHost();
    const LoadedFmu& packed = loaded(packedCase.packed);
    const LoadedFmu& builtIn = loaded(packedCase.model);
    ModelRun run = modelRun(packedCase.model);
    run.others = only(run.others, builtIn.fmu.withCausality("input"));
    for (const auto& [name, value] : packedCase.parameters)
        EXPECT_EQ(packed.fmu.variable(name).start, value) << name;

    const Rows packedRows = freshRun(packed, run, run.others);
    HostedInstance instance(builtIn.binary, builtIn.fmu, builtIn.fmu.modelIdentifier);
    ASSERT_TRUE(instance.instantiated()) << logText();
    for (const auto& [name, value] : run.others) instance.set(name, value);
    if (when == SetWhen::beforeInitialization)
        for (const auto& [name, value] : packedCase.parameters) instance.set(name, value);
    instance.enterInitialization(0, run.stop);
    if (when == SetWhen::inInitializationMode)
        for (const auto& [name, value] : packedCase.parameters) instance.set(name, value);
    instance.exitInitialization();
    stepTo(instance, run);
    EXPECT_EQ(instance.rows(), packedRows);
    EXPECT_NE(instance.rows(), freshRun(builtIn, run, run.others));
    instance.free();
    EXPECT_TRUE(testHost().log.empty()) << logText();
}

TEST_P(EveryModel, AFixedParameterSetDuringARunFailsTheNextStepByName) {
    const std::vector<ImportedVariable> fixed = [&] {
        std::vector<ImportedVariable> found;
        for (const ImportedVariable& p : fmu().fmu.withCausality("parameter"))
            if (p.variability == "fixed") found.push_back(p);
        return found;
    }();
    ASSERT_FALSE(fixed.empty());
    for (const ImportedVariable& parameter : fixed) {
        SCOPED_TRACE(parameter.name);
        testHost().log.clear();
        const double value = only(run().others, {parameter}).front().second;
        HostedInstance instance(fmu().binary, fmu().fmu, fmu().fmu.modelIdentifier);
        ASSERT_TRUE(instance.instantiated()) << logText();
        instance.initialize(0, run().stop);
        instance.step(run().step);
        instance.set(parameter.name, value);
        EXPECT_EQ(instance.tryStep(run().step), fmi2Error);
        ASSERT_EQ(testHost().log.size(), 1u) << logText();
        const LogRecord& record = testHost().log[0];
        EXPECT_EQ(record.status, fmi2Error);
        std::ostringstream wanted;
        wanted << "parameter " << parameter.name << " (value reference "
               << parameter.valueReference << ") is fixed and was set to ";
        EXPECT_NE(record.text.find(wanted.str()), std::string::npos) << record.text;
        // What the message says to do: fmi2Reset brings the start values back, so the
        // parameter is set again before the initialization.
        const std::string advice = "to run with the new value, reset the instance with "
                                   "fmi2Reset and set it again before fmi2ExitInitializationMode";
        EXPECT_NE(record.text.find(advice), std::string::npos) << record.text;
        testHost().log.clear();
        instance.reset();
        instance.enterInitialization(0, run().stop);
        EXPECT_EQ(instance.get(parameter.name), *parameter.start);
        instance.set(parameter.name, value);
        instance.exitInitialization();
        stepTo(instance, run());
        EXPECT_EQ(instance.rows(), freshRun(fmu(), run(), {{parameter.name, value}}));
        instance.free();
        EXPECT_TRUE(testHost().log.empty()) << logText();
    }
}

TEST_P(EveryModel, ATunableParameterSetDuringARunTakesEffectFromTheNextStep) {
    ModelRun inputsSet = run();
    inputsSet.others = only(run().others, fmu().fmu.withCausality("input"));
    const Rows untouched = freshRun(fmu(), inputsSet, inputsSet.others);
    const long tuneAfter = stepCount(run()) / 2;
    for (const ImportedVariable& parameter : fmu().fmu.withCausality("parameter")) {
        if (parameter.variability != "tunable") continue;
        SCOPED_TRACE(parameter.name);
        testHost().log.clear();
        HostedInstance instance(fmu().binary, fmu().fmu, fmu().fmu.modelIdentifier);
        ASSERT_TRUE(instance.instantiated()) << logText();
        for (const auto& [name, value] : inputsSet.others) instance.set(name, value);
        instance.initialize(0, run().stop);
        for (long k = 0; k < tuneAfter; ++k) instance.step(run().step);
        instance.set(parameter.name, only(run().others, {parameter}).front().second);
        for (long k = tuneAfter; k < stepCount(run()); ++k) instance.step(run().step);
        const Rows& rows = instance.rows();
        ASSERT_EQ(rows.size(), untouched.size());
        EXPECT_TRUE(std::equal(rows.begin(), rows.begin() + tuneAfter + 1, untouched.begin()));
        // The integration's settings change the numbers in their last digits at most.
        if (parameter.name != "internalStepSize" && parameter.name != "relativeTolerance" &&
            parameter.name != "absoluteTolerance") {
            EXPECT_NE(rows.back(), untouched.back());
        }
        instance.free();
        EXPECT_TRUE(testHost().log.empty()) << logText();
    }
}

TEST(FirstOrderLag, AGainTunedDuringARunTakesEffectFromTheNextStep) {
    resetTestHost();
    const LoadedFmu& lag = loaded("FirstOrderLag");
    HostedInstance instance(lag.binary, lag.fmu, "lag");
    ASSERT_TRUE(instance.instantiated()) << logText();
    instance.set("u", 1);
    instance.initialize(0, 2);
    for (int k = 0; k < 8; ++k) instance.step(0.125);
    instance.set("K", 3);
    for (int k = 0; k < 8; ++k) instance.step(0.125);
    // y = 1 - e^-t up to t = 1, then it heads for K u = 3 from there.
    const double atOne = 1 - std::exp(-1.0);
    EXPECT_NEAR(instance.rows()[8][1], atOne, 1e-9);
    EXPECT_NEAR(instance.rows()[16][1], 3 + (atOne - 3) * std::exp(-1.0), 1e-9);
    EXPECT_EQ(instance.get("K"), 3.0);
    instance.free();
    EXPECT_TRUE(testHost().log.empty()) << logText();
}

// The error of the integration follows the tolerances a host sets: the mass of 1 kg on a
// spring of 4 N/m with damping 0.4 N.s/m, from x0 = 0.1 m, against its closed form, with
// internal steps as long as the error allows. Looser tolerances than these would let the
// eighth-order method take each step of 0.5 s whole, so that the step and not the
// tolerance would set the error.
TEST(MassSpringDamper, TheErrorFollowsTheTolerancesTheHostSets) {
    resetTestHost();
    const LoadedFmu& spring = loaded("MassSpringDamper");
    double looser = 1;  // the error at the looser tolerance before
    for (const double tolerance : {1e-8, 1e-10, 1e-12}) {
        SCOPED_TRACE(tolerance);
        HostedInstance instance(spring.binary, spring.fmu, "spring");
        ASSERT_TRUE(instance.instantiated()) << logText();
        instance.set("relativeTolerance", tolerance);
        instance.set("absoluteTolerance", tolerance);
        instance.set("internalStepSize", 1);
        instance.initialize(0, 10);
        for (int k = 0; k < 20; ++k) instance.step(0.5);
        const double sigma = 0.2, omega = std::sqrt(4 - sigma * sigma), b = sigma * 0.1 / omega;
        double error = 0;
        for (const std::vector<double>& row : instance.rows()) {
            const double t = row[0];
            const double x = std::exp(-sigma * t) * (0.1 * std::cos(omega * t) +
                                                     b * std::sin(omega * t));
            error = std::max(error, std::abs(row[1] - x));
        }
        EXPECT_LT(error, 10 * tolerance);
        EXPECT_LT(error, looser / 10);
        looser = error;
        instance.free();
    }
    EXPECT_TRUE(testHost().log.empty()) << logText();
}

// --- Values that are no numbers ------------------------------------------------------------

// A value the model cannot take, set before the run or after its second step: the call that
// uses it fails with a message that names it, the outputs read so far stay, and a reset
// gives a fresh run.
struct BadValueCase {
    std::string name;
    std::string model;
    std::string variable;
    double value;
    bool duringRun;
    std::string failingCall;  // fmi2ExitInitializationMode or fmi2DoStep
    std::string message;      // a part of the message
};

void PrintTo(const BadValueCase& c, std::ostream* out) { *out << c.name; }

class BadValues : public ::testing::TestWithParam<BadValueCase> {};

const double nan = std::nan("");
const double infinity = HUGE_VAL;

INSTANTIATE_TEST_SUITE_P(
    Cases, BadValues,
    ::testing::Values(
        BadValueCase{"ParameterNaNBeforeTheRun", "FirstOrderLag", "K", nan, false,
                     "fmi2ExitInitializationMode",
                     "parameter K (value reference 3) is NaN; parameters must be finite numbers"},
        BadValueCase{"ParameterOutOfRangeBeforeTheRun", "WaterTank", "h0", -1, false,
                     "fmi2ExitInitializationMode",
                     "Model WaterTank failed to initialize at t = 0.0: Parameter h0"},
        BadValueCase{"InputNaNBeforeTheRun", "FirstOrderLag", "u", nan, false, "fmi2DoStep",
                     "input u is NaN at t = 0.0; inputs must be finite numbers"},
        BadValueCase{"InputNaNDuringTheRun", "WaterTank", "inflow", nan, true, "fmi2DoStep",
                     "input inflow is NaN at t = 2.0; inputs must be finite numbers"},
        BadValueCase{"InputOutOfRangeDuringTheRun", "WaterTank", "valveOpening", 1.5, true,
                     "fmi2DoStep",
                     "Model WaterTank failed in the step from t = 2.0 over 1.0 s: valveOpening "
                     "1.5 is outside 0 to 1"},
        BadValueCase{"TunableInfiniteDuringTheRun", "MassSpringDamper", "k", infinity, true,
                     "fmi2DoStep",
                     "parameter k (value reference 7) was set to Infinity during the run; "
                     "parameters must be finite numbers"},
        BadValueCase{"TunableOutOfRangeDuringTheRun", "FirstOrderLag", "T", 0, true, "fmi2DoStep",
                     "Parameter T must be greater than 0, not 0.0"},
        BadValueCase{"FixedNaNDuringTheRun", "HeatedRoom", "T0", nan, true, "fmi2DoStep",
                     "parameter T0 (value reference 8) is fixed and was set to NaN during the "
                     "run"}),
    [](const auto& param) { return param.param.name; });

TEST_P(BadValues, TheCallThatUsesItFailsByNameAndNothingIsLost) {
    const BadValueCase& bad = GetParam();
    resetTestHost();
    const LoadedFmu& fmu = loaded(bad.model);
    const ModelRun& run = modelRun(bad.model);
    const Rows fresh = freshRun(fmu, run, {});
    HostedInstance instance(fmu.binary, fmu.fmu, fmu.fmu.modelIdentifier);
    ASSERT_TRUE(instance.instantiated()) << logText();
    if (!bad.duringRun) instance.set(bad.variable, bad.value);
    if (bad.failingCall == "fmi2ExitInitializationMode") {
        instance.enterInitialization(0, run.stop);
        EXPECT_EQ(fmu.binary.fmi2ExitInitializationMode(instance.component()), fmi2Error);
    } else {
        instance.initialize(0, run.stop);
        if (bad.duringRun) {
            instance.step(run.step);
            instance.step(run.step);
            instance.set(bad.variable, bad.value);
        }
        EXPECT_EQ(instance.tryStep(run.step), fmi2Error);
    }
    ASSERT_EQ(testHost().log.size(), 1u) << logText();
    EXPECT_EQ(testHost().log[0].status, fmi2Error);
    EXPECT_NE(testHost().log[0].text.find(bad.message), std::string::npos) << logText();
    // The outputs of the last good step are still there to read, in the error state too.
    testHost().log.clear();
    if (!instance.rows().empty()) {
        std::vector<double> outputs;
        for (const ImportedVariable& output : fmu.fmu.withCausality("output"))
            outputs.push_back(instance.get(output.name));
        EXPECT_EQ(outputs, std::vector<double>(instance.rows().back().begin() + 1,
                                               instance.rows().back().end()));
        EXPECT_EQ(instance.rows(), Rows(fresh.begin(), fresh.begin() + instance.rows().size()));
    }
    instance.reset();
    instance.initialize(0, run.stop);
    stepTo(instance, run);
    EXPECT_EQ(instance.rows(), fresh);
    instance.free();
    EXPECT_TRUE(testHost().log.empty()) << logText();
    EXPECT_EQ(allocationsOutstanding(), 0u);
}

// A host that knows nothing of our tools sets every parameter with fmi2SetReal and leaves the
// inputs alone: its numbers are those of kvfmu-run --param with the same values.
TEST_P(EveryModel, ParametersSetThroughFmiGiveTheNumbersOfKvfmuRun) {
    const Values parameters = only(run().others, fmu().fmu.withCausality("parameter"));
    const Rows rows = freshRun(fmu(), run(), parameters);
    EXPECT_TRUE(testHost().log.empty()) << logText();
    EXPECT_NE(rows, freshRun(fmu(), run(), {}));
    EXPECT_EQ(rows, kvfmuRunRows(fmu().archive, run().stop, run().step, {},
                                 scratch / ("kvfmu-run-" + GetParam()), parameters));
}

}  // namespace
