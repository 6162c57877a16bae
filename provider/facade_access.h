// The facade class com.korvan.kvbridge.KorvanSim, which libkvfmu finds through the VM's
// system class loader: when a VM started by the host cannot load it, the FMU's facade jars
// are added to that class loader's search path.
#pragma once

#include "file_path.h"

#include <jni.h>

#include <string>
#include <vector>

// True when the class can be loaded (after adding the jars, if need be); otherwise false
// with the reason. The calling thread must be attached.
bool makeFacadeLoadable(JavaVM* vm, JNIEnv* env, const std::vector<FilePath>& jars,
                        std::string& failure);
