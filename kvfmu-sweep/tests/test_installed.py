"""The installed product alone: `cmake --install` into a temporary prefix, and the .deb
unpacked into a temporary root, each used with the source and build trees out of the way
(covered by empty folders in a mount namespace of the test's own). Where the machine allows
no mount namespace, the installed files are checked instead for any reference to those trees
(text files, and the run paths of the binaries), and the tools run beside them."""

import csv
import os
import re
import subprocess

import pytest

BUILD = os.environ.get("KVFMU_BUILD_DIR")
SOURCE = os.environ.get("KVFMU_SOURCE_DIR")

pytestmark = pytest.mark.skipif(not BUILD or not SOURCE,
                                reason="needs the build tree (run through CTest)")


def trees():
    folders = sorted({os.path.realpath(SOURCE), os.path.realpath(BUILD)})
    # A tree inside the other is hidden with it.
    return [f for f in folders if not any(f.startswith(g + os.sep) for g in folders)]


def mount_namespaces_allowed():
    try:
        return subprocess.run(["unshare", "--mount", "--propagation", "private", "true"],
                              capture_output=True, timeout=60).returncode == 0
    except (OSError, subprocess.TimeoutExpired):
        return False


def references_to_trees(installed):
    """Installed text files that name a tree, and binaries whose run path leads into one."""
    found = []
    for folder, _, files in os.walk(installed):
        for name in files:
            path = os.path.join(folder, name)
            if os.path.islink(path):
                continue
            with open(path, "rb") as f:
                head = f.read(4)
            if head == b"\x7fELF":
                dynamic = subprocess.run(["readelf", "-d", path], capture_output=True,
                                         text=True).stdout
                text = "\n".join(line for line in dynamic.splitlines() if "PATH" in line)
            elif name.endswith((".jar", ".fmu", ".dll", ".png", ".pyc")):
                continue  # archives and images: nothing in them is a path to follow
            else:
                with open(path, "rb") as f:
                    text = f.read().decode("utf-8", "replace")
            found += [f"{path}: {tree}" for tree in trees() if tree in text]
    return found


def without_trees(script, cwd, installed):
    """Runs the shell `script` where the source and build trees look empty."""
    if not mount_namespaces_allowed():
        assert references_to_trees(installed) == []
        return subprocess.run(["sh", "-euc", script], cwd=cwd, capture_output=True, text=True,
                              timeout=400)
    hide = " && ".join(f"mount -t tmpfs kvfmu-hidden '{folder}'" for folder in trees())
    hide += f" && test ! -e '{BUILD}/CMakeCache.txt'"
    return subprocess.run(
        ["unshare", "--mount", "--propagation", "private", "sh", "-euc", f"{hide}\n{script}"],
        cwd=cwd, capture_output=True, text=True, timeout=400)


@pytest.fixture(scope="module")
def prefix(tmp_path_factory):
    prefix = tmp_path_factory.mktemp("installed") / "prefix"
    subprocess.run(["cmake", "--install", BUILD, "--prefix", str(prefix)], check=True,
                   capture_output=True)
    return prefix


def test_installed_tools_pack_run_and_sweep_alone(prefix, tmp_path):
    done = without_trees(f"""
        bin='{prefix}/bin'
        "$bin/kvfmu-pack" --class com.korvan.kvbridge.models.MassSpringDamper --parameter c=0.5 \\
            --output-dir fmus
        "$bin/kvfmu-pack" --class com.korvan.kvbridge.models.FirstOrderLag --output-dir plain
        "$bin/kvfmu-run" fmus/MassSpringDamper.fmu --stop 2 --quiet -o single.csv
        "$bin/kvfmu-sweep" fmus/MassSpringDamper.fmu --grid c=0.2,0.8 --grid k=2,4 --stop 2 \\
            --workers 2 -o sweep --quiet
    """, cwd=tmp_path, installed=prefix)
    assert done.returncode == 0, done.stdout + done.stderr
    with open(tmp_path / "single.csv") as f:
        assert list(csv.reader(f))[-1][0] == "2"
    with open(tmp_path / "sweep" / "summary.csv") as f:
        rows = list(csv.DictReader(f))
    assert [(r["c"], r["k"], r["status"]) for r in rows] == [
        ("0.2", "2", "ok"), ("0.2", "4", "ok"), ("0.8", "2", "ok"), ("0.8", "4", "ok")]
    assert (tmp_path / "sweep" / "sweep.png").exists()
    # The installed packer packs the same bytes as the build tree's.
    built = os.path.join(BUILD, "fmus", "FirstOrderLag.fmu")
    assert (tmp_path / "plain" / "FirstOrderLag.fmu").read_bytes() == open(built, "rb").read()


