// The Windows VM provider under wine, loaded with LoadLibrary as a host loads an FMU's DLL,
// beside the shipped libkvfmu.dll, with the scripted stand-in VM laid out as a Java runtime
// (java\bin\server\jvm.dll and java\release). Each case runs in a process of its own.
#include "fmi2_functions.h"
#include "host.h"
#include "loaded_library.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

namespace {

std::wstring exeFolder() {
    wchar_t path[MAX_PATH];
    const DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring file(path, length);
    return file.substr(0, file.find_last_of(L"\\/"));
}

const std::wstring here = exeFolder();
const std::wstring javaHome = here + L"\\java";
const char* const fmuGuid = "{11111111-2222-5333-8444-555555555555}";

std::string narrow(const std::wstring& text) { return std::string(text.begin(), text.end()); }

// The FMU's binary in the given FMU folder (fmu: the shipped provider; hidden: the test
// build that knows no usual places).
LoadedFmu loadProvider(const wchar_t* fmu, const wchar_t* binary = L"Model.dll") {
    const std::string path = narrow(here + L"\\" + fmu + L"\\binaries\\win64\\" + binary);
    const LoadedFmu p = openFmu(path.c_str());
    EXPECT_NE(p.handle, nullptr) << p.error << " loading " << path;
    if (p.handle) {
        EXPECT_EQ(missingFmi2Functions(p), "");
    }
    return p;
}

// The stand-in's control interface, reached through the jvm.dll the process has loaded.
template <typename F>
F standin(const char* name) {
    LibraryHandle jvm = loadedLibrary("jvm.dll", false);
    EXPECT_NE(jvm, nullptr) << "no jvm.dll loaded";
    return jvm ? reinterpret_cast<F>(librarySymbol(jvm, name)) : nullptr;
}

std::string standinText(const char* function) {
    auto get = standin<const char* (*)()>(function);
    return get ? get() : "";
}

void clearJavaFromEnvironment() {
    SetEnvironmentVariableW(L"JAVA_HOME", nullptr);
    SetEnvironmentVariableW(L"PATH", (here + L"\\no-java").c_str());
}

std::string logText() {
    std::string text;
    for (const LogRecord& r : testHost().log) text += "[" + r.category + "] " + r.text + "\n";
    return text;
}

// Instantiates on the calling thread, runs two steps and frees; answers the outputs.
std::vector<double> cosimulation(const LoadedFmu& p, const char* name, const char* fmu = "fmu",
                                 const std::string& guid = fmuGuid) {
    fmi2CallbackFunctions callbacks = hostCallbacks();
    const std::string resources = "file:///" + narrow(here) + "/" + fmu + "/resources";
    fmi2Component c = p.fmi2Instantiate(name, fmi2CoSimulation, guid.c_str(), resources.c_str(),
                                        &callbacks, fmi2False, fmi2False);
    EXPECT_NE(c, nullptr) << logText();
    if (!c) return {};
    EXPECT_EQ(p.fmi2SetupExperiment(c, fmi2False, 0, 0, fmi2False, 0), fmi2OK);
    EXPECT_EQ(p.fmi2EnterInitializationMode(c), fmi2OK);
    EXPECT_EQ(p.fmi2ExitInitializationMode(c), fmi2OK);
    EXPECT_EQ(p.fmi2DoStep(c, 0, 0.5, fmi2True), fmi2OK);
    EXPECT_EQ(p.fmi2DoStep(c, 0.5, 0.5, fmi2True), fmi2OK);
    const fmi2ValueReference outputs[] = {0, 1};
    std::vector<double> values(2);
    EXPECT_EQ(p.fmi2GetReal(c, outputs, 2, values.data()), fmi2OK);
    EXPECT_EQ(p.fmi2Terminate(c), fmi2OK);
    p.fmi2FreeInstance(c);
    return values;
}

std::vector<std::string> lines(const std::string& text) {
    std::vector<std::string> result;
    size_t begin = 0;
    for (size_t end; (end = text.find('\n', begin)) != std::string::npos; begin = end + 1)
        result.push_back(text.substr(begin, end - begin));
    return result;
}

size_t count(const std::vector<std::string>& entries, const std::string& part) {
    size_t n = 0;
    for (const std::string& entry : entries) n += entry.find(part) != std::string::npos;
    return n;
}

// JNI calls of the function ("t<thread> <function>").
size_t calls(const std::vector<std::string>& records, const std::string& function) {
    size_t n = 0;
    for (const std::string& record : records)
        n += record.size() > function.size() &&
             record.compare(record.size() - function.size() - 1, std::string::npos, " " + function) == 0;
    return n;
}

TEST(WindowsProvider, StartsTheVmOfJavaHomeAndAttachesHostThreadsUntilTheyEnd) {
    clearJavaFromEnvironment();
    SetEnvironmentVariableW(L"JAVA_HOME", javaHome.c_str());
    ASSERT_EQ(GetModuleHandleW(L"jvm.dll"), nullptr);
    resetTestHost();
    const LoadedFmu p = loadProvider(L"fmu");
    ASSERT_NE(p.handle, nullptr);
    EXPECT_EQ(cosimulation(p, "first"), (std::vector<double>{1.5, 2.5}));
    EXPECT_TRUE(testHost().log.empty()) << logText();

    const std::vector<std::string> options = lines(standinText("jvmStandinCreationOptions"));
    ASSERT_GE(options.size(), 5u) << standinText("jvmStandinCreationOptions");
    EXPECT_EQ(options[0], "-Djava.class.path=" + narrow(here) + "\\fmu\\resources\\kvbridge.jar");
    EXPECT_EQ(count(options, "-Dkvfmu.standin.layout=6,2,2"), 1u);
    EXPECT_EQ(count(options, "-Xrs"), 1u);
    EXPECT_EQ(count(options, "-XX:-UsePerfData"), 1u);
    // The start value of the input reached the server before the host's first call.
    EXPECT_NE(standinText("jvmStandinFacadeCalls").find("setReal(first,4,0.5)"), std::string::npos)
        << standinText("jvmStandinFacadeCalls");

    std::vector<double> onWorker;
    std::thread worker([&] { onWorker = cosimulation(p, "second"); });
    worker.join();
    EXPECT_EQ(onWorker, (std::vector<double>{1.5, 2.5}));
    const std::vector<std::string> jni = lines(standinText("jvmStandinJniCalls"));
    EXPECT_EQ(calls(jni, "AttachCurrentThreadAsDaemon"), 1u);
    EXPECT_EQ(calls(jni, "DetachCurrentThread"), 1u);  // when the worker ended
    EXPECT_EQ(calls(jni, "AttachCurrentThread"), 0u);   // no attach per operation
    auto check = standin<void (*)()>("jvmStandinCheckQuiescent");
    ASSERT_NE(check, nullptr);
    check();
    EXPECT_EQ(standinText("jvmStandinViolations"), "");
}

TEST(WindowsProvider, UsesTheVmAlreadyInTheProcess) {
    clearJavaFromEnvironment();
    const std::wstring jvm = javaHome + L"\\bin\\server\\jvm.dll";
    ASSERT_NE(LoadLibraryW(jvm.c_str()), nullptr);
    standin<void (*)()>("jvmStandinReset")();
    standin<void (*)()>("jvmStandinBecomeJavaThread")();
    standin<void (*)(const char*, const char*)>("jvmStandinProp")("number_of_reals", "6");
    standin<void (*)(const char*, const char*)>("jvmStandinProp")("number_of_outputs", "2");
    standin<void (*)(const char*, const char*)>("jvmStandinProp")("number_of_inputs", "2");
    const double data[] = {3.5, 4.5};
    standin<void (*)(const double*, int)>("jvmStandinData")(data, 2);
    resetTestHost();
    const LoadedFmu p = loadProvider(L"hidden");
    ASSERT_NE(p.handle, nullptr);
    EXPECT_EQ(cosimulation(p, "joined"), (std::vector<double>{3.5, 4.5}));
    EXPECT_TRUE(testHost().log.empty()) << logText();
    EXPECT_EQ(standinText("jvmStandinCreationOptions"), "");
    EXPECT_EQ(calls(lines(standinText("jvmStandinJniCalls")), "JNI_CreateJavaVM"), 0u);
}

// A VM of the host's that is older than 17: one message naming its version and the remedy.
TEST(WindowsProvider, AnOlderVmInTheProcessIsNamedWithTheRemedy) {
    clearJavaFromEnvironment();
    const std::wstring jvm = javaHome + L"\\bin\\server\\jvm.dll";
    ASSERT_NE(LoadLibraryW(jvm.c_str()), nullptr);
    standin<void (*)()>("jvmStandinReset")();
    standin<void (*)(const char*, const char*)>("jvmStandinSystemProperty")("java.version", "1.8.0_392");
    resetTestHost();
    const LoadedFmu p = loadProvider(L"hidden");
    ASSERT_NE(p.handle, nullptr);
    fmi2CallbackFunctions callbacks = hostCallbacks();
    EXPECT_EQ(p.fmi2Instantiate("old", fmi2CoSimulation, fmuGuid, "file:///nowhere",
                                &callbacks, fmi2False, fmi2False),
              nullptr);
    ASSERT_EQ(testHost().log.size(), 1u) << logText();
    EXPECT_EQ(testHost().log.front().text,
              "fmi2Instantiate: the Java VM running in this process is Java 1.8.0_392, older than "
              "17, which the FMU needs: run the FMU out of process (where the host offers it), or "
              "run the host on Java 17 or later");
    EXPECT_EQ(calls(lines(standinText("jvmStandinJniCalls")), "JNI_CreateJavaVM"), 0u);
    EXPECT_EQ(standinText("jvmStandinViolations"), "");
}

// A copy of the stand-in runtime whose jvm.dll says it is for 32-bit x86.
std::wstring runtimeFor32BitX86() {
    const std::wstring home = here + L"\\java-x86";
    CreateDirectoryW(home.c_str(), nullptr);
    CreateDirectoryW((home + L"\\bin").c_str(), nullptr);
    CreateDirectoryW((home + L"\\bin\\server").c_str(), nullptr);
    CopyFileW((javaHome + L"\\release").c_str(), (home + L"\\release").c_str(), FALSE);
    const std::wstring dll = home + L"\\bin\\server\\jvm.dll";
    CopyFileW((javaHome + L"\\bin\\server\\jvm.dll").c_str(), dll.c_str(), FALSE);
    std::fstream file(std::filesystem::path(dll), std::ios::in | std::ios::out | std::ios::binary);
    uint32_t peOffset = 0;
    file.seekg(0x3c);
    file.read(reinterpret_cast<char*>(&peOffset), sizeof peOffset);
    const uint16_t x86 = 0x14c;
    file.seekp(peOffset + 4);
    file.write(reinterpret_cast<const char*>(&x86), sizeof x86);
    return home;
}

// A runtime for another processor found first is passed over and named; so is the JAVA_HOME
// that named it, in one warning with the runtime used instead.
TEST(WindowsProvider, ARuntimeForAnotherProcessorIsPassedOverWithAWarning) {
    clearJavaFromEnvironment();
    const std::wstring x86 = runtimeFor32BitX86();
    SetEnvironmentVariableW(L"JAVA_HOME", x86.c_str());
    SetEnvironmentVariableW(L"PATH", (javaHome + L"\\bin").c_str());
    resetTestHost();
    const LoadedFmu p = loadProvider(L"hidden");
    ASSERT_NE(p.handle, nullptr);
    EXPECT_EQ(cosimulation(p, "found"), (std::vector<double>{1.5, 2.5}));
    ASSERT_EQ(testHost().log.size(), 1u) << logText();
    const LogRecord& warning = testHost().log.front();
    EXPECT_EQ(warning.status, fmi2Warning);
    for (const std::string& part :
         {"fmi2Instantiate: JAVA_HOME=" + narrow(x86) +
              " (Java 17.0.99 for 32-bit x86, not for x86-64) is not a usable Java runtime",
          std::string(", found through java on PATH instead")})
        EXPECT_NE(warning.text.find(part), std::string::npos) << warning.text;
}

TEST(WindowsProvider, StartsTheVmOfTheFmusOwnRuntimeWhereNoJavaIsInstalled) {
    clearJavaFromEnvironment();
    resetTestHost();
    const LoadedFmu p = loadProvider(L"bundled");
    ASSERT_NE(p.handle, nullptr);
    EXPECT_EQ(cosimulation(p, "carried", "bundled"), (std::vector<double>{1.5, 2.5}));
    EXPECT_TRUE(testHost().log.empty()) << logText();
    wchar_t path[MAX_PATH];
    const DWORD length = GetModuleFileNameW(GetModuleHandleW(L"jvm.dll"), path, MAX_PATH);
    std::wstring loaded(path, length);
    for (wchar_t& c : loaded)
        if (c == L'/') c = L'\\';
    const std::wstring carried = L"\\bundled\\resources\\runtime\\win64\\bin\\server\\jvm.dll";
    ASSERT_GT(loaded.size(), carried.size());
    EXPECT_EQ(loaded.substr(loaded.size() - carried.size()), carried) << narrow(loaded);
}

// The built-in FirstOrderLag as the Linux build packs it for both platforms, unpacked by the
// test set-up with the stand-in as its own runtime and the stand-in's script added to its
// settings (a Windows build configured with KVFMU_LINUX_BUILD). It runs as the test
// provider.two_platform_fmu, which sets KVFMU_TWO_PLATFORM_FMU once the FMU is unpacked; its
// discovered copy, which nothing orders after the unpacking, passes it by.
TEST(WindowsProvider, RunsTheTwoPlatformFmuOfTheLinuxBuild) {
    if (!std::getenv("KVFMU_TWO_PLATFORM_FMU")) GTEST_SKIP() << "runs as provider.two_platform_fmu";
    std::ifstream description(narrow(here) + "\\two-platform\\modelDescription.xml");
    if (!description) GTEST_SKIP() << "no two-platform FMU unpacked (configure with KVFMU_LINUX_BUILD)";
    const std::string xml((std::istreambuf_iterator<char>(description)), std::istreambuf_iterator<char>());
    const size_t at = xml.find("guid=\"") + 6;
    const std::string guid = xml.substr(at, xml.find('"', at) - at);
    clearJavaFromEnvironment();
    resetTestHost();
    const LoadedFmu p = loadProvider(L"two-platform", L"FirstOrderLag.dll");
    ASSERT_NE(p.handle, nullptr);
    EXPECT_EQ(cosimulation(p, "lag", "two-platform", guid), (std::vector<double>{0.75, 0.75}));
    EXPECT_TRUE(testHost().log.empty()) << logText();
}

TEST(WindowsProvider, WithoutJavaInstantiateSaysWhereItLooked) {
    clearJavaFromEnvironment();
    resetTestHost();
    const LoadedFmu p = loadProvider(L"hidden");
    ASSERT_NE(p.handle, nullptr);
    EXPECT_STREQ(p.fmi2GetVersion(), "2.0");
    EXPECT_STREQ(p.fmi2GetTypesPlatform(), "default");
    fmi2CallbackFunctions callbacks = hostCallbacks();
    EXPECT_EQ(p.fmi2Instantiate("lonely", fmi2CoSimulation, fmuGuid, "file:///nowhere", &callbacks,
                                fmi2False, fmi2False),
              nullptr);
    ASSERT_EQ(testHost().log.size(), 1u) << logText();
    const LogRecord& record = testHost().log.front();
    EXPECT_EQ(record.status, fmi2Error);
    EXPECT_EQ(record.category, "error");
    EXPECT_EQ(record.text.rfind("fmi2Instantiate: no Java 17+ runtime found: set JAVA_HOME to a "
                                "JDK or JRE of version 17 or later (looked in: JAVA_HOME (not set); "
                                "java.exe on PATH (not found); ",
                                0),
              0u)
        << record.text;
    EXPECT_EQ(GetModuleHandleW(L"jvm.dll"), nullptr);
    EXPECT_EQ(allocationsOutstanding(), 0u);
}

}  // namespace
