/* Test stand-in for the Java VM's jvm.dll: a process in which no Java VM runs. */
#define _JNI_IMPLEMENTATION_ /* jni.h then declares the invocation functions as exported */
#include <jni.h>

jint JNICALL JNI_GetCreatedJavaVMs(JavaVM** vms, jsize size, jsize* count) {
    (void)vms;
    (void)size;
    *count = 0;
    return JNI_OK;
}
