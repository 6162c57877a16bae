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

build=build
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DJAVA_HOME="$jdk" -DKVFMU_BUILD_BENCHMARKS=ON
cmake --build "$build" -j "$(nproc)"
(cd "$build" && ctest --output-on-failure -j "$(nproc)")
