#!/usr/bin/env bash
# The demo: on a Debian machine, as root, installs what is missing, builds the runner and
# packs the built-in models (reusing an earlier build), then runs the mass-spring-damper
# FMU driven by the force profile in examples/demo-input.csv and prints a short summary, then
# sweeps its damping and stiffness on a local Dask cluster. Leaves out/demo.csv, the plot
# doc/images/demo.png (the picture in the README), out/sweep/summary.csv and
# out/sweep/sweep.png. Exits non-zero on any failure.
set -euo pipefail
cd "$(dirname "$0")/.."

jdk=/usr/lib/jvm/java-17-openjdk-amd64
# The same packages as scripts/test.sh, so that either script can reuse the other's build.
packages=(cmake g++ make googletest libgtest-dev libbenchmark-dev openjdk-17-jdk-headless binutils
          junit5 libzip-dev libpugixml-dev libcli11-dev libplplot-dev plplot-driver-cairo
          python3 python3-distributed python3-dask python3-pandas python3-numpy python3-matplotlib
          python3-tqdm python3-cloudpickle python3-psutil python3-pytest python3-scipy libcommons-math3-java)
model=MassSpringDamper
input=examples/demo-input.csv
build=build
out=out
plot=doc/images/demo.png

missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
    echo "Installing: ${missing[*]}"
    # On a fresh machine unattended upgrades may hold the package lock: wait for it.
    apt-get -o DPkg::Lock::Timeout=900 update -q
    DEBIAN_FRONTEND=noninteractive apt-get -o DPkg::Lock::Timeout=900 install -y -q \
        --no-install-recommends "${missing[@]}"
fi

build_started=$SECONDS
[ -f "$build/CMakeCache.txt" ] && echo "Reusing the build in $build/"
# Configuring again is quick and picks up new sources; the build redoes only what changed.
# The FMUs carry the Windows DLL and provider too: those of build-win/ when scripts/test.sh
# made them, else the build cross-builds them itself when MinGW-w64 is installed.
windows_dll=build-win/src/libkvfmu.dll
if [ -f "$windows_dll" ] && [ -f build-win/provider/kvfmu_provider.dll ]; then
    windows_dll=$PWD/$windows_dll
else
    windows_dll=
fi
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DJAVA_HOME="$jdk" -DKVFMU_BUILD_BENCHMARKS=ON \
      -DKVFMU_WINDOWS_LIBRARY="$windows_dll" >/dev/null
# Also the model API's reference (build/java/api/) and the example model's jar
# (build/examples/heated_room.jar), which the documentation points to.
cmake --build "$build" -j "$(nproc)" --target kvfmu-run fmus kvbridge_javadoc heated_room
build_seconds=$((SECONDS - build_started))

fmu=$build/fmus/$model.fmu
mkdir -p "$out" "$(dirname "$plot")"
runner_output=$(mktemp)
trap 'rm -f "$runner_output"' EXIT
started=$(date +%s.%N)
status=0
"$build/kvfmu-run/kvfmu-run" "$fmu" --input "$input" --output "$out/demo.csv" --plot "$plot" \
    2>"$runner_output" || status=$?
finished=$(date +%s.%N)
if [ "$status" != 0 ]; then
    cat "$runner_output" >&2
    echo "The demo run failed (kvfmu-run exit code $status)." >&2
    exit "$status"
fi

echo
echo "kvfmu demo: the built-in model $model (com.korvan.kvbridge.models.$model)"
platforms=$(python3 -c 'import sys, zipfile
names = zipfile.ZipFile(sys.argv[1]).namelist()
print(" and ".join(p for f, p in (("binaries/linux64/", "Linux x86-64"), ("binaries/win64/", "Windows x64"))
                   if f in names))' "$fmu")
echo "  packed as $fmu for $platforms, driven by the force profile in $input"
sed 's/^/  /' "$runner_output"
echo "  run $(awk -v a="$started" -v b="$finished" 'BEGIN { printf "%.2f", b - a }') s in all" \
     "(Java VM start and unpacking included); build $build_seconds s"

# A small sweep: damping c x stiffness k, 20 runs on a local Dask cluster with one worker per
# core. The same command runs on a cluster given --scheduler tcp://HOST:8786.
echo
echo "kvfmu demo sweep: damping c x stiffness k of $model on a local Dask cluster"
"$build/kvfmu-sweep/kvfmu-sweep" "$fmu" --grid "c=0.1:1.6:4" --grid "k=1:9:5" \
    --output-dir "$out/sweep" --plot-group c --plot-output x
