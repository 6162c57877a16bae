/* Machine-dependent JNI types and linkage for Windows x64 (LLP64). Used in place of the
   JDK's Windows header, which a Linux JDK does not ship; jni.h itself is
   platform-neutral. */
#ifndef KVFMU_WINDOWS_JNI_MD_H
#define KVFMU_WINDOWS_JNI_MD_H

#define JNIEXPORT __declspec(dllexport)
#define JNIIMPORT __declspec(dllimport)
/* x64 has one calling convention; an empty JNICALL also avoids a redefinition warning
   with jni.h versions that define it themselves. */
#define JNICALL

/* long is 32 bits on Windows, so jint (and jsize) is long there, not int. */
typedef long jint;
typedef __int64 jlong;
typedef signed char jbyte;

#endif
