// The code the provider and kvfmu-run share, without any Java VM: provider.conf, and the
// order in which a Java runtime is looked for (runtimes faked by their release files).
#include "java_runtime.h"
#include "provider_settings.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>

namespace fs = std::filesystem;

namespace {

struct SettingsCase {
    const char* text;
    std::vector<std::string> problems;
};

TEST(ProviderSettings, ReadsEveryKeyAndSkipsComments) {
    const SettingsReading reading = parseProviderSettings(
        "\xEF\xBB\xBF# written by kvfmu-pack\r\n"
        "guid {ABC}\n"
        "\n"
        "   # an indented comment\n"
        "facade-jar  kvbridge.jar \t# the facade\n"
        "facade-jar\tmore.jar\n"
        "vm-option -Xmx512m\t#\tas packed\n"
        "vm-option -Dname=two words \n"
        "vm-option -Dchannel=#7 -Dtag=a#b\n"
        "start 4 0.5 # input u\r\n"
        "start 7   -1E-7\n");
    EXPECT_EQ(reading.problems, std::vector<std::string>{});
    const ProviderSettings& s = reading.settings;
    EXPECT_EQ(s.guid, "{ABC}");
    EXPECT_EQ(s.facadeJars, (std::vector<std::string>{"kvbridge.jar", "more.jar"}));
    EXPECT_EQ(s.vmOptions, (std::vector<std::string>{"-Xmx512m", "-Dname=two words",
                                                     "-Dchannel=#7 -Dtag=a#b"}));
    ASSERT_EQ(s.startValues.size(), 2u);
    EXPECT_EQ(s.startValues[0].valueReference, 4u);
    EXPECT_EQ(s.startValues[0].value, 0.5);
    EXPECT_EQ(s.startValues[1].valueReference, 7u);
    EXPECT_EQ(s.startValues[1].value, -1e-7);
}

TEST(ProviderSettings, RefusesWhatItDoesNotKnowWithTheLine) {
    const std::string valid = "guid {A}\nfacade-jar k.jar\n";
    const std::vector<SettingsCase> cases = {
        {"", {"no guid line", "no facade-jar line"}},
        {"guid {A}\nguid {B}\nfacade-jar k.jar\n", {"line 2: a second guid line"}},
        {"guid {A}\nfacade-jar k.jar\ncolour blue\n", {"line 3: unknown key 'colour'"}},
        {"guid\nfacade-jar k.jar\n", {"line 1: guid without a value", "no guid line"}},
        {"guid {A}\nfacade-jar ../../etc/x.jar\n",
         {"line 2: facade-jar '../../etc/x.jar' is not a file name in the resources folder",
          "no facade-jar line"}},
        {"guid {A}\nfacade-jar k.jar\nstart 4\n",
         {"line 3: start '4': expected a value reference and a finite number"}},
        {"guid {A}\nfacade-jar k.jar\nstart x 1\n",
         {"line 3: start 'x 1': expected a value reference and a finite number"}},
        {"guid {A}\nfacade-jar k.jar\nstart 4 inf\n",
         {"line 3: start '4 inf': expected a value reference and a finite number"}},
        {"guid {A}\nfacade-jar k.jar\nstart 4 0,5\n",
         {"line 3: start '4 0,5': expected a value reference and a finite number"}},
        {"guid {A}\nfacade-jar k.jar\nstart -1 2\n",
         {"line 3: start '-1 2': expected a value reference and a finite number"}},
        {"guid {A}\nfacade-jar k.jar\nstart 4294967296 2\n",
         {"line 3: start '4294967296 2': expected a value reference and a finite number"}},
    };
    for (const SettingsCase& c : cases)
        EXPECT_EQ(parseProviderSettings(c.text).problems, c.problems) << c.text;
    EXPECT_EQ(readProviderSettings("/no/such/provider.conf").problems,
              std::vector<std::string>{"cannot be read"});
}

TEST(JavaVersion, MajorVersionOfReleaseFiles) {
    const std::vector<std::pair<std::string, int>> cases = {
        {"17.0.15", 17}, {"21", 21}, {"25-ea", 25}, {"1.8.0_392", 8}, {"11.0.2", 11},
        {"", 0}, {"abc", 0}, {"1.", 0}};
    for (const auto& [version, major] : cases) EXPECT_EQ(javaMajorVersion(version), major) << version;
}

// Fake runtimes in a folder of the test's own.
class RuntimeSearchTest : public ::testing::Test {
protected:
    // A folder per test: CTest runs them in parallel.
    fs::path root = fs::path(KVFMU_TEST_SCRATCH) / "runtime-search" /
                    ::testing::UnitTest::GetInstance()->current_test_info()->name();

