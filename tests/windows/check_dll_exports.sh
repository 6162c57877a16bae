#!/usr/bin/env bash
# Fails unless the DLL's export table names exactly the functions in the list.
set -euo pipefail
objdump=$1 dll=$2 expected=$3

actual=$("$objdump" -p "$dll" | sed -n '/^\[Ordinal\/Name Pointer\] Table/,/^$/{s/^\t\[ *[0-9]*\] //p}')
if ! diff <(LC_ALL=C sort "$expected") <(echo "$actual" | LC_ALL=C sort); then
    echo "exports of $dll differ from $expected (< missing, > extra)"; exit 1
fi

echo "exports OK: $(wc -l < "$expected") functions"
