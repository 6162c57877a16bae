#!/usr/bin/env bash
# Installs what the build needs (Debian, as root), configures, builds and runs every test.
# Exits non-zero on any failure.
set -euo pipefail
cd "$(dirname "$0")/.."

jdk=/usr/lib/jvm/java-17-openjdk-amd64
linux_packages=(cmake g++ make googletest libgtest-dev libbenchmark-dev openjdk-17-jdk-headless binutils
                junit5 libzip-dev libpugixml-dev libcli11-dev libplplot-dev plplot-driver-cairo
                python3 python3-distributed python3-dask python3-pandas python3-numpy python3-matplotlib
                python3-tqdm python3-cloudpickle python3-psutil python3-pytest python3-scipy libcommons-math3-java)

missing_packages() {
    local p
    for p in "$@"; do
        dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || echo "$p"
    done
}

install_packages() {
    local missing
    missing=$(missing_packages "$@")
    [ -z "$missing" ] && return 0
    echo "Installing: $missing"
    # On a fresh machine unattended upgrades may hold the package lock: wait for it.
    if [ -z "${apt_updated:-}" ]; then apt-get -o DPkg::Lock::Timeout=900 update -q; apt_updated=1; fi
    # shellcheck disable=SC2086
    DEBIAN_FRONTEND=noninteractive apt-get -o DPkg::Lock::Timeout=900 install -y -q --no-install-recommends $missing
}

install_packages "${linux_packages[@]}"

# Runs a build's tests; keeps CTest's summary line and counts for the end.
summaries=()
failed=0
passed_total=0
failed_total=0
run_ctest() {
    local name=$1 dir=$2 status=0 line total failures
    (cd "$dir" && ctest --output-on-failure -j "$(nproc)") 2>&1 | tee "$dir/ctest.log" || status=$?
    line=$(grep -E 'tests passed' "$dir/ctest.log" || echo 'no CTest summary')
    summaries+=("$name: $line")
    total=$(sed -nE 's/.* out of ([0-9]+).*/\1/p' <<<"$line")
    failures=$(sed -nE 's/.* ([0-9]+) tests failed.*/\1/p' <<<"$line")
    passed_total=$((passed_total + ${total:-0} - ${failures:-0}))
    failed_total=$((failed_total + ${failures:-0}))
    if [ "$status" != 0 ]; then
        failed=1
        [ "${failures:-0}" != 0 ] || failed_total=$((failed_total + 1))  # CTest itself failed
    fi
}

print_summaries() {
    echo
    printf '%s\n' "${summaries[@]}"
    echo "$passed_total passed, $failed_total failed"
}

# Linux x86-64 shared object.
build=build
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DJAVA_HOME="$jdk" -DKVFMU_BUILD_BENCHMARKS=ON
cmake --build "$build" -j "$(nproc)"
run_ctest "Linux tests" "$build"

# The library and the test programs again with AddressSanitizer and UndefinedBehaviorSanitizer;
# every test runs once more, those against the Java VM included (the programs carry the
# sanitizer options the VM needs). Any report fails its test.
build_sanitize=build-sanitize
cmake -S . -B "$build_sanitize" -DCMAKE_BUILD_TYPE=Debug -DJAVA_HOME="$jdk" -DKVFMU_SANITIZE=ON
cmake --build "$build_sanitize" -j "$(nproc)"
run_ctest "Linux tests (sanitizers)" "$build_sanitize"

# Windows x64 DLL, cross-built with MinGW-w64 (posix threads); its tests run under wine.
windows_started=$SECONDS
windows_packages=(g++-mingw-w64-x86-64-posix wine wine64)
if ! install_packages "${windows_packages[@]}"; then
    print_summaries
    echo "ERROR: could not install the Windows toolchain (${windows_packages[*]});" \
         "the Windows DLL was not built or tested." >&2
    exit 1
fi

build_win=build-win
cmake -S . -B "$build_win" -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake \
      -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build "$build_win" -j "$(nproc)"

# A headless wine with its own prefix. The server and wine's services start before CTest,
# with their output away from CTest's pipes: otherwise CTest waits for them after every test.
unset DISPLAY
export WINEPREFIX="$PWD/$build_win/wineprefix" WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml=;winedbg.exe=d"  # no Mono/Gecko prompts, no crash debugger
mkdir -p "$WINEPREFIX"
wineserver -p
trap 'wineserver -k || true' EXIT
wine wineboot -i >/dev/null 2>&1
run_ctest "Windows tests (wine)" "$build_win"
wineserver -k || true
trap - EXIT
echo "Windows part took $((SECONDS - windows_started)) s"

# The cases both builds run on the stand-in Java VM: each must have passed in both, against
# the one expected record per case.
shared_expected=$(grep -c '^## ' tests/jvm_standin/shared_cases.records)
shared_passed() {
    grep -E 'Test +#[0-9]+: (SharedCase|Method/FacadeFault)\.' "$1/ctest.log" | grep -c ' Passed' || true
}
shared_linux=$(shared_passed "$build")
shared_windows=$(shared_passed "$build_win")
summaries+=("Shared stand-in cases passed: Linux $shared_linux, Windows $shared_windows of $shared_expected")
if [ "$shared_linux" != "$shared_expected" ] || [ "$shared_windows" != "$shared_expected" ]; then
    failed=1
    failed_total=$((failed_total + 1))
fi

print_summaries
exit "$failed"
