// Which facade the process's Java VM has loaded, and whether it serves an FMU: the system
// class loader holds one com.korvan.kvbridge.KorvanSim, whichever FMU brought it, so a later
// FMU with another facade (another kvbridge.jar version, or a facade of a user's own) must
// learn so at fmi2Instantiate rather than run on the wrong one.
#pragma once

#include "file_path.h"

#include <jni.h>

#include <string>
#include <vector>

// True when the loaded facade serves an FMU that brings these facade jars: it came from one
// of them; or both are kvbridge.jar and the loaded version serves the FMU's (see
// versionServes); or both are another copy of one facade of a user's own (the same facade
// class). Otherwise false with a message naming both. The calling thread must be attached
// and the facade loadable.
bool loadedFacadeServes(JNIEnv* env, const std::vector<FilePath>& facadeJars,
                        std::string& failure);

// Whether a loaded part of version "M.m.p" serves an FMU built with another: the same major
// version, and a minor version no older than the FMU's.
bool versionServes(const std::string& loaded, const std::string& brought);
