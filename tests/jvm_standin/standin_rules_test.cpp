// The stand-in itself: each JNI rule it checks is reported when broken, an entry it does
// not provide names itself, and failures come when asked for. Driven through JNI directly.
#include "standin_vm.h"

#include <jni.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <thread>
#include <vector>

namespace {

JavaVM* theVm() {
    JavaVM* vm = nullptr;
    jsize count = 0;
    if (JNI_GetCreatedJavaVMs(&vm, 1, &count) != JNI_OK || count < 1) return nullptr;
    return vm;
}

JNIEnv* currentEnv() {
    void* env = nullptr;
    return theVm()->GetEnv(&env, JNI_VERSION_1_8) == JNI_OK ? static_cast<JNIEnv*>(env) : nullptr;
}

// A Java string of an ASCII text, made as the library makes its strings.
jstring newText(JNIEnv* env, const std::string& ascii) {
    const std::vector<jchar> units(ascii.begin(), ascii.end());
    const jchar none = 0;
    return env->NewString(units.empty() ? &none : units.data(), static_cast<jsize>(units.size()));
}

// The characters of a Java string, given back again.
std::string textOf(JNIEnv* env, jstring string) {
    const jsize length = env->GetStringLength(string);
    const jchar* chars = env->GetStringChars(string, nullptr);
    if (!chars) return "(none)";
    std::string text;
    for (jsize i = 0; i < length; ++i) text += static_cast<char>(chars[i] < 0x80 ? chars[i] : '?');
    env->ReleaseStringChars(string, chars);
    return text;
}

// Whether one of the broken rules recorded so far contains the text.
bool reported(const std::string& text) {
    const auto found = standinViolations();
    return std::any_of(found.begin(), found.end(),
                       [&](const std::string& v) { return v.find(text) != std::string::npos; });
}

class StandinRules : public ::testing::Test {
protected:
    void SetUp() override {
        standinServer();
        env = currentEnv();
        ASSERT_NE(env, nullptr);
    }

    jobject facade() {
        jclass cls = env->FindClass("com/korvan/kvbridge/KorvanSim");
        jmethodID create =
            env->GetStaticMethodID(cls, "create", "()Lcom/korvan/kvbridge/KorvanSim;");
        jobject object = env->CallStaticObjectMethod(cls, create);
        env->ExceptionCheck();
        return object;
    }

