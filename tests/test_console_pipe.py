"""Console lines reach a pipe (a log file, a pipeline) while the program runs.

On a pipe the C library buffers stdout by the block unless told otherwise:
lumet's banner would then never come out, and a killed program would lose
every line it had printed.
"""

from test_lumet import BANNER as LUMET_BANNER
from test_rateprobe import CHECK, CONF, END, NOT_BEST
from velnor_sim import BANNER as VELNOR_BANNER, configure


def test_lumet_banner_comes_out_while_it_blinks(cam, program):
    p = cam.start(program("lumet"), console="pipe")
    p.wait_for(LUMET_BANNER, 10, stream="out")
    assert p.running()


def test_velnor_banner_comes_out_while_it_supervises(cam, program):
    configure(cam, isopen=1, wifisid="")
    p = cam.start(program("velnor"), console="pipe")
    p.wait_for(VELNOR_BANNER, 20, stream="out")
    assert p.running()


def test_rateprobe_lines_come_out_before_the_end_of_the_run(cam, program):
    cam.write_file(CONF, "IPCnt=1\nip0=127.0.0.5\n")
    p = cam.run(program("rateprobe"), console="pipe", timeout=30)
    out = p.lines("out")
    assert [l.text for l in out] == [CHECK, "Test servip 127.0.0.5 Rate ", END, NOT_BEST]
    # The probe pass is at 29 simulated seconds, the end of the run at 59:
    # 3 s apart at ten times the speed, not one block at the end.
    assert out[2].t - out[1].t > 1.5
