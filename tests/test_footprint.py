"""What the shipped programs cost on the camera: run-time libraries and size."""

import re
import subprocess

import pytest

# Largest stripped size per program and machine (ELF e_machine).
X86_64, ARM = 0x3E, 0x28
SIZE_LIMITS = {
    "lumet": {X86_64: 16 * 1024, ARM: 8 * 1024},
    "velnor": {X86_64: 64 * 1024, ARM: 40 * 1024},
    "rateprobe": {X86_64: 48 * 1024, ARM: 24 * 1024},
}
ALLOWED_LIBS = {
    "lumet": {"libc.so.6"},
    "velnor": {"libc.so.6"},
    "rateprobe": {"libc.so.6", "libpthread.so.0"},
}
SANITIZER_RUNTIME = re.compile(r"lib(asan|tsan|ubsan|lsan)\.so")


def elf_machine(path):
    with open(path, "rb") as f:
        head = f.read(20)
    assert head[:4] == b"\x7fELF"
    return int.from_bytes(head[18:20], "little")


def needed(path):
    out = subprocess.run(["readelf", "-d", str(path)], capture_output=True, text=True,
                         check=True).stdout
    return set(re.findall(r"\(NEEDED\)\s+Shared library: \[([^\]]+)\]", out))


def stripped(path):
    out = subprocess.run(["readelf", "-S", "-W", str(path)], capture_output=True, text=True,
                         check=True).stdout
    return ".symtab" not in out


def built(bin_dir, name):
    path = bin_dir / name
    if not path.is_file():
        pytest.skip("%s is not part of this build yet" % name)
    return path


@pytest.mark.parametrize("name", sorted(SIZE_LIMITS))
def test_needs_only_the_c_library(bin_dir, name):
    path = built(bin_dir, name)
    libs = needed(path)
    if any(SANITIZER_RUNTIME.search(lib) for lib in libs):
        pytest.skip("sanitizer build")
    assert libs <= ALLOWED_LIBS[name], libs
    assert "libc.so.6" in libs


@pytest.mark.parametrize("name", sorted(SIZE_LIMITS))
def test_stripped_size_fits(bin_dir, name):
    path = built(bin_dir, name)
    if not stripped(path):
        pytest.skip("not a stripped build")
    machine = elf_machine(path)
    limit = SIZE_LIMITS[name][machine]
    assert path.stat().st_size <= limit, "%s: %d bytes" % (name, path.stat().st_size)