def test_the_deb_holds_the_product_and_names_its_dependencies(tmp_path):
    subprocess.run(["cpack", "-G", "DEB", "-B", str(tmp_path / "deb")], cwd=BUILD, check=True,
                   capture_output=True, timeout=300)
    [deb] = list((tmp_path / "deb").glob("kvfmu_*_amd64.deb"))
    depends = subprocess.run(["dpkg-deb", "-f", str(deb), "Depends"], check=True,
                             capture_output=True, text=True).stdout
    for package in ("openjdk-17-jre-headless", "libzip4", "libpugixml1v5", "libplplot17",
                    "python3-distributed", "python3-pandas", "python3-scipy", "python3-matplotlib",
                    "python3-tqdm"):
        assert package in depends
    root = tmp_path / "root"
    subprocess.run(["dpkg-deb", "-x", str(deb), str(root)], check=True)
    docs = "share/doc/kvfmu/"
    for part in ("bin/kvfmu-run", "bin/kvfmu-pack", "bin/kvfmu-sweep", "lib/kvfmu/libkvfmu.so",
                 "lib/kvfmu/kvbridge.jar", "lib/kvfmu/python/kvfmu_sweep/cli.py",
                 "share/kvfmu/fmus/MassSpringDamper.fmu", docs + "copyright",
                 docs + "api/com/korvan/kvbridge/model/Model.html",
                 docs + "examples/heated_room/heated_room.jar",
                 docs + "examples/heated_room/src/com/example/heating/HeatedRoom.java"):
        assert (root / "usr" / part).exists(), part
    check_machine_readable_copyright(root / "usr" / docs / "copyright", root)
    # Binaries without symbol tables or debug information; their size is the code.
    for binary in ("bin/kvfmu-run", "lib/kvfmu/libkvfmu.so", "lib/kvfmu/kvfmu_provider.so"):
        sections = subprocess.run(["readelf", "-S", "-W", str(root / "usr" / binary)], check=True,
                                  capture_output=True, text=True).stdout
        assert ".symtab" not in sections and ".debug_info" not in sections, binary
    assert (root / "usr/lib/kvfmu/kvfmu_provider.so").stat().st_size < 300_000
    done = without_trees(f"""
        bin='{root}/usr/bin'
        "$bin/kvfmu-pack" --class com.korvan.kvbridge.models.FirstOrderLag -o lag.fmu
        "$bin/kvfmu-run" lag.fmu --stop 1 --set u=1 --quiet -o lag.csv
        "$bin/kvfmu-sweep" --help
    """, cwd=tmp_path, installed=root)
    assert done.returncode == 0, done.stdout + done.stderr
    assert "--grid" in done.stdout


def check_machine_readable_copyright(path, root):
    """Debian's machine-readable format: the header first; each Files paragraph names files
    the package has (the DLLs where it has them), a copyright and licences whose texts are
    in the file."""
    field = re.compile(r"^(\S[^:\n]*):(.*(?:\n[ \t].*)*)", re.M)
    paragraphs = [dict(field.findall(text)) for text in path.read_text().strip().split("\n\n")]
    assert paragraphs[0]["Format"].strip().startswith(
        "https://www.debian.org/doc/packaging-manuals/copyright-format/1.0")
    with_text = {p["License"].split("\n")[0].strip() for p in paragraphs
                 if "License" in p and "\n" in p["License"].strip("\n ")}
    has_dlls = any(root.rglob("*.dll"))
    files = [p for p in paragraphs if "Files" in p]
    assert files and all(p.get("Copyright", "").strip() for p in files)
    for p in files:
        for pattern in p["Files"].split():
            if pattern != "*" and (has_dlls or not pattern.endswith(".dll")):
                assert (root / pattern).exists(), pattern
        for name in re.split(r"\s+and\s+", p["License"].split("\n")[0].strip()):
            assert name in with_text, name