    JNIEnv* env = nullptr;
};

TEST_F(StandinRules, KeepingTheRulesBreaksNone) {
    jobject object = facade();
    jclass cls = env->FindClass("com/korvan/kvbridge/KorvanSim");
    jmethodID getData = env->GetMethodID(cls, "getData", "(Ljava/lang/String;)[D");
    jstring name = newText(env, "inst");
    auto data = static_cast<jdoubleArray>(env->CallObjectMethod(object, getData, name));
    ASSERT_FALSE(env->ExceptionCheck());
    ASSERT_EQ(env->GetArrayLength(data), 2);
    jdouble* values = env->GetDoubleArrayElements(data, nullptr);
    EXPECT_EQ(values[1], 2.5);
    env->ReleaseDoubleArrayElements(data, values, 0);
    env->DeleteLocalRef(data);
    env->DeleteLocalRef(name);
    jvmStandinCheckQuiescent();
    EXPECT_EQ(standinViolations(), std::vector<std::string>{});
    EXPECT_EQ(standinFacadeCalls(), (std::vector<std::string>{"create()", "getData(inst)"}));
    const std::vector<std::string> calls = standinJniCalls();
    ASSERT_GE(calls.size(), 5u);
    EXPECT_EQ(std::vector<std::string>(calls.begin(), calls.begin() + 5),
              (std::vector<std::string>{"t1 JNI_GetCreatedJavaVMs", "t1 GetEnv",
                                        "t1 FindClass com/korvan/kvbridge/KorvanSim",
                                        "t1 GetStaticMethodID create",
                                        "t1 CallStaticObjectMethodV"}));
    EXPECT_EQ(calls.back(), "t1 DeleteLocalRef");
}

TEST_F(StandinRules, AnEntryItDoesNotProvideNamesItself) {
    env->GetVersion();
    env->MonitorEnter(nullptr);
    EXPECT_TRUE(reported("GetVersion"));
    EXPECT_TRUE(reported("MonitorEnter"));
}

TEST_F(StandinRules, CallsWithAnExceptionPending) {
    EXPECT_EQ(env->FindClass("no/such/Class"), nullptr);
    newText(env, "x");
    EXPECT_TRUE(reported("NewString on thread 1: called with an exception pending"));
    // The exception functions themselves are allowed.
    EXPECT_TRUE(env->ExceptionCheck());
    env->ExceptionClear();
    EXPECT_EQ(standinViolations().size(), 1u);
}

TEST_F(StandinRules, CallsAfterAJavaCallWithoutAnExceptionCheck) {
    jclass cls = env->FindClass("com/korvan/kvbridge/KorvanSim");
    jmethodID create = env->GetStaticMethodID(cls, "create", "()Lcom/korvan/kvbridge/KorvanSim;");
    env->CallStaticObjectMethod(cls, create);
    newText(env, "x");
    EXPECT_TRUE(reported("NewString on thread 1: called after CallStaticObjectMethodV"));
}

TEST_F(StandinRules, LocalReferencesStayInTheirFrameAndThread) {
    ASSERT_EQ(env->PushLocalFrame(4), JNI_OK);
    jstring inner = newText(env, "inner");
    env->PopLocalFrame(nullptr);
    env->GetStringChars(inner, nullptr);
    EXPECT_TRUE(reported("used after it was deleted or its frame was popped"));

    jstring mine = newText(env, "mine");
    std::thread other([&] {
        JNIEnv* otherEnv = nullptr;
        theVm()->AttachCurrentThread(reinterpret_cast<void**>(&otherEnv), nullptr);
        otherEnv->NewGlobalRef(mine);
        newText(env, "wrong thread");  // the first thread's environment
        theVm()->DetachCurrentThread();
    });
    other.join();
    EXPECT_TRUE(reported("local reference of thread 1 used on another thread"));
    EXPECT_TRUE(reported("environment of thread 1 used"));
}

TEST_F(StandinRules, FramesCapacityAndBalance) {
    ASSERT_EQ(env->PushLocalFrame(2), JNI_OK);
    for (int i = 0; i < 3; ++i) newText(env, "x");
    EXPECT_TRUE(reported("more local references (3) than the frame's capacity (2)"));
    std::thread worker([] {
        JNIEnv* workerEnv = nullptr;
        theVm()->AttachCurrentThread(reinterpret_cast<void**>(&workerEnv), nullptr);
        workerEnv->PushLocalFrame(4);
        theVm()->DetachCurrentThread();
    });
    worker.join();
    EXPECT_TRUE(reported("detached with 1 local frame(s) not popped"));
    jvmStandinCheckQuiescent();
    EXPECT_TRUE(reported("thread 1: 1 local frame(s) left pushed"));
}

TEST_F(StandinRules, BuffersGivenBackAndThreadsDetached) {
    jstring text = newText(env, "kept");
    const jchar* chars = env->GetStringChars(text, nullptr);
    ASSERT_EQ(env->GetStringLength(text), 4);
    EXPECT_EQ(chars[3], 't');
    std::thread leftAttached([] {
        JNIEnv* workerEnv = nullptr;
        theVm()->AttachCurrentThread(reinterpret_cast<void**>(&workerEnv), nullptr);
    });
    leftAttached.join();
    jvmStandinCheckQuiescent();
    EXPECT_TRUE(reported("1 string or array buffer(s) not given back"));
    EXPECT_TRUE(reported("thread 2 ended attached by the library"));
    // Detaching the host's own Java thread is the host's business, not the library's.
    theVm()->DetachCurrentThread();
    EXPECT_TRUE(reported("a Java thread of the host"));
}

TEST_F(StandinRules, FailuresComeAtTheCallAskedFor) {
    EXPECT_EQ(jvmStandinFailAt("NoSuchFunction", 1), 0);
    ASSERT_EQ(jvmStandinFailAt("NewString", 2), 1);
    EXPECT_NE(newText(env, "first"), nullptr);
    EXPECT_EQ(newText(env, "second"), nullptr);
    EXPECT_TRUE(env->ExceptionCheck());  // out of memory, as the VM throws it
    env->ExceptionClear();
    EXPECT_NE(newText(env, "third"), nullptr);
    EXPECT_EQ(jvmStandinInjectedFailures(), 1);

    ASSERT_EQ(jvmStandinFailAt("NewGlobalRef", 1), 1);
    EXPECT_EQ(env->NewGlobalRef(newText(env, "x")), nullptr);
    EXPECT_FALSE(env->ExceptionCheck());  // no exception: just no reference
    EXPECT_EQ(standinViolations(), std::vector<std::string>{});
}

TEST_F(StandinRules, ScriptedFacadeAnswers) {
    jvmStandinRemoveMethod("getData");
    jvmStandinThrowIn("doInitConnection");
    jobject object = facade();
    jclass cls = env->FindClass("com/korvan/kvbridge/KorvanSim");
    EXPECT_EQ(env->GetMethodID(cls, "getData", "(Ljava/lang/String;)[D"), nullptr);
    EXPECT_TRUE(env->ExceptionCheck());
    env->ExceptionClear();
    jmethodID connect = env->GetMethodID(cls, "doInitConnection", "()Z");
    EXPECT_EQ(env->CallBooleanMethod(object, connect), JNI_FALSE);
    EXPECT_TRUE(env->ExceptionCheck());
    env->ExceptionDescribe();  // describes and clears, as the VM does
    EXPECT_FALSE(env->ExceptionCheck());
    jmethodID prop = env->GetMethodID(
        cls, "getProp", "(Ljava/lang/String;Ljava/lang/String;)Ljava/lang/String;");
    jstring key = newText(env, "number_of_outputs");
    auto value = static_cast<jstring>(env->CallObjectMethod(object, prop, key, key));
    ASSERT_FALSE(env->ExceptionCheck());
    EXPECT_EQ(textOf(env, value), "2");
    EXPECT_EQ(standinViolations(), std::vector<std::string>{});
}

}  // namespace
