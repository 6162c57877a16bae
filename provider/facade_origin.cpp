#include "facade_origin.h"

#include "java_runtime.h"

#include "text_parts.h"

#include <cstdlib>
#include <optional>

namespace {

const char* const facadeClassFile = "com/korvan/kvbridge/KorvanSim.class";
const char* const bridgeTitle = "kvbridge";

// A facade as a jar brings it or as the VM has loaded it: where from, what its manifest says
// (kept by the VM for a loaded one, whose jar a host may have deleted since), and the bytes
// of the facade class.
struct FacadeFacts {
    std::optional<FilePath> file;
    std::string title;
    std::string version;
    std::string classBytes;  // empty when the jar holds no facade
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

// The stream's bytes; the stream is closed.
std::string allBytes(JNIEnv* env, jobject stream) {
    std::string bytes;
    jobject array = callObject(env, stream, "readAllBytes", "()[B");
    if (array) {
        bytes.resize(static_cast<size_t>(env->GetArrayLength(static_cast<jbyteArray>(array))));
        env->GetByteArrayRegion(static_cast<jbyteArray>(array), 0, static_cast<jsize>(bytes.size()),
                                reinterpret_cast<jbyte*>(bytes.data()));
    }
    if (stream) {
        jmethodID close = env->GetMethodID(env->GetObjectClass(stream), "close", "()V");
        if (close) env->CallVoidMethod(stream, close);
        failed(env);
    }
    return bytes;
}

const char* const textGetter = "()Ljava/lang/String;";

FacadeFacts jarFacts(JNIEnv* env, const FilePath& jar) {
    FacadeFacts facts;
    facts.file = jar;
    const LocalFrame frame(env);
    if (!frame.pushed) return facts;
    jclass jarFileClass = env->FindClass("java/util/jar/JarFile");
    jmethodID open = jarFileClass ? env->GetMethodID(jarFileClass, "<init>", "(Ljava/lang/String;)V")
                                  : nullptr;
    jstring name = open ? env->NewStringUTF(pathText(jar).c_str()) : nullptr;
    jobject file = name ? env->NewObject(jarFileClass, open, name) : nullptr;
    if (failed(env) || !file) return facts;
    jobject entry = callObject(env, file, "getEntry", "(Ljava/lang/String;)Ljava/util/zip/ZipEntry;",
                               env->NewStringUTF(facadeClassFile));
    facts.classBytes = allBytes(env, callObject(env, file, "getInputStream",
                                                "(Ljava/util/zip/ZipEntry;)Ljava/io/InputStream;", entry));
    jobject attributes = callObject(env, callObject(env, file, "getManifest", "()Ljava/util/jar/Manifest;"),
                                    "getMainAttributes", "()Ljava/util/jar/Attributes;");
    const char* valueGetter = "(Ljava/lang/String;)Ljava/lang/String;";
    facts.title = utf8(env, callObject(env, attributes, "getValue", valueGetter,
                                       env->NewStringUTF("Implementation-Title")));
    facts.version = utf8(env, callObject(env, attributes, "getValue", valueGetter,
                                         env->NewStringUTF("Implementation-Version")));
    jmethodID close = env->GetMethodID(jarFileClass, "close", "()V");
    if (close) env->CallVoidMethod(file, close);
    failed(env);
    return facts;
}

// The facade the VM's system class loader has loaded.
FacadeFacts loadedFacade(JNIEnv* env) {
    FacadeFacts facts;
    const LocalFrame frame(env);
    if (!frame.pushed) return facts;
    jclass facade = env->FindClass("com/korvan/kvbridge/KorvanSim");
    if (failed(env) || !facade) return facts;
    jobject package = callObject(env, facade, "getPackage", "()Ljava/lang/Package;");
    facts.title = utf8(env, callObject(env, package, "getImplementationTitle", textGetter));
    facts.version = utf8(env, callObject(env, package, "getImplementationVersion", textGetter));
    facts.classBytes = allBytes(env, callObject(env, facade, "getResourceAsStream",
                                                "(Ljava/lang/String;)Ljava/io/InputStream;",
                                                env->NewStringUTF("KorvanSim.class")));
    jobject location = callObject(
        env, callObject(env, callObject(env, facade, "getProtectionDomain",
                                        "()Ljava/security/ProtectionDomain;"),
                        "getCodeSource", "()Ljava/security/CodeSource;"),
        "getLocation", "()Ljava/net/URL;");
    jobject uri = callObject(env, location, "toURI", "()Ljava/net/URI;");
    jclass fileClass = uri ? env->FindClass("java/io/File") : nullptr;
    jmethodID make = fileClass ? env->GetMethodID(fileClass, "<init>", "(Ljava/net/URI;)V") : nullptr;
    jobject file = make ? env->NewObject(fileClass, make, uri) : nullptr;
    if (failed(env) || !file) return facts;
    const std::string path = utf8(env, callObject(env, file, "getPath", textGetter));
    if (!path.empty()) facts.file = FilePath(path);
    return facts;
}

std::string where(const FacadeFacts& jar) {
    return jar.file ? pathText(*jar.file) : "a place the Java VM does not tell";
}

std::string described(const FacadeFacts& jar) {
    std::string text = where(jar);
    if (!jar.title.empty() || !jar.version.empty())
        text += " (" + jar.title + (jar.title.empty() || jar.version.empty() ? "" : " ") +
                jar.version + ")";
    return text;
}

bool isBridge(const FacadeFacts& jar) { return jar.title == bridgeTitle && !jar.version.empty(); }

std::vector<int> versionNumbers(const std::string& version) {
    std::vector<int> numbers;
    for (const std::string& part : textParts(version, '.')) {
        if (part.empty() || part.size() > 9 || part.find_first_not_of("0123456789") != std::string::npos)
            return {};
        numbers.push_back(std::atoi(part.c_str()));
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

bool loadedFacadeServes(JNIEnv* env, const std::vector<FilePath>& facadeJars, std::string& failure) {
    std::optional<FacadeFacts> brought;
    for (const FilePath& jar : facadeJars) {
        FacadeFacts facts = jarFacts(env, jar);
        if (!facts.classBytes.empty()) {
            brought = facts;
            break;
        }
    }
    if (!brought) return true;  // no facade this provider can read: the loaded one, as ever
    const FacadeFacts loaded = loadedFacade(env);
    if (loaded.file && sameFile(*loaded.file, *brought->file)) return true;
    if (isBridge(loaded) && isBridge(*brought)) {
        if (versionServes(loaded.version, brought->version)) return true;
        failure = "this FMU brings kvbridge.jar " + brought->version + " (" + where(*brought) +
                  "), but this process has kvbridge.jar " + loaded.version + " loaded already, from " +
                  where(loaded) + ", which serves FMUs of versions " + servedRange(loaded.version) +
                  " only: run this FMU in a process of its own, or pack the FMUs of one process "
                  "with one kvfmu version";
        return false;
    }
    // Another copy of the same facade, as a host that unpacks an FMU anew for each run has.
    if (!isBridge(loaded) && !isBridge(*brought) && loaded.classBytes == brought->classBytes)
        return true;
    failure = "this process already has another com.korvan.kvbridge.KorvanSim loaded, from " +
              described(loaded) + "; this FMU's facade is " + described(*brought) +
              ": a process holds one facade, so run this FMU in a process of its own";
    return false;
}
