// The test facade itself: that its Script answers and call log are what the bridge and
// front-end tests rely on. Calls the facade through plain JNI on the main thread.
#include "java_host.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using Calls = std::vector<std::string>;

class ScriptedFacade : public ::testing::Test {
protected:
    void SetUp() override {
        scriptReset();
        env = mainThreadEnv();
        cls = env->FindClass("com/korvan/kvbridge/KorvanSim");
        ASSERT_NE(cls, nullptr);
        inst = env->NewStringUTF("inst");
    }
    void TearDown() override {
        for (jobject ref : {static_cast<jobject>(inst), facade, static_cast<jobject>(cls)})
            if (ref) env->DeleteLocalRef(ref);
    }

    // Whether the last call threw; clears the exception.
    bool threw() {
        const bool pending = env->ExceptionCheck();
        if (pending) env->ExceptionClear();
        return pending;
    }
    jobject create() {
        jmethodID m = env->GetStaticMethodID(cls, "create", "()Lcom/korvan/kvbridge/KorvanSim;");
        jobject made = env->CallStaticObjectMethod(cls, m);
        createThrew = threw();
        return made;
    }
    template <typename... Args>
    bool callBoolean(const char* name, const char* signature, Args... args) {
        const bool answer =
            env->CallBooleanMethod(facade, env->GetMethodID(cls, name, signature), args...);
        EXPECT_FALSE(threw()) << name;
        return answer;
    }
    template <typename... Args>
    std::string callText(const char* name, const char* signature, Args... args) {
        auto s = static_cast<jstring>(
            env->CallObjectMethod(facade, env->GetMethodID(cls, name, signature), args...));
        EXPECT_FALSE(threw()) << name;
        if (!s) return "(null)";
        const char* chars = env->GetStringUTFChars(s, nullptr);
        std::string result(chars);
        env->ReleaseStringUTFChars(s, chars);
        env->DeleteLocalRef(s);
        return result;
    }
    std::vector<double> getData() {
        auto array = static_cast<jdoubleArray>(env->CallObjectMethod(
            facade, env->GetMethodID(cls, "getData", "(Ljava/lang/String;)[D"), inst));
        EXPECT_FALSE(threw());
        if (!array) return {-1.0};
        std::vector<double> values(static_cast<size_t>(env->GetArrayLength(array)));
        env->GetDoubleArrayRegion(array, 0, static_cast<jsize>(values.size()), values.data());
        env->DeleteLocalRef(array);
        return values;
    }
    std::string getProp(const char* key) {
        jstring k = env->NewStringUTF(key);
        std::string value = callText(
            "getProp", "(Ljava/lang/String;Ljava/lang/String;)Ljava/lang/String;", inst, k);
        env->DeleteLocalRef(k);
        return value;
    }

    JNIEnv* env = nullptr;
    jclass cls = nullptr;
    jstring inst = nullptr;
    jobject facade = nullptr;
    bool createThrew = false;
};

TEST_F(ScriptedFacade, DefaultAnswersAndCallLog) {
    facade = create();
    ASSERT_FALSE(createThrew);
    ASSERT_NE(facade, nullptr);
    jdoubleArray inputs = env->NewDoubleArray(2);
    const double values[] = {1.0, 2.0};
    env->SetDoubleArrayRegion(inputs, 0, 2, values);

    EXPECT_TRUE(callBoolean("doInitConnection", "()Z"));
    EXPECT_EQ(getProp("number_of_reals"), "(null)");
    env->CallVoidMethod(facade, env->GetMethodID(cls, "setReal", "(Ljava/lang/String;ID)V"), inst,
                        -1, 1.5);
    EXPECT_FALSE(threw());
    EXPECT_TRUE(callBoolean("doStepModel", "(Ljava/lang/String;DD[D)Z", inst, 2.0, 0.5, inputs));
    EXPECT_TRUE(callBoolean("doSetupExperiment", "(Ljava/lang/String;DZD)Z", inst, 0.0, JNI_FALSE,
                            10.0));
    EXPECT_EQ(getData(), std::vector<double>{-1.0});
    EXPECT_EQ(callText("getLasterror", "()Ljava/lang/String;"), "");
    env->DeleteLocalRef(inputs);

    EXPECT_EQ(facadeCalls(),
              (Calls{"create()", "doInitConnection()", "getProp(inst,number_of_reals)",
                     "setReal(inst,-1,1.5)", "doStepModel(inst,2.0,0.5,[1.0, 2.0])",
                     "doSetupExperiment(inst,0.0,false,10.0)", "getData(inst)", "getLasterror()"}));
    EXPECT_EQ(facadeCallThreads().size(), 8u);
}

TEST_F(ScriptedFacade, ScriptedAnswers) {
    scriptAnswer("doInitConnection", false);
    scriptProp("number_of_reals", " 7");
    scriptLastError(nullptr);
    scriptData({1.5, 2.5});
    facade = create();
    EXPECT_FALSE(callBoolean("doInitConnection", "()Z"));
    EXPECT_EQ(getProp("number_of_reals"), " 7");
    EXPECT_EQ(getProp("number_of_inputs"), "(null)");
    EXPECT_EQ(callText("getLasterror", "()Ljava/lang/String;"), "(null)");
    EXPECT_EQ(getData(), (std::vector<double>{1.5, 2.5}));
    scriptData({});
    EXPECT_EQ(getData(), std::vector<double>{});

    scriptReset();
    EXPECT_TRUE(facadeCalls().empty());
    EXPECT_TRUE(callBoolean("doInitConnection", "()Z"));
}

TEST_F(ScriptedFacade, ScriptedThrowIsLoggedFirst) {
    scriptThrowIn("doTerminate");
    facade = create();
    env->CallVoidMethod(facade, env->GetMethodID(cls, "doTerminate", "(Ljava/lang/String;)V"),
                        inst);
    EXPECT_TRUE(threw());
    EXPECT_EQ(facadeCalls(), (Calls{"create()", "doTerminate(inst)"}));
}

TEST_F(ScriptedFacade, CreateReturnsNullOrThrows) {
    scriptCreateReturnsNull(true);
    EXPECT_EQ(create(), nullptr);
    EXPECT_FALSE(createThrew);
    scriptCreateReturnsNull(false);
    scriptThrowIn("create");
    EXPECT_EQ(create(), nullptr);
    EXPECT_TRUE(createThrew);
    EXPECT_EQ(facadeCalls(), (Calls{"create()", "create()"}));
}

TEST_F(ScriptedFacade, LiveObjectsAreThoseStillReferenced) {
    const int before = liveFacadeObjects();
    facade = create();
    jobject dropped = create();
    env->DeleteLocalRef(dropped);
    EXPECT_EQ(liveFacadeObjects(), before + 1);
}

TEST_F(ScriptedFacade, LocalReferenceCountSeesThisThreadsReferences) {
    const size_t before = localReferenceCount();
    jstring a = env->NewStringUTF("a");
    jstring b = env->NewStringUTF("b");
    EXPECT_EQ(localReferenceCount(), before + 2);
    env->DeleteLocalRef(a);
    EXPECT_EQ(localReferenceCount(), before + 1);
    env->DeleteLocalRef(b);
    ASSERT_EQ(env->PushLocalFrame(4), JNI_OK);
    env->NewStringUTF("c");
    EXPECT_EQ(localReferenceCount(), before + 1);
    env->PopLocalFrame(nullptr);
    EXPECT_EQ(localReferenceCount(), before);
}

}  // namespace
