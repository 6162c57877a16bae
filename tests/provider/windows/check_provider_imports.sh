#!/usr/bin/env bash
# Fails unless the provider DLL imports from Windows' own DLLs only: no jvm.dll (it finds or
# loads the Java VM at run time) and no runtime DLL of the compiler here.
set -euo pipefail
objdump=$1 dll=$2

dlls=$("$objdump" -p "$dll" | awk '/^\tDLL Name: / {print $3}')
system='^(kernel32|msvcrt|ntdll|advapi32)\.dll$'
status=0
for name in $dlls; do
    if ! echo "$name" | tr '[:upper:]' '[:lower:]' | grep -Eq "$system"; then
        echo "imports from a DLL that is not part of Windows: $name"; status=1
    fi
done
[ $status = 0 ] && echo "imports OK: $(echo $dlls)"
exit $status
