#!/usr/bin/env bash
# Fails unless the DLL imports only from Windows' own DLLs and from jvm.dll, and from
# jvm.dll only JNI_GetCreatedJavaVMs: a runtime DLL of the compiler here (libstdc++,
# libgcc, winpthread) would be missing on the hosts' machines.
set -euo pipefail
objdump=$1 dll=$2

tables=$("$objdump" -p "$dll")
dlls=$(echo "$tables" | awk '/^\tDLL Name: / {print $3}')
system='^(kernel32|msvcrt|ntdll|user32|advapi32|ws2_32|bcrypt|api-ms-win-[a-z0-9-]+)\.dll$'

status=0
for name in $dlls; do
    [ "$name" = jvm.dll ] && continue
    if ! echo "$name" | tr '[:upper:]' '[:lower:]' | grep -Eq "$system"; then
        echo "imports from a DLL that is not part of Windows: $name"; status=1
    fi
done

jvm_functions=$(echo "$tables" | awk '
    /^\tDLL Name: / {in_jvm = ($3 == "jvm.dll"); next}
    in_jvm && /^\t[0-9a-f]+\t/ {print $NF}')
if [ "$jvm_functions" != JNI_GetCreatedJavaVMs ]; then
    echo "expected jvm.dll to supply exactly JNI_GetCreatedJavaVMs, found:"
    echo "${jvm_functions:-(nothing)}"; status=1
fi

[ $status = 0 ] && echo "imports OK: $(echo $dlls)"
exit $status
