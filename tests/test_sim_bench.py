"""sim/camsim run: the person's bench, driven through a pipe."""

import subprocess
import time
from pathlib import Path

import pytest

SIM = Path(__file__).resolve().parent.parent / "sim"


@pytest.fixture
def bench(program, standin, emulator):
    if emulator:
        pytest.skip("the bench runs host programs")

    def start(name, *options):
        return subprocess.Popen(
            ["/usr/bin/python3", str(SIM / "camsim"), "run", "--standin", str(standin),
             "--scenario", str(SIM / "scenarios" / "default"), *options, str(program(name))],
            stdin=subprocess.PIPE, stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True)
    return start


def test_bench_shows_the_program_and_takes_keys(bench):
    p = bench("lumet")
    time.sleep(1.5)
    p.stdin.write("s\n")
    p.stdin.flush()
    time.sleep(0.5)
    p.stdin.write("1\n")  # lumet has no handler: SIGUSR1 ends it
    p.stdin.flush()
    out, _ = p.communicate(timeout=30)
    lines = [l.split(" ", 1)[1] for l in out.splitlines() if " " in l]
    assert "out| ...............tqm lumet start, ver: 2015-06-30..............." in lines
    # Console, journal and GPIO lines come from different sources, each in
    # its own order; the bench shows them as they arrive.
    commands = [l for l in lines if l.startswith("$ ")]
    assert commands[:2] == ["$ himm 0x200f0108 0x0", "$ himm 0x200f0130 0x0"]
    assert any(l.startswith("GPIO 7_6 (lumet 7_6): dir 1 level") for l in lines)
    assert lines.index("GPIO 0_7 (switch): dir 0 level 1") < lines.index("** switch off")
    assert "GPIO 0_7 (switch): dir 0 level 0" in lines
    assert lines[-1] == "** lumet ended with status -10"
    assert p.returncode == 138
