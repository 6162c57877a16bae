#!/usr/bin/env bash
# Fails unless the shared library exports exactly the names in the list, all as functions,
# and imports nothing from the Java VM library but JNI_GetCreatedJavaVMs.
set -euo pipefail
lib=$1 expected=$2

actual=$(nm -D --defined-only "$lib" | awk '{print $2, $3}')
if echo "$actual" | awk '$1 != "T"' | grep -q .; then
    echo "exported symbols that are not functions:"; echo "$actual" | awk '$1 != "T"'; exit 1
fi
if ! diff <(LC_ALL=C sort "$expected") <(echo "$actual" | awk '{print $2}' | LC_ALL=C sort); then
    echo "exported functions differ from $expected (< missing, > extra)"; exit 1
fi

if ! readelf -d "$lib" | grep -q 'NEEDED.*\[libjvm\.so\]'; then
    echo "libjvm.so is not a needed library"; exit 1
fi
jvm_imports=$(nm -D --undefined-only "$lib" | awk '{print $2}' | sed 's/@.*//' | grep -E '^(JNI_|JVM_)' || true)
if [ "$jvm_imports" != "JNI_GetCreatedJavaVMs" ]; then
    echo "unexpected imports from the Java VM: $jvm_imports"; exit 1
fi

echo "exports OK: $(wc -l < "$expected") functions"
