// Packed FMUs in a host of our own that does not link the Java VM and knows nothing of
// kvfmu, as an FMI importer would run them. CTest runs every case in a process of its own:
// a process holds one VM at most.
#include "fmu_importer.h"
#include "host.h"
#include "java_probe.h"
#include "kvfmu_guid.h"
#include "kvfmu_run_reference.h"

#include <gtest/gtest.h>
#include <zip.h>

#include <dlfcn.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <algorithm>
#include <fstream>
#include <functional>
#include <iterator>
#include <map>
#include <mutex>
#include <thread>

namespace fs = std::filesystem;

namespace {

using Inputs = std::vector<std::pair<std::string, double>>;
using Rows = std::vector<std::vector<double>>;

struct ModelCase {
    std::string name;
    fs::path fmu;
    double stop;
    double step;
    Inputs inputs;  // the others keep their start values
};

const std::vector<ModelCase>& modelCases() {
    static const std::vector<ModelCase> cases = {
        {"FirstOrderLag", KVFMU_TEST_FMU_DIR "/FirstOrderLag.fmu", 4, 0.125, {{"u", 2}}},
        {"MassSpringDamper", KVFMU_TEST_FMU_DIR "/MassSpringDamper.fmu", 8, 0.0625, {{"F", 1.5}}},
        {"WaterTank", KVFMU_TEST_FMU_DIR "/WaterTank.fmu", 256, 4, {}},
        {"HeatedRoom", KVFMU_TEST_HEATED_ROOM_FMU, 7200, 60, {}},
        {"FirstOrderLagWithRuntime", KVFMU_TEST_BUNDLED_RUNTIME_FMU, 4, 0.125, {{"u", 2}}},
    };
    return cases;
}

const ModelCase& modelCase(const std::string& name) {
    for (const ModelCase& c : modelCases())
        if (c.name == name) return c;
    throw std::invalid_argument(name);
}

// A fresh folder for the current test.
fs::path scratch() {
    const auto* test = ::testing::UnitTest::GetInstance()->current_test_info();
    std::string name = std::string(test->test_suite_name()) + "." + test->name();
    for (char& c : name)
        if (c == '/') c = '_';
    const fs::path folder = fs::path(KVFMU_TEST_SCRATCH) / name;
    fs::remove_all(folder);
    fs::create_directories(folder);
    return folder;
}

// Where the host finds Java: JAVA_HOME, or only a java on PATH behind two links (with the
// test build of the provider, which knows no usual places), or nowhere (no JAVA_HOME, no
// java on PATH).
enum class JavaFrom { javaHome, pathOnly, nowhere };

// No Java on the machine at all: the usual places hidden in a mount namespace of this
// (still single-threaded) process and of the programs it starts. False where namespaces
// are not allowed.
bool hideInstalledJava() {
    return unshare(CLONE_NEWNS) == 0 && mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) == 0 &&
           mount("none", "/usr/lib/jvm", "tmpfs", 0, nullptr) == 0;
}

void findJavaFrom(JavaFrom from, const fs::path& folder) {
    unsetenv("JAVA_HOME");
    const fs::path bin = folder / "bin";
    fs::create_directories(bin);
    setenv("PATH", bin.c_str(), 1);
    if (from == JavaFrom::javaHome) setenv("JAVA_HOME", KVFMU_TEST_JDK, 1);
    if (from == JavaFrom::pathOnly) {
        fs::create_directories(folder / "links");
        fs::create_symlink(fs::path(KVFMU_TEST_JDK) / "bin" / "java", folder / "links" / "java");
        fs::create_symlink(folder / "links" / "java", bin / "java");
    }
}

// The FMU unpacked for a host; with hiddenJava its provider is the test build that knows
// no usual places of Java runtimes.
UnpackedFmu unpackForHost(const fs::path& archive, const fs::path& folder, bool hiddenJava) {
    UnpackedFmu fmu = unpackFmu(archive, folder);
    if (hiddenJava)
        fs::copy_file(KVFMU_TEST_HIDDEN_JAVA_PROVIDER, fmu.binary(), fs::copy_options::overwrite_existing);
    return fmu;
}

std::string logText() {
    std::string text;
    for (const LogRecord& r : testHost().log) text += "[" + r.category + "] " + r.text + "\n";
    return text;
}

// --- A whole co-simulation in a process without a Java VM -------------------------------

struct CosimulationCase {
    std::string model;
    JavaFrom from;
};

class WithoutVm : public ::testing::TestWithParam<CosimulationCase> {};

