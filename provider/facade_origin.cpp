#include "facade_origin.h"

#include "java_runtime.h"

#include <fstream>
#include <iterator>
#include <optional>
#include <sstream>

namespace fs = std::filesystem;

namespace {

const char* const facadeClassFile = "com/korvan/kvbridge/KorvanSim.class";
const char* const bridgeTitle = "kvbridge";

// What a facade jar says of itself in its manifest.
struct JarFacts {
    fs::path file;
    bool holdsFacade = false;
    std::string title;
    std::string version;
};

bool failed(JNIEnv* env) {
    if (!env->ExceptionCheck()) return false;
    env->ExceptionClear();
    return true;
}

// object.name(argument) answering an object; null when anything fails (the exception cleared).
jobject callObject(JNIEnv* env, jobject object, const char* name, const char* signature,
                   jobject argument = nullptr) {
    if (!object) return nullptr;
    jmethodID method = env->GetMethodID(env->GetObjectClass(object), name, signature);
    if (!method) {
        env->ExceptionClear();
        return nullptr;
    }
    jvalue arguments[1];
    arguments[0].l = argument;
    jobject result = env->CallObjectMethodA(object, method, arguments);
    return failed(env) ? nullptr : result;
}

std::string utf8(JNIEnv* env, jobject text) {
    if (!text) return {};
    const char* chars = env->GetStringUTFChars(static_cast<jstring>(text), nullptr);
    if (!chars) {
        env->ExceptionClear();
        return {};
    }
    std::string copy = chars;
    env->ReleaseStringUTFChars(static_cast<jstring>(text), chars);
    return copy;
}

// Local references are made in frames of their own, popped before returning.
struct LocalFrame {
    JNIEnv* env;
    bool pushed;
    explicit LocalFrame(JNIEnv* e) : env(e), pushed(e->PushLocalFrame(16) == JNI_OK) {
        if (!pushed) env->ExceptionClear();
    }
    ~LocalFrame() {
        if (pushed) env->PopLocalFrame(nullptr);
    }
};

JarFacts jarFacts(JNIEnv* env, const fs::path& jar) {
    JarFacts facts;
    facts.file = jar;
    const LocalFrame frame(env);
    if (!frame.pushed) return facts;
    jclass jarFileClass = env->FindClass("java/util/jar/JarFile");
    jmethodID open = jarFileClass ? env->GetMethodID(jarFileClass, "<init>", "(Ljava/lang/String;)V")
                                  : nullptr;
    jstring name = open ? env->NewStringUTF(pathText(jar).c_str()) : nullptr;
    jobject file = name ? env->NewObject(jarFileClass, open, name) : nullptr;
    if (failed(env) || !file) return facts;
    facts.holdsFacade = callObject(env, file, "getEntry", "(Ljava/lang/String;)Ljava/util/zip/ZipEntry;",
                                   env->NewStringUTF(facadeClassFile)) != nullptr;
    jobject attributes = callObject(env, callObject(env, file, "getManifest", "()Ljava/util/jar/Manifest;"),
                                    "getMainAttributes", "()Ljava/util/jar/Attributes;");
    const char* valueSignature = "(Ljava/lang/String;)Ljava/lang/String;";
    facts.title = utf8(env, callObject(env, attributes, "getValue", valueSignature,
                                       env->NewStringUTF("Implementation-Title")));
    facts.version = utf8(env, callObject(env, attributes, "getValue", valueSignature,
                                         env->NewStringUTF("Implementation-Version")));
    jmethodID close = env->GetMethodID(jarFileClass, "close", "()V");
    if (close) env->CallVoidMethod(file, close);
    failed(env);
    return facts;
}

// The jar or folder the VM's facade class came from; nothing when the VM does not tell.
std::optional<fs::path> loadedFacadeFile(JNIEnv* env) {
    const LocalFrame frame(env);
    if (!frame.pushed) return std::nullopt;
    jclass facade = env->FindClass("com/korvan/kvbridge/KorvanSim");
    if (failed(env) || !facade) return std::nullopt;
    jobject location = callObject(
        env, callObject(env, callObject(env, facade, "getProtectionDomain",
                                        "()Ljava/security/ProtectionDomain;"),
                        "getCodeSource", "()Ljava/security/CodeSource;"),
        "getLocation", "()Ljava/net/URL;");
    jobject uri = callObject(env, location, "toURI", "()Ljava/net/URI;");
    jclass fileClass = uri ? env->FindClass("java/io/File") : nullptr;
    jmethodID make = fileClass ? env->GetMethodID(fileClass, "<init>", "(Ljava/net/URI;)V") : nullptr;
    jobject file = make ? env->NewObject(fileClass, make, uri) : nullptr;
    if (failed(env) || !file) return std::nullopt;
    const std::string path = utf8(env, callObject(env, file, "getPath", "()Ljava/lang/String;"));
    if (path.empty()) return std::nullopt;
    return fs::u8path(path);
}

bool sameFile(const fs::path& a, const fs::path& b) {
    std::error_code error;
    return fs::equivalent(a, b, error);
}

bool sameContent(const fs::path& a, const fs::path& b) {
    std::error_code error;
    if (!fs::is_regular_file(a, error) || !fs::is_regular_file(b, error) ||
        fs::file_size(a, error) != fs::file_size(b, error))
        return false;
    std::ifstream first(a, std::ios::binary), second(b, std::ios::binary);
    return first && second &&
           std::equal(std::istreambuf_iterator<char>(first), {},
                      std::istreambuf_iterator<char>(second), {});
}

std::string described(const JarFacts& jar) {
    std::string text = pathText(jar.file);
    if (!jar.title.empty() || !jar.version.empty())
        text += " (" + jar.title + (jar.title.empty() || jar.version.empty() ? "" : " ") +
                jar.version + ")";
    return text;
}

bool isBridge(const JarFacts& jar) { return jar.title == bridgeTitle && !jar.version.empty(); }

std::vector<int> versionNumbers(const std::string& version) {
    std::vector<int> numbers;
    std::istringstream parts(version);
    for (std::string part; std::getline(parts, part, '.');) {
        if (part.empty() || part.find_first_not_of("0123456789") != std::string::npos) return {};
        numbers.push_back(std::stoi(part));
    }
    return numbers;
}

// "6.0 to 6.1" for 6.1.x.
std::string servedRange(const std::string& version) {
    const std::vector<int> numbers = versionNumbers(version);
    if (numbers.size() < 2) return version;
    const std::string major = std::to_string(numbers[0]);
    return major + ".0 to " + major + "." + std::to_string(numbers[1]);
}

}  // namespace

