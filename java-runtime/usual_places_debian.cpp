// Debian's usual places: the default runtime, then every runtime under /usr/lib/jvm.
#include "java_runtime.h"

UsualPlaces usualJavaPlaces() { return {{"/usr/lib/jvm/default-java"}, {"/usr/lib/jvm"}}; }