    void SetUp() override {
        fs::remove_all(root);
        fs::create_directories(root / "empty-bin");
        unsetenv("JAVA_HOME");
        setenv("PATH", (root / "empty-bin").c_str(), 1);
    }

    fs::path runtime(const std::string& name, const std::string& version, bool withVm = true) {
        const fs::path home = root / name;
        fs::create_directories(home / "bin");
        if (!version.empty()) std::ofstream(home / "release") << "JAVA_VERSION=\"" << version << "\"\n";
        if (withVm) {
            fs::create_directories(home / "lib" / "server");
            std::ofstream(home / "lib" / "server" / "libjvm.so") << "";
        }
        std::ofstream(home / "bin" / "java") << "";
        return home;
    }
};

TEST_F(RuntimeSearchTest, JavaHomeComesFirstThenPathThenTheUsualPlaces) {
    const fs::path home = runtime("home", "17.0.1");
    const fs::path onPath = runtime("on-path", "21.0.2");
    const fs::path usual = runtime("usual", "25");
    const UsualPlaces places{{usual}, {}};

    setenv("JAVA_HOME", home.c_str(), 1);
    setenv("PATH", (onPath / "bin").c_str(), 1);
    RuntimeSearch search = findJavaRuntime(places);
    ASSERT_TRUE(search.runtime);
    EXPECT_EQ(search.runtime->home, home);
    EXPECT_EQ(search.runtime->foundThrough, "JAVA_HOME");
    EXPECT_EQ(search.runtime->vmLibrary, home / "lib" / "server" / "libjvm.so");

    unsetenv("JAVA_HOME");
    search = findJavaRuntime(places);
    ASSERT_TRUE(search.runtime);
    EXPECT_EQ(search.runtime->home, onPath);
    EXPECT_EQ(search.runtime->version, "21.0.2");

    setenv("PATH", (root / "empty-bin").c_str(), 1);
    search = findJavaRuntime(places);
    ASSERT_TRUE(search.runtime);
    EXPECT_EQ(search.runtime->home, usual);
}

TEST_F(RuntimeSearchTest, JavaOnPathIsFollowedThroughItsLinks) {
    const fs::path real = runtime("real", "17.0.9");
    fs::create_directories(root / "links");
    fs::create_symlink(real / "bin" / "java", root / "links" / "java");
    fs::create_symlink(root / "links" / "java", root / "empty-bin" / "java");
    const RuntimeSearch search = findJavaRuntime({});
    ASSERT_TRUE(search.runtime);
    EXPECT_EQ(search.runtime->home, real);
    EXPECT_EQ(search.runtime->foundThrough, "java on PATH");
}

TEST_F(RuntimeSearchTest, ThatWhichDoesNotQualifyIsSkippedAndNamed) {
    setenv("JAVA_HOME", runtime("old", "11.0.2").c_str(), 1);
    setenv("PATH", (runtime("no-vm", "17", false) / "bin").c_str(), 1);
    const fs::path parent = root / "jvm";
    fs::create_directories(parent);
    runtime("jvm/java-8", "1.8.0_392");
    runtime("jvm/java-17", "17.0.9");
    runtime("jvm/java-17-newer", "17.0.15");
    runtime("jvm/java-21-broken-release", "");
    fs::create_directories(parent / "not-a-runtime");
    const UsualPlaces places{{root / "default-java"}, {parent}};

    const RuntimeSearch search = findJavaRuntime(places);
    ASSERT_TRUE(search.runtime);
    EXPECT_EQ(search.runtime->home, parent / "java-17-newer");  // the newest under the parent
    EXPECT_EQ(search.looked,
              (std::vector<std::string>{
                  "JAVA_HOME=" + (root / "old").string() + " (Java 11.0.2, older than 17)",
                  "java on PATH: " + (root / "no-vm/bin/java").string() +
                      " (Java 17 without lib/server/libjvm.so)",
                  (root / "default-java").string() + " (no such folder)",
                  (parent / "java-8").string() + " (Java 1.8.0_392, older than 17)"}));
}

TEST_F(RuntimeSearchTest, NothingFoundSaysWhatToDo) {
    const RuntimeSearch search = findJavaRuntime({{root / "default-java"}, {root / "jvm"}});
    EXPECT_FALSE(search.runtime);
    EXPECT_EQ(noRuntimeMessage(search),
              "no Java 17+ runtime found: set JAVA_HOME to a JDK or JRE of version 17 or later "
              "(on Debian: apt-get install openjdk-17-jre-headless) (looked in: JAVA_HOME (not "
              "set); java on PATH (not found); " +
                  (root / "default-java").string() + " (no such folder); " +
                  (root / "jvm/*").string() + " (no such folder))");
}

}  // namespace
