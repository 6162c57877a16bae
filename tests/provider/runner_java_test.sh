#!/usr/bin/env bash
# kvfmu-run's Java VM: it links no libjvm, finds Java as the provider does, starts the VM with
# the FMU's packed options before --vm-option, -Xrs and -XX:-UsePerfData, runs FMUs of the
# new and of the old layout, warns of a JAVA_HOME it passes over, and without Java exits with
# code 30.
# Usage: runner_java_test.sh KVFMU_RUN HIDDEN_JAVA_RUNNER JDK NEW_FMU OLD_FMU SCRATCH
set -uo pipefail
runner=$1 hidden_runner=$2 jdk=$3 new_fmu=$4 old_fmu=$5 scratch=$6
rm -rf "$scratch" && mkdir -p "$scratch/empty-bin"
failures=0
fail() { echo "FAILED: $*"; failures=$((failures + 1)); }

# expect NAME CODE PATTERN... -- COMMAND...: the exit code and each pattern in the output.
expect() {
    local name=$1 code=$2; shift 2
    local patterns=()
    while [ "$1" != -- ]; do patterns+=("$1"); shift; done
    shift
    "$@" >"$scratch/$name.out" 2>&1
    local status=$?
    [ "$status" = "$code" ] || fail "$name: exit code $status, expected $code: $(tail -3 "$scratch/$name.out")"
    local pattern
    for pattern in "${patterns[@]}"; do
        grep -Eq -- "$pattern" "$scratch/$name.out" || fail "$name: no '$pattern' in the output"
    done
}

readelf -d "$runner" | grep -q 'NEEDED.*libjvm' && fail "kvfmu-run links libjvm.so"

flags=--vm-option=-XX:+PrintFlagsFinal
expect new-layout 0 'bool UsePerfData += false' 'bool ReduceSignalUsage += true' \
       'MaxHeapSize += 209715200 ' -- \
    env JAVA_HOME="$jdk" "$runner" "$new_fmu" --stop 1 -q -o "$scratch/new.csv" "$flags"
expect command-line-after-packed 0 'MaxHeapSize += 104857600 ' -- \
    env JAVA_HOME="$jdk" "$runner" "$new_fmu" --stop 1 -q -o "$scratch/later.csv" "$flags" \
        --vm-option=-Xmx100m
expect old-layout 0 'bool UsePerfData += false' 'bool ReduceSignalUsage += true' -- \
    env JAVA_HOME="$jdk" "$runner" "$old_fmu" --stop 0.1 -q -o "$scratch/old.csv" "$flags"
expect java-on-path 0 -- \
    env -u JAVA_HOME PATH="$jdk/bin" "$runner" "$new_fmu" --stop 1 -q -o "$scratch/path.csv"
expect wrong-java-home 0 \
       "kvfmu-run: warning: JAVA_HOME=$scratch/no-java \\(no such folder\\) is not a usable Java runtime" \
       'found through java on PATH instead' -- \
    env JAVA_HOME="$scratch/no-java" PATH="$jdk/bin" "$runner" "$new_fmu" --stop 1 -q -o "$scratch/wrong.csv"
expect no-java 30 'kvfmu-run: error: no Java 17\+ runtime found: set JAVA_HOME' \
       'looked in: JAVA_HOME \(not set\); java on PATH \(not found\)' -- \
    env -u JAVA_HOME PATH="$scratch/empty-bin" "$hidden_runner" "$new_fmu" -q -o "$scratch/none.csv"

[ "$failures" = 0 ] && echo "kvfmu-run Java start: all cases passed"
exit $((failures > 0))