TEST_P(WithoutVm, CosimulationGivesTheNumbersOfKvfmuRun) {
    const ModelCase& model = modelCase(GetParam().model);
    const fs::path folder = scratch();
    findJavaFrom(GetParam().from, folder);
    // With no Java anywhere, only the FMU's own runtime can serve. Where the installed one
    // cannot be hidden, the provider that knows no usual places stands in.
    const bool hiddenByProvider =
        GetParam().from == JavaFrom::pathOnly || (GetParam().from == JavaFrom::nowhere && !hideInstalledJava());
    resetTestHost();
    ASSERT_EQ(processVm(), nullptr);
    const UnpackedFmu fmu = unpackForHost(model.fmu, folder / "fmu", hiddenByProvider);
    const fs::path javaHome = GetParam().from == JavaFrom::nowhere
                                  ? folder / "fmu" / "resources" / "runtime" / "linux64"
                                  : fs::path(KVFMU_TEST_JDK);
#ifdef KVFMU_TEST_PRODUCT_BINARIES
    if (GetParam().from == JavaFrom::nowhere) {
        EXPECT_LE(fs::file_size(model.fmu), 25'000'000u);
        // Every FMU carries the providers: each platform's stays small.
        const UnpackedFmu packed = unpackFmu(model.fmu, folder / "packed");
        for (const auto& platform : fs::directory_iterator(packed.folder / "binaries")) {
            for (const auto& binary : fs::directory_iterator(platform.path())) {
                if (binary.path().stem() == packed.modelIdentifier) {
                    EXPECT_LT(fs::file_size(binary.path()), 300'000u) << binary.path();
                }
            }
        }
    }
#endif
    FmuBinaryFunctions binary = loadFmuBinary(fmu.binary());
    ASSERT_NE(binary.handle, nullptr);
    EXPECT_STREQ(binary.fmi2GetVersion(), "2.0");

    const Rows rows = simulate(binary, fmu, fmu.modelIdentifier, model.stop, model.step, model.inputs);
    EXPECT_TRUE(testHost().log.empty()) << logText();
    EXPECT_EQ(allocationsOutstanding(), 0u);
    EXPECT_EQ(fs::canonical(javaProperty("java.home")), fs::canonical(javaHome));
    // Hosts unpack the FMU's files without their permissions: the runtime's helper programs
    // lose their execute bits, and the model's Java code can still start programs.
    EXPECT_EQ(javaRunsProgram("/bin/true"), 0);
    EXPECT_EQ(rows, kvfmuRunRows(model.fmu, model.stop, model.step, model.inputs, folder));
    EXPECT_EQ(rows.size(), static_cast<size_t>(model.stop / model.step + 1.5));
}

const char* javaFromName(JavaFrom from) {
    return from == JavaFrom::javaHome ? "JavaHome" : from == JavaFrom::pathOnly ? "JavaOnPath" : "NoJava";
}

void PrintTo(const CosimulationCase& c, std::ostream* out) { *out << c.model << " " << javaFromName(c.from); }

std::string caseName(const ::testing::TestParamInfo<CosimulationCase>& info) {
    return info.param.model + "_" + javaFromName(info.param.from);
}

INSTANTIATE_TEST_SUITE_P(
    BuiltInAndExampleModels, WithoutVm,
    ::testing::Values(CosimulationCase{"FirstOrderLag", JavaFrom::javaHome},
                      CosimulationCase{"MassSpringDamper", JavaFrom::javaHome},
                      CosimulationCase{"WaterTank", JavaFrom::javaHome},
                      CosimulationCase{"HeatedRoom", JavaFrom::javaHome},
                      CosimulationCase{"FirstOrderLag", JavaFrom::pathOnly},
                      CosimulationCase{"MassSpringDamper", JavaFrom::pathOnly},
                      CosimulationCase{"WaterTank", JavaFrom::pathOnly},
                      CosimulationCase{"HeatedRoom", JavaFrom::pathOnly},
                      CosimulationCase{"FirstOrderLagWithRuntime", JavaFrom::nowhere}),
    caseName);

// --- No Java runtime, or none that will do ----------------------------------------------

// A folder that looks like a runtime of the given version, with a VM library that is no
// library at all.
fs::path fakeRuntime(const fs::path& home, const std::string& version) {
    fs::create_directories(home / "lib" / "server");
    std::ofstream(home / "release") << "IMPLEMENTOR=\"Nobody\"\nJAVA_VERSION=\"" << version << "\"\n";
    std::ofstream(home / "lib" / "server" / "libjvm.so") << "not a library";
    return home;
}

TEST(NoJava, InstantiateSaysWhereItLookedAndHowToFixIt) {
    const fs::path folder = scratch();
    findJavaFrom(JavaFrom::nowhere, folder);
    const fs::path usual = KVFMU_TEST_USUAL_JAVA;
    fs::remove_all(usual);
    const fs::path old = fakeRuntime(usual / "runtimes" / "java-11-fake", "11.0.2");
    const fs::path broken = fakeRuntime(folder / "java-17-broken", "17.0.1");
    const UnpackedFmu fmu = unpackForHost(modelCase("FirstOrderLag").fmu, folder / "fmu", true);
    FmuBinaryFunctions binary = loadFmuBinary(fmu.binary());
    ASSERT_NE(binary.handle, nullptr);
    // A host asks these first; they answer without any Java.
    EXPECT_STREQ(binary.fmi2GetVersion(), "2.0");
    EXPECT_STREQ(binary.fmi2GetTypesPlatform(), "default");

    struct Attempt {
        const char* javaHome;
        std::vector<std::string> wanted;
    };
    const std::string noRuntime =
        "fmi2Instantiate: no Java 17+ runtime found: set JAVA_HOME to a JDK or JRE of version 17 "
        "or later";
    const std::vector<Attempt> attempts = {
        {nullptr,
         {noRuntime, "looked in: JAVA_HOME (not set); java on PATH (not found); " +
                         (usual / "default-java").string() + " (no such folder); " + old.string() +
                         " (Java 11.0.2, older than 17))"}},
        {old.c_str(), {noRuntime, "JAVA_HOME=" + old.string() + " (Java 11.0.2, older than 17)"}},
        {"/no/such/java", {noRuntime, "JAVA_HOME=/no/such/java (no such folder)"}},
        {broken.c_str(),
         {"fmi2Instantiate: cannot load the Java VM " + (broken / "lib/server/libjvm.so").string() +
              " (Java 17.0.1 at " + broken.string() + ", found through JAVA_HOME): "}},
    };
    for (const Attempt& attempt : attempts) {
        SCOPED_TRACE(attempt.javaHome ? attempt.javaHome : "JAVA_HOME unset");
        if (attempt.javaHome) setenv("JAVA_HOME", attempt.javaHome, 1);
        resetTestHost();
        fmi2CallbackFunctions callbacks = hostCallbacks();
        const std::string uri = fmu.resourceUri();
        EXPECT_EQ(binary.fmi2Instantiate("lag", fmi2CoSimulation, fmu.guid.c_str(), uri.c_str(),
                                         &callbacks, fmi2False, fmi2False),
                  nullptr);
        ASSERT_EQ(testHost().log.size(), 1u) << logText();
        const LogRecord& record = testHost().log.front();
        EXPECT_EQ(record.status, fmi2Error);
        EXPECT_EQ(record.category, "error");
        EXPECT_EQ(record.instanceName, "lag");
        for (const std::string& part : attempt.wanted)
            EXPECT_NE(record.text.find(part), std::string::npos) << record.text;
        EXPECT_EQ(allocationsOutstanding(), 0u);
        EXPECT_EQ(processVm(), nullptr);
    }
}

// FirstOrderLag unpacked into the test's folder for a host that finds Java through
// JAVA_HOME, its binary loaded.
struct LagForHost {
    fs::path folder = scratch();
    UnpackedFmu fmu;
    FmuBinaryFunctions binary;
    std::string uri;
    LagForHost() {
        findJavaFrom(JavaFrom::javaHome, folder);
        fmu = unpackForHost(modelCase("FirstOrderLag").fmu, folder / "fmu", false);
        binary = loadFmuBinary(fmu.binary());
        uri = fmu.resourceUri();
    }
};

// --- Checks before any Java is looked for ----------------------------------------------

TEST(BeforeJava, AWrongGuidOrDamagedSettingsStartNoVm) {
    const LagForHost lag;
    const fs::path& folder = lag.folder;
    const UnpackedFmu& fmu = lag.fmu;
    const FmuBinaryFunctions& binary = lag.binary;
    const std::string& uri = lag.uri;
    fmi2CallbackFunctions callbacks = hostCallbacks();

    resetTestHost();
    EXPECT_EQ(binary.fmi2Instantiate("lag", fmi2CoSimulation, kvfmuGuid, uri.c_str(), &callbacks,
                                     fmi2False, fmi2False),
              nullptr);
    ASSERT_EQ(testHost().log.size(), 1u);
    EXPECT_EQ(testHost().log[0].format, "fmi2Instantiate: Wrong GUID %s. Expected %s.");
    EXPECT_EQ(testHost().log[0].text, "fmi2Instantiate: Wrong GUID " + std::string(kvfmuGuid) +
                                          ". Expected " + fmu.guid + ".");
    EXPECT_EQ(processVm(), nullptr);

    // Damaged settings are told with their line, before any Java is looked for.
    const UnpackedFmu damaged = unpackForHost(modelCase("FirstOrderLag").fmu, folder / "damaged", true);
    const fs::path settings = damaged.folder / "resources" / "provider.conf";
    std::ifstream packed(settings);
    const long lines = std::count(std::istreambuf_iterator<char>(packed), {}, '\n');
    std::ofstream(settings, std::ios::app) << "colour blue\n";
    FmuBinaryFunctions damagedBinary = loadFmuBinary(damaged.binary());
    resetTestHost();
    const std::string damagedUri = damaged.resourceUri();
    EXPECT_EQ(damagedBinary.fmi2Instantiate("lag", fmi2CoSimulation, damaged.guid.c_str(),
                                            damagedUri.c_str(), &callbacks, fmi2False, fmi2False),
              nullptr);
    ASSERT_EQ(testHost().log.size(), 1u);
    EXPECT_NE(testHost().log[0].text.find("line " + std::to_string(lines + 1) +
                                          ": unknown key 'colour'"),
              std::string::npos)
        << testHost().log[0].text;
    EXPECT_NE(testHost().log[0].text.find("pack the FMU again"), std::string::npos);
    EXPECT_EQ(processVm(), nullptr);
}

// --- The host's call log ------------------------------------------------------------------

TEST(CallLog, ShowsTheGuidTheHostPassed) {
    const LagForHost lag;
    fmi2CallbackFunctions callbacks = hostCallbacks();
    resetTestHost();
    fmi2Component component = lag.binary.fmi2Instantiate(
        "lag", fmi2CoSimulation, lag.fmu.guid.c_str(), lag.uri.c_str(), &callbacks, fmi2False, fmi2True);
    ASSERT_NE(component, nullptr) << logText();
    lag.binary.fmi2FreeInstance(component);
    EXPECT_EQ(logText().find("[logFmiCall] fmi2Instantiate: GUID=" + lag.fmu.guid + "\n"), 0u) << logText();
    EXPECT_EQ(logText().find(kvfmuGuid), std::string::npos) << logText();
}

// --- Facades of other FMUs in the process ------------------------------------------------

// Makes the FMU's kvbridge.jar say it is of another version.
void giveBridgeVersion(const UnpackedFmu& fmu, const std::string& version) {
    const fs::path jar = fmu.folder / "resources" / "kvbridge.jar";
    int error = 0;
    zip_t* zip = zip_open(jar.c_str(), 0, &error);
    ASSERT_NE(zip, nullptr);
    static std::string manifest;
    manifest = "Manifest-Version: 1.0\r\nImplementation-Title: kvbridge\r\n"
               "Implementation-Version: " + version + "\r\n\r\n";
    zip_source_t* source = zip_source_buffer(zip, manifest.data(), manifest.size(), 0);
    ASSERT_GE(zip_file_add(zip, "META-INF/MANIFEST.MF", source, ZIP_FL_OVERWRITE), 0);
    ASSERT_EQ(zip_close(zip), 0);
}

// A host that unpacks each FMU into a folder of its own and removes it after the run, as
// Python importers do: the second FMU brings the same facade as the first, or another.
struct FacadeCase {
    std::string name;
    fs::path first;
    fs::path second;
    std::string secondBridgeVersion;  // written into the second FMU's kvbridge.jar, if any
    std::string refusal;  // {first}, {second}: their resources folders; empty: the second runs
};

std::vector<FacadeCase> facadeCases() {
    const fs::path lag = KVFMU_TEST_FMU_DIR "/FirstOrderLag.fmu", plant = KVFMU_TEST_PLANT_FMU;
    const int major = KVFMU_VERSION_MAJOR, minor = KVFMU_VERSION_MINOR;
    const std::string loaded = std::to_string(major) + "." + std::to_string(minor) + ".0";
    const auto bridgeRefusal = [&](const std::string& version) {
        return "this FMU brings kvbridge.jar " + version + " ({second}/kvbridge.jar), but this "
               "process has kvbridge.jar " + loaded + " loaded already, from {first}/kvbridge.jar";
    };
    const std::string laterMinor = std::to_string(major) + "." + std::to_string(minor + 1) + ".0";
    const std::string laterMajor = std::to_string(major + 1) + ".0.0";
    const std::string another = "this process already has another com.korvan.kvbridge.KorvanSim "
                                "loaded, from {first}/";
    return {
        {"BridgeThenOwnFacade", lag, plant, "", another + "kvbridge.jar"},
        {"OwnFacadeThenBridge", plant, lag, "", another + "kvfmu_facade_worker.jar"},
        {"OwnFacadeTwice", plant, plant, "", ""},
        {"TwoModelsOnOneBridge", lag, KVFMU_TEST_FMU_DIR "/WaterTank.fmu", "", ""},
        {"BridgeOfALaterPatch", lag, lag, loaded.substr(0, loaded.size() - 1) + "9", ""},
        {"BridgeOfALaterMinorVersion", lag, lag, laterMinor, bridgeRefusal(laterMinor)},
        {"BridgeOfALaterMajorVersion", lag, lag, laterMajor, bridgeRefusal(laterMajor)},
    };
}

std::string withFolders(std::string text, const fs::path& folder) {
    for (const std::string name : {"first", "second"})
        for (size_t at; (at = text.find("{" + name + "}")) != std::string::npos;)
            text.replace(at, name.size() + 2, (folder / name / "resources").string());
    return text;
}

void PrintTo(const FacadeCase& c, std::ostream* out) { *out << c.name; }

class SecondFmu : public ::testing::TestWithParam<FacadeCase> {};

TEST_P(SecondFmu, RunsOnTheFacadeLoadedOrIsRefusedNamingBoth) {
    const FacadeCase& c = GetParam();
    const fs::path folder = scratch();
    findJavaFrom(JavaFrom::javaHome, folder);
    {
        const UnpackedFmu first = unpackForHost(c.first, folder / "first", false);
        FmuBinaryFunctions binary = loadFmuBinary(first.binary());
        resetTestHost();
        HostedInstance instance(binary, first, "first");
        ASSERT_TRUE(instance.instantiated()) << logText();
    }
    fs::remove_all(folder / "first");
    const UnpackedFmu second = unpackForHost(c.second, folder / "second", false);
    if (!c.secondBridgeVersion.empty()) giveBridgeVersion(second, c.secondBridgeVersion);
    FmuBinaryFunctions binary = loadFmuBinary(second.binary());
    resetTestHost();
    HostedInstance instance(binary, second, "second");
    EXPECT_EQ(instance.instantiated(), c.refusal.empty()) << logText();
    if (c.refusal.empty()) return;
    ASSERT_EQ(testHost().log.size(), 1u) << logText();
    EXPECT_EQ(testHost().log.front().text.rfind("fmi2Instantiate: " + withFolders(c.refusal, folder), 0), 0u)
        << logText();
}

INSTANTIATE_TEST_SUITE_P(FacadesInOneProcess, SecondFmu, ::testing::ValuesIn(facadeCases()),
                         [](const auto& facadeCase) { return facadeCase.param.name; });

// --- An address freed on one thread and taken on another --------------------------------

// An allocator that hands the block being freed to the next request and runs the host's
// action meanwhile: an instance made on another thread then gets the freed instance's
// address (the library asks for its instance record first), as a real allocator may give it.
struct RecyclingAllocator {
    std::mutex lock;
    void* watched = nullptr;
    void* recycled = nullptr;
    std::function<void()> whileFreeing;
} recycling;

void* recyclingAllocate(size_t count, size_t size) {
    const std::lock_guard<std::mutex> lock(recycling.lock);
    if (void* block = std::exchange(recycling.recycled, nullptr)) return block;
    return std::calloc(count ? count : 1, size ? size : 1);
}

void recyclingFree(void* block) {
    if (block && block == recycling.watched) {
        recycling.watched = nullptr;
        recycling.recycled = block;
        return recycling.whileFreeing();
    }
    std::free(block);
}

TEST(FreeInstance, AnInstanceGivenTheFreedAddressMeanwhileKeepsItsSetUpForReset) {
    const LagForHost lag;
    const UnpackedFmu& fmu = lag.fmu;
    const FmuBinaryFunctions& binary = lag.binary;
    const std::string& uri = lag.uri;
    const fmi2CallbackFunctions callbacks = {hostCallbacks().logger, recyclingAllocate,
                                             recyclingFree, nullptr, &testHost()};
    resetTestHost();
    const auto instantiate = [&](const char* name) {
        return binary.fmi2Instantiate(name, fmi2CoSimulation, fmu.guid.c_str(), uri.c_str(),
                                  &callbacks, fmi2False, fmi2False);
    };
    fmi2Component first = instantiate("first");
    ASSERT_NE(first, nullptr) << logText();
    fmi2Component second = nullptr;
    recycling.watched = first;
    recycling.whileFreeing = [&] {
        std::thread other([&] {
            second = instantiate("second");
            if (second) binary.fmi2SetupExperiment(second, fmi2False, 0, 0, fmi2True, 1);
        });
        other.join();
    };
    binary.fmi2FreeInstance(first);
    ASSERT_EQ(second, first) << logText();

    const fmi2ValueReference u = fmu.reference("u"), y = fmu.reference("y");
    const fmi2Real two = 2;
    fmi2Real output = 0;
    ASSERT_EQ(binary.fmi2SetReal(second, &u, 1, &two), fmi2OK);
    ASSERT_EQ(binary.fmi2EnterInitializationMode(second), fmi2OK);
    ASSERT_EQ(binary.fmi2ExitInitializationMode(second), fmi2OK);
    ASSERT_EQ(binary.fmi2DoStep(second, 0, 0.5, fmi2True), fmi2OK);
    // The set-up given again after the reset starts a new run: its initial output.
    EXPECT_EQ(binary.fmi2Reset(second), fmi2OK) << logText();
    ASSERT_EQ(binary.fmi2EnterInitializationMode(second), fmi2OK);
    ASSERT_EQ(binary.fmi2GetReal(second, &y, 1, &output), fmi2OK);
    EXPECT_EQ(output, 0);
    binary.fmi2FreeInstance(second);
    EXPECT_TRUE(testHost().log.empty()) << logText();
}

// --- The VM the provider starts ---------------------------------------------------------

TEST(StartedVm, CarriesThePackedOptionsJavaToolOptionsAndLeavesTheSignalsToTheHost) {
    const fs::path folder = scratch();
    findJavaFrom(JavaFrom::javaHome, folder);
    setenv("JAVA_TOOL_OPTIONS", "-Dkvfmu.test.tool=reached", 1);
    const UnpackedFmu fmu = unpackForHost(KVFMU_TEST_OPTIONS_FMU, folder / "fmu", false);
    FmuBinaryFunctions binary = loadFmuBinary(fmu.binary());
    resetTestHost();
    HostedInstance instance(binary, fmu, "lag");
    ASSERT_TRUE(instance.instantiated()) << logText();
    EXPECT_EQ(javaProperty("kvfmu.test.packed"), "first");
    EXPECT_EQ(javaProperty("kvfmu.test.tool"), "reached");
    const std::string arguments = vmInputArguments();
    for (const char* option : {"-Dkvfmu.test.packed=first", "-Xmx200m", "-Xrs", "-XX:-UsePerfData"})
        EXPECT_NE(arguments.find(option), std::string::npos) << option << " in " << arguments;
    EXPECT_NE(javaProperty("java.class.path").find("kvbridge.jar"), std::string::npos);
    const char* user = std::getenv("USER");
    EXPECT_FALSE(fs::exists(fs::path("/tmp") / ("hsperfdata_" + std::string(user ? user : "root")) /
                            std::to_string(getpid())));
}

TEST(StartedVm, WhatTheVmSaysWhenItCannotStartReachesTheHostsLog) {
    const fs::path folder = scratch();
    findJavaFrom(JavaFrom::javaHome, folder);
    const UnpackedFmu fmu = unpackForHost(modelCase("FirstOrderLag").fmu, folder / "fmu", false);
    std::ofstream(fmu.folder / "resources" / "provider.conf", std::ios::app) << "vm-option -Xnonsense\n";
    FmuBinaryFunctions binary = loadFmuBinary(fmu.binary());
    resetTestHost();
    HostedInstance instance(binary, fmu, "lag");
    EXPECT_FALSE(instance.instantiated());
    const std::string log = logText();
    const size_t said = log.find("[warning] fmi2Instantiate: the Java VM says: Unrecognized option: -Xnonsense");
    const size_t failed = log.find("[error] fmi2Instantiate: the Java VM cannot start: ");
    EXPECT_NE(said, std::string::npos) << log;
    EXPECT_NE(failed, std::string::npos) << log;
    EXPECT_LT(said, failed) << log;
}

// --- The process around the FMU: environment, locale, fork() ------------------------------

TEST(Environment, AWrongJavaHomeIsNamedInOneWarningAndTheRuntimeFoundServes) {
    const fs::path folder = scratch();
    findJavaFrom(JavaFrom::pathOnly, folder);
    const fs::path wrong = folder / "no-java";
    setenv("JAVA_HOME", wrong.c_str(), 1);
    const ModelCase& model = modelCase("FirstOrderLag");
    const UnpackedFmu fmu = unpackForHost(model.fmu, folder / "fmu", true);
    FmuBinaryFunctions binary = loadFmuBinary(fmu.binary());
    resetTestHost();
    const Rows rows = simulate(binary, fmu, "lag", model.stop, model.step, model.inputs);
    ASSERT_EQ(testHost().log.size(), 1u) << logText();
    const LogRecord& warning = testHost().log.front();
    EXPECT_EQ(warning.status, fmi2Warning);
    EXPECT_EQ(warning.category, "warning");
    for (const std::string& part : {"fmi2Instantiate: JAVA_HOME=" + wrong.string() + " (no such folder)",
                                    fs::canonical(KVFMU_TEST_JDK).string() + ", found through java on PATH"})
        EXPECT_NE(warning.text.find(part), std::string::npos) << warning.text;
    setenv("JAVA_HOME", KVFMU_TEST_JDK, 1);
    EXPECT_EQ(rows, kvfmuRunRows(model.fmu, model.stop, model.step, model.inputs, folder));
}

// The VM reads its class path in the locale's encoding, which under LANG=C is ASCII.
TEST(Environment, UnderTheCLocaleAnFmuInAFolderOutsideAsciiRuns) {
    const fs::path folder = scratch();
    findJavaFrom(JavaFrom::javaHome, folder);
    setenv("LC_ALL", "C", 1);
    setenv("LANG", "C", 1);
    const ModelCase& model = modelCase("HeatedRoom");  // a user's model jar beside the facade's
    const UnpackedFmu fmu = unpackForHost(model.fmu, folder / "Übungen" / "Ölpumpe", false);
    FmuBinaryFunctions binary = loadFmuBinary(fmu.binary());
    resetTestHost();
    const Rows rows = simulate(binary, fmu, "room", model.stop, model.step, model.inputs);
    EXPECT_TRUE(testHost().log.empty()) << logText();
    EXPECT_EQ(rows, kvfmuRunRows(model.fmu, model.stop, model.step, model.inputs, folder));
}

// A child made by fork() after the VM started instantiates and steps as a host would; the
// answer is 0 when it was refused with the reason, 1 when it was not refused at all.
int instantiateInForkedChild(const FmuBinaryFunctions& binary, const UnpackedFmu& fmu) {
    resetTestHost();
    fmi2CallbackFunctions callbacks = hostCallbacks();
    const std::string uri = fmu.resourceUri();
    fmi2Component c = binary.fmi2Instantiate("child", fmi2CoSimulation, fmu.guid.c_str(),
                                             uri.c_str(), &callbacks, fmi2False, fmi2False);
    if (c) {
        binary.fmi2SetupExperiment(c, fmi2False, 0, 0, fmi2False, 0);
        binary.fmi2EnterInitializationMode(c);
        binary.fmi2ExitInitializationMode(c);
        for (int k = 0; k < 20000; ++k) binary.fmi2DoStep(c, k * 0.001, 0.001, fmi2True);
        binary.fmi2FreeInstance(c);
        return 1;
    }
    const std::string log = logText();
    return log.find("fork()") != std::string::npos && log.find("'spawn'") != std::string::npos ? 0 : 2;
}

TEST(Fork, AChildOfTheVmsProcessIsRefusedAtOnceAndNeverHangs) {
    const fs::path folder = scratch();
    findJavaFrom(JavaFrom::javaHome, folder);
    const ModelCase& model = modelCase("FirstOrderLag");
    const UnpackedFmu fmu = unpackForHost(model.fmu, folder / "fmu", false);
    FmuBinaryFunctions binary = loadFmuBinary(fmu.binary());
    resetTestHost();
    const Rows before = simulate(binary, fmu, "parent", model.stop, model.step, model.inputs);
    ASSERT_TRUE(testHost().log.empty()) << logText();
    for (int attempt = 0; attempt < 20; ++attempt) {
        const pid_t child = fork();
        ASSERT_NE(child, -1);
        if (child == 0) _exit(instantiateInForkedChild(binary, fmu));
        int status = 0;
        bool ended = false;
        for (int waited = 0; waited < 100 && !ended; ++waited) {
            ended = waitpid(child, &status, WNOHANG) == child;
            if (!ended) usleep(100000);
        }
        if (!ended) {
            kill(child, SIGKILL);
            waitpid(child, &status, 0);
        }
        EXPECT_TRUE(ended) << "child " << attempt << " hung";
        EXPECT_TRUE(ended && WIFEXITED(status) && WEXITSTATUS(status) == 0)
            << "child " << attempt << " ended with " << status;
    }
    // The parent goes on as before.
    resetTestHost();
    EXPECT_EQ(simulate(binary, fmu, "parent", model.stop, model.step, model.inputs), before);
}

// --- A host that runs a VM of its own -----------------------------------------------------

TEST(HostVm, WithoutOurJarGetsTheFacadeJarsAdded) {
    const fs::path folder = scratch();
    findJavaFrom(JavaFrom::nowhere, folder);
    ASSERT_NE(startHostVm(""), nullptr);
    const ModelCase& model = modelCase("FirstOrderLag");
    const UnpackedFmu fmu = unpackForHost(model.fmu, folder / "fmu", true);
    FmuBinaryFunctions binary = loadFmuBinary(fmu.binary());
    resetTestHost();
    const Rows rows = simulate(binary, fmu, "lag", model.stop, model.step, model.inputs);
    EXPECT_TRUE(testHost().log.empty()) << logText();
    setenv("JAVA_HOME", KVFMU_TEST_JDK, 1);  // for kvfmu-run
    EXPECT_EQ(rows, kvfmuRunRows(model.fmu, model.stop, model.step, model.inputs, folder));
}

TEST(HostVm, WithOurJarIsUsedAsItIs) {
    const fs::path folder = scratch();
    findJavaFrom(JavaFrom::nowhere, folder);
    ASSERT_NE(startHostVm(KVFMU_TEST_KVBRIDGE_JAR), nullptr);
    const ModelCase& model = modelCase("WaterTank");
    const UnpackedFmu fmu = unpackForHost(model.fmu, folder / "fmu", true);
    FmuBinaryFunctions binary = loadFmuBinary(fmu.binary());
    resetTestHost();
    const Rows rows = simulate(binary, fmu, "tank", model.stop, model.step, model.inputs);
    EXPECT_TRUE(testHost().log.empty()) << logText();
    EXPECT_EQ(javaProperty("java.class.path"), KVFMU_TEST_KVBRIDGE_JAR);
    setenv("JAVA_HOME", KVFMU_TEST_JDK, 1);
    EXPECT_EQ(rows, kvfmuRunRows(model.fmu, model.stop, model.step, model.inputs, folder));
}

// --- Host threads the VM does not know --------------------------------------------------

// Instantiates, steps and frees on the calling thread, which must stay attached between
// calls; answers the Java threads alive while it is.
int runOnThisThread(const FmuBinaryFunctions& binary, const UnpackedFmu& fmu, const std::string& name) {
    HostedInstance instance(binary, fmu, name);
    EXPECT_TRUE(instance.instantiated()) << logText();
    if (!instance.instantiated()) return -1;
    EXPECT_TRUE(callingThreadAttached());
    instance.initialize(0, 1);
    for (int k = 0; k < 8; ++k) instance.step(0.125);
    EXPECT_TRUE(callingThreadAttached());
    const int alive = liveJavaThreads();
    instance.free();
    EXPECT_TRUE(callingThreadAttached());
    return alive;
}

TEST(HostThreads, TheThreadThatStartsTheVmIsDetachedWhenItEnds) {
    const fs::path folder = scratch();
    findJavaFrom(JavaFrom::javaHome, folder);
    const UnpackedFmu fmu = unpackForHost(modelCase("FirstOrderLag").fmu, folder / "fmu", false);
    FmuBinaryFunctions binary = loadFmuBinary(fmu.binary());
    resetTestHost();
    int whileCreatorRuns = 0;
    std::thread creator([&] { whileCreatorRuns = runOnThisThread(binary, fmu, "first"); });
    creator.join();
    // Counted from here, the main thread attached for the count takes the creator's place.
    EXPECT_EQ(liveJavaThreads(), whileCreatorRuns);
    int whileWorkerRuns = 0;
    std::thread worker([&] { whileWorkerRuns = runOnThisThread(binary, fmu, "second"); });
    worker.join();
    EXPECT_EQ(whileWorkerRuns, whileCreatorRuns);
    EXPECT_EQ(liveJavaThreads(), whileCreatorRuns);
    EXPECT_FALSE(callingThreadAttached());
    EXPECT_EQ(allocationsOutstanding(), 0u);
}

TEST(HostThreads, AThreadOfARunningVmIsAttachedOnceAndDetachedWhenItEnds) {
    const fs::path folder = scratch();
    findJavaFrom(JavaFrom::javaHome, folder);
    const UnpackedFmu fmu = unpackForHost(modelCase("WaterTank").fmu, folder / "fmu", false);
    FmuBinaryFunctions binary = loadFmuBinary(fmu.binary());
    resetTestHost();
    HostedInstance onMain(binary, fmu, "main");  // the main thread starts the VM
    ASSERT_TRUE(onMain.instantiated()) << logText();
    const int before = liveJavaThreads();
    int during = 0;
    std::thread worker([&] { during = runOnThisThread(binary, fmu, "worker"); });
    worker.join();
    EXPECT_EQ(during, before + 1);
    EXPECT_EQ(liveJavaThreads(), before);
    EXPECT_TRUE(callingThreadAttached());  // the main thread stays the VM's
}

// --- Unload after free, load again --------------------------------------------------------

TEST(Reload, UnloadAfterFreeThenLoadAndInstantiateAgain) {
    const fs::path folder = scratch();
    findJavaFrom(JavaFrom::javaHome, folder);
    const ModelCase& model = modelCase("FirstOrderLag");
    std::map<std::string, UnpackedFmu> unpacked;
    Rows first;
    // Importers unpack into a fresh folder for each run, or reuse one.
    for (const char* where : {"run1", "run2", "run2"}) {
        SCOPED_TRACE(where);
        if (!unpacked.count(where))
            unpacked.emplace(where, unpackForHost(model.fmu, folder / where, false));
        const UnpackedFmu& fmu = unpacked.at(where);
        FmuBinaryFunctions binary = loadFmuBinary(fmu.binary());
        ASSERT_NE(binary.handle, nullptr);
        resetTestHost();
        const Rows rows = simulate(binary, fmu, fmu.modelIdentifier, model.stop, model.step,
                                   model.inputs);
        EXPECT_TRUE(testHost().log.empty()) << logText();
        unloadFmuBinary(binary);
        if (first.empty()) first = rows;
        EXPECT_EQ(rows, first);
    }
    EXPECT_EQ(first.size(), 33u);
}

// --- Several FMUs and instances at once ---------------------------------------------------

// Steps the instances in turn; each must give the numbers kvfmu-run gives for it alone.
void stepInTurn(std::vector<HostedInstance*> instances, const std::vector<const ModelCase*>& models,
                const std::vector<Inputs>& inputs, const fs::path& folder) {
    for (size_t i = 0; i < instances.size(); ++i) {
        ASSERT_TRUE(instances[i]->instantiated()) << logText();
        for (const auto& [name, value] : inputs[i]) instances[i]->set(name, value);
        instances[i]->initialize(0, models[i]->stop);
    }
    for (int k = 0; k < 32; ++k)
        for (size_t i = 0; i < instances.size(); ++i) instances[i]->step(models[i]->stop / 32);
    for (size_t i = 0; i < instances.size(); ++i) {
        instances[i]->free();
        EXPECT_EQ(instances[i]->rows(),
                  kvfmuRunRows(models[i]->fmu, models[i]->stop, models[i]->stop / 32, inputs[i],
                               folder / std::to_string(i)))
            << "instance " << i;
    }
}

TEST(Together, TwoDifferentFmusEachGiveTheirOwnNumbers) {
    const fs::path folder = scratch();
    findJavaFrom(JavaFrom::javaHome, folder);
    const ModelCase& lag = modelCase("FirstOrderLag");
    const ModelCase& tank = modelCase("WaterTank");
    const UnpackedFmu lagFmu = unpackForHost(lag.fmu, folder / "lag", false);
    const UnpackedFmu tankFmu = unpackForHost(tank.fmu, folder / "tank", false);
    FmuBinaryFunctions lagBinary = loadFmuBinary(lagFmu.binary());
    FmuBinaryFunctions tankBinary = loadFmuBinary(tankFmu.binary());
    resetTestHost();
    // Named after their modelIdentifiers, as a widespread importer default does.
    HostedInstance a(lagBinary, lagFmu, lagFmu.modelIdentifier);
    HostedInstance b(tankBinary, tankFmu, tankFmu.modelIdentifier);
    stepInTurn({&a, &b}, {&lag, &tank}, {lag.inputs, tank.inputs}, folder);
    EXPECT_TRUE(testHost().log.empty()) << logText();
}

TEST(Together, TwoInstancesOfOneFmuUnderOneName) {
    const fs::path folder = scratch();
    findJavaFrom(JavaFrom::javaHome, folder);
    const ModelCase& lag = modelCase("FirstOrderLag");
    const UnpackedFmu fmu = unpackForHost(lag.fmu, folder / "lag", false);
    FmuBinaryFunctions binary = loadFmuBinary(fmu.binary());
    resetTestHost();
    HostedInstance a(binary, fmu, fmu.modelIdentifier);
    HostedInstance b(binary, fmu, fmu.modelIdentifier);
    stepInTurn({&a, &b}, {&lag, &lag}, {{{"u", 2}}, {{"u", 5}}}, folder);
    EXPECT_TRUE(testHost().log.empty()) << logText();
}

}  // namespace
