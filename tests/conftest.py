"""Fixtures for the system tests: the real programs in the simulated camera.

ctest passes the build through the environment:
  CAMSIM_BIN_DIR   the build's program directory (build/<preset>/bin)
  CAMSIM_STANDIN   the GPIO driver stand-in library
  CAMSIM_EMULATOR  prefix command for foreign binaries (space-separated, may be empty)
"""

import os
import shlex
import sys
from pathlib import Path

import pytest

REPO = Path(__file__).resolve().parent.parent
sys.path.insert(0, str(REPO / "sim"))

import camsim  # noqa: E402


def _env_path(name, fallback):
    value = os.environ.get(name)
    path = Path(value) if value else fallback
    if not path.exists():
        pytest.fail("%s: %s does not exist (run the system tests through ctest, "
                    "or set %s)" % (name, path, name))
    return path


@pytest.fixture(scope="session")
def bin_dir():
    return _env_path("CAMSIM_BIN_DIR", REPO / "build" / "default" / "bin")


@pytest.fixture(scope="session")
def standin(bin_dir):
    return _env_path("CAMSIM_STANDIN", bin_dir.parent / "lib" / "libgpio_standin.so")


@pytest.fixture(scope="session")
def emulator():
    return shlex.split(os.environ.get("CAMSIM_EMULATOR", "")) or None


@pytest.fixture
def program(bin_dir):
    """program("lumet") -> path of that program in the build."""
    def find(name):
        path = bin_dir / name
        if not path.is_file():
            pytest.fail("program %s is not built in %s" % (name, bin_dir))
        return path
    return find


@pytest.fixture
def make_camera(tmp_path, standin, emulator):
    """make_camera(gpio=..., faketime=...) -> a fresh Camera; all closed at the end."""
    made = []

    def make(**options):
        options.setdefault("standin", standin)
        options.setdefault("emulator", emulator)
        cam = camsim.Camera(tmp_path, **options)
        made.append(cam)
        return cam

    yield make
    for cam in made:
        cam.close()


@pytest.fixture
def camera(make_camera):
    """A simulated camera with the GPIO stand-in and real time."""
    return make_camera()


@pytest.fixture
def cam(make_camera):
    """A simulated camera with the GPIO stand-in and a clock ten times faster."""
    return make_camera(faketime="x10")