bool versionServes(const std::string& loaded, const std::string& brought) {
    const std::vector<int> have = versionNumbers(loaded);
    const std::vector<int> want = versionNumbers(brought);
    if (have.size() < 2 || want.size() < 2) return loaded == brought;
    return have[0] == want[0] && have[1] >= want[1];
}

bool loadedFacadeServes(JNIEnv* env, const std::vector<fs::path>& facadeJars, std::string& failure) {
    std::optional<JarFacts> brought;
    for (const fs::path& jar : facadeJars) {
        JarFacts facts = jarFacts(env, jar);
        if (facts.holdsFacade) {
            brought = facts;
            break;
        }
    }
    if (!brought) return true;  // a facade split over jars in ways we cannot tell: as before
    const std::optional<fs::path> loadedFile = loadedFacadeFile(env);
    if (loadedFile && (sameFile(*loadedFile, brought->file) || sameContent(*loadedFile, brought->file)))
        return true;
    const JarFacts loaded = loadedFile ? jarFacts(env, *loadedFile) : JarFacts{};
    if (isBridge(loaded) && isBridge(*brought)) {
        if (versionServes(loaded.version, brought->version)) return true;
        failure = "this FMU brings kvbridge.jar " + brought->version + " (" + pathText(brought->file) +
                  "), but this process has kvbridge.jar " + loaded.version + " loaded already, from " +
                  pathText(loaded.file) + ", which serves FMUs of versions " + servedRange(loaded.version) +
                  " only: run this FMU in a process of its own, or pack the FMUs of one process "
                  "with one kvfmu version";
        return false;
    }
    failure = "this process already has another com.korvan.kvbridge.KorvanSim loaded, from " +
              (loadedFile ? described(loaded) : std::string("a place the Java VM does not tell")) +
              "; this FMU's facade is " + described(*brought) +
              ": a process holds one facade, so run this FMU in a process of its own";
    return false;
}
