#!/usr/bin/env bash
# Installs what the build needs (Debian, as root), configures, builds and runs every test.
# Exits non-zero on any failure.
set -euo pipefail
cd "$(dirname "$0")/.."

jdk=/usr/lib/jvm/java-17-openjdk-amd64
linux_packages=(cmake g++ make googletest libgtest-dev libbenchmark-dev openjdk-17-jdk-headless binutils)

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
    if [ -z "${apt_updated:-}" ]; then apt-get update -q; apt_updated=1; fi
    # shellcheck disable=SC2086
    DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends $missing
}

install_packages "${linux_packages[@]}"

# Runs a build's tests; keeps CTest's summary line for the end.
summaries=()
failed=0
run_ctest() {
    local name=$1 dir=$2 status=0
    (cd "$dir" && ctest --output-on-failure -j "$(nproc)") 2>&1 | tee "$dir/ctest.log" || status=$?
    summaries+=("$name: $(grep -E 'tests passed' "$dir/ctest.log" || echo 'no CTest summary')")
    [ "$status" = 0 ] || failed=1
}

print_summaries() {
    echo
    printf '%s\n' "${summaries[@]}"
}

# Linux x86-64 shared object.
build=build
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DJAVA_HOME="$jdk" -DKVFMU_BUILD_BENCHMARKS=ON
cmake --build "$build" -j "$(nproc)"
run_ctest "Linux tests" "$build"

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

print_summaries
exit "$failed"
