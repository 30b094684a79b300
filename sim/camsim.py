"""The simulated camera: run the real programs in a sandbox and watch them.

A Camera is a bubblewrap sandbox with the camera's writable places backed by
host directories under ``cam.root``:

    inside            host
    /mnt/sif          cam.sif        configuration files
    /var/run          cam.varrun     PID file
    /tmpfs            cam.tmpfs
    /komod            cam.komod
    /tmp              cam.tmp
    /etc/hosts        cam.root/etc/hosts   (set_hosts)
    /camsim           cam.root       stand-ins, scenario files, journal, GPIO

plus host /usr and /etc read-only, its own /dev, /proc, IPC, UTS, network
(loopback only: 127.0.0.x are all local) and PID namespaces, root inside.
A sandbox holds one idle init process; every program started enters its
namespaces (nsenter), so several programs, the queue reader and the UDP
responders all share one camera.

    cam = Camera(tmpdir, gpio=True, faketime=None, emulator=None, standin=so)
        gpio      preload the GPIO driver stand-in (False: no /dev/hi_gpio)
        faketime  "x10" (or a full FAKETIME text such as "+0 x10"): run the
                  programs' clocks and sleeps ten times faster (libfaketime)
        emulator  prefix command for binaries of another machine, e.g.
                  ["qemu-arm", "-L", "/usr/arm-linux-gnueabi"]; the preload
                  then goes to the guest with "-E LD_PRELOAD=..."; host
                  programs (/bin/sh, python3) still run directly
        standin   path of libgpio_standin.so (required when gpio=True), built
                  for the program's machine
        host_standin  with an emulator: a host-machine build of it for the
                  host's shell and tools (default: a quiet empty library)

    files     cam.write_file("/mnt/sif/x.conf", text), cam.read_file(path)
              (sandbox paths, mapped to the host directories above)
    scenario  cam.load_scenario(dir)         files of a scenario directory
              cam.set_scan(text)            output of "iwlist wlan0 scanning"
              cam.set_wpa_status(text, after=None, then=None)
                                            output of "wpa_cli status"; with
                                            after=N and then=text the first N
                                            queries see text, later ones then
              cam.set_hosts(text)
    GPIO      cam.set_line(group, bit, level) sets a line from outside (the
              switch); cam.line(group, bit) -> (dir, level); a switch line
              discharged as an output gets its outside level back as an input
              cam.queue_line_reads(group, bit, [levels]): answers of the next reads
              cam.gpio_requests() -> [Request(t, code, group, bit, sent, result, returned)]
              cam.set_gpio_knob("result_3", -1) / ("no_write", True) / ("missing", True)
    journal   cam.journal() -> [Command(t, name, args)], cam.commands() -> ["name args"]
    queue     cam.queue_messages() -> [(mtype, text)]   drains key 1234
              cam.queue_fill(mtype=99, text="FILL") -> messages added until full
              cam.queue_stat() -> {"msqid", "perms", "qnum", ...} or None
    network   r = cam.udp_responder("127.0.0.5", 8080, reply=b"..." | callable | None)
              r.received() -> [Datagram(src_ip, src_port, data)], r.send_to(ip, port, data)
              cam.socket(family, type): any socket inside the camera's network
    programs  p = cam.start(path, args=[], env=None, close_fds=(), console="pty"|"pipe")
              p = cam.run(path, args, timeout)  start and wait for the end
              p.pid (host pid of the program), p.lines(stream=None) ->
              [Line(t, stream, text)] with stream "out" or "err", p.text(stream),
              p.wait_for(match, timeout, stream=None, since=0) -> Line (match:
              substring, compiled pattern or predicate), p.signal(sig), p.kill(),
              p.wait(timeout) -> exit status (negative: killed by that signal),
              p.returncode
    waiting   cam.wait_until(fn, timeout) -> the first truthy fn() value
    cam.close()   ends every process; files stay for the test to read

Times: console lines carry the host's clock at arrival. Journal and GPIO
request times are the clock the calling process sees, so under faketime they
run at the accelerated rate. libfaketime scales sleep(), usleep(),
nanosleep() and clock_nanosleep() by the same factor, and the processes a
program starts through the shell inherit LD_PRELOAD, FAKETIME and the shared
start time (FAKETIME_SHARED), so a program and the tools it runs agree on one
fast clock. Each program started with cam.start() begins its own fast clock.

Caveats: the stand-in tools append to the journal when they run, so a tool
started in the background ("... &") may land in the journal after a command
the program ran a moment later. Programs get stdout and stderr on two
pseudo-terminals (line-buffered stdio, as on a console; output post-processing
is off so lines end in "\\n"); the order within a stream is exact, between
the two streams only as close as the arrival times. libfaketime keeps two
descriptors of its own open (3 and 4), so under faketime the GPIO device is
not the program's descriptor 3. The sandbox dies with the thread that made
the Camera (bubblewrap --die-with-parent), so make it in the test's own thread.
"""

import collections
import ctypes
import errno
import json
import os
import re
import select
import shutil
import signal
import socket
import subprocess
import sys
import sysconfig
import threading
import time
import tty
from pathlib import Path

HERE = Path(__file__).resolve().parent
PLATFORM_TOOL = HERE / "tools" / "platform_tool"
TOOL_NAMES = ("ifconfig", "killall", "insmod", "iwlist", "wpa_supplicant", "wpa_cli",
              "hostapd", "udhcpd", "udhcpc", "himm", "sync")
FAKETIME_LIB = "/usr/lib/x86_64-linux-gnu/faketime/libfaketime.so.1"
GUEST_FAKETIME = "/usr/local/lib/camsim/%s/libfaketime.so.1"
QUEUE_KEY = 1234
QUEUE_TEXT_SIZE = 256

INSIDE = "/camsim"
# sandbox path -> directory under cam.root
MOUNTS = {"/mnt/sif": "sif", "/var/run": "varrun", "/tmpfs": "tmpfs", "/komod": "komod",
          "/tmp": "tmp"}

Request = collections.namedtuple("Request", "t code group bit sent result returned")
Command = collections.namedtuple("Command", "t name args")
Line = collections.namedtuple("Line", "t stream text")
Datagram = collections.namedtuple("Datagram", "src_ip src_port data")

_libc = ctypes.CDLL(None, use_errno=True)
_libc.setns.argtypes = (ctypes.c_int, ctypes.c_int)
_libc.msgget.argtypes = (ctypes.c_int, ctypes.c_int)
_libc.msgsnd.argtypes = (ctypes.c_int, ctypes.c_void_p, ctypes.c_size_t, ctypes.c_int)
_libc.msgrcv.argtypes = (ctypes.c_int, ctypes.c_void_p, ctypes.c_size_t, ctypes.c_long,
                         ctypes.c_int)
_libc.msgrcv.restype = ctypes.c_ssize_t
IPC_CREAT, IPC_NOWAIT, MSG_NOERROR = 0o1000, 0o4000, 0o10000


class _Message(ctypes.Structure):
    _fields_ = [("mtype", ctypes.c_long), ("mtext", ctypes.c_char * QUEUE_TEXT_SIZE)]


def _os_error(what):
    err = ctypes.get_errno()
    return OSError(err, "%s: %s" % (what, os.strerror(err)))


def _write_atomic(path, data):
    path = Path(path)
    tmp = path.with_name(".%s.%d.tmp" % (path.name, os.getpid()))
    tmp.write_bytes(data)
    os.replace(tmp, path)


def _as_bytes(data):
    return data.encode() if isinstance(data, str) else bytes(data)


class Camera:
    def __init__(self, tmpdir, gpio=True, faketime=None, emulator=None, standin=None,
                 host_standin=None):
        base = Path(tmpdir)
        root = base / "camera"
        n = 1
        while root.exists():
            n += 1
            root = base / ("camera-%d" % n)
        self.root = root
        self.sif, self.varrun, self.tmpfs, self.komod, self.tmp = (
            root / MOUNTS[p] for p in ("/mnt/sif", "/var/run", "/tmpfs", "/komod", "/tmp"))
        self.gpio_dir = root / "gpio"
        self.journal_path = root / "journal"
        self.gpio = gpio
        self.faketime = faketime
        self.emulator = list(emulator) if emulator else []
        self._programs = []
        self._responders = []
        self._sandbox = None
        self._closed = False

        for d in (self.sif, self.varrun, self.tmpfs, self.komod, self.tmp, self.gpio_dir,
                  root / "bin", root / "lib", root / "prog", root / "etc", self.sif / "bin"):
            d.mkdir(parents=True, exist_ok=True)
        self.journal_path.touch()
        (root / "etc" / "hosts").write_text("127.0.0.1\tlocalhost\n::1\tlocalhost\n")
        tool = root / "bin" / "platform_tool"
        shutil.copy2(PLATFORM_TOOL, tool)
        for name in TOOL_NAMES:
            os.symlink("platform_tool", root / "bin" / name)
        shutil.copy2(PLATFORM_TOOL, self.sif / "bin" / "wifi_connect.sh")
        if gpio:
            if not standin or not Path(standin).is_file():
                raise FileNotFoundError("GPIO stand-in library not found: %r" % (standin,))
            self._install_standin(Path(standin), host_standin)
        self._start_sandbox()

    def _install_standin(self, standin, host_standin):
        lib = self.root / "lib"
        if not self.emulator:
            shutil.copy2(standin, lib / "libgpio_standin.so")
            self._preload_standin = "%s/lib/libgpio_standin.so" % INSIDE
            return
        # Under the emulator the guest program and the host's shell and tools
        # inherit one LD_PRELOAD. Each loader expands $LIB to its own library
        # directory (lib/arm-linux-gnueabi, lib/x86_64-linux-gnu), so each
        # finds a library of its own class. Host tools need no stand-in; the
        # host's empty libdl stub keeps their loader quiet.
        guest, host = self._preload_dirs(_multiarch_of(standin))
        shutil.copy2(standin, guest / "libgpio_standin.so")
        quiet = host_standin or "/usr/lib/%s/libdl.so.2" % host.name
        shutil.copy2(quiet, host / "libgpio_standin.so")
        self._preload_standin = "%s/$LIB/libgpio_standin.so" % INSIDE

    def _preload_dirs(self, guest_multiarch):
        """The directories $LIB names for the guest's loader and the host's."""
        lib = self.root / "lib"
        guest = lib / guest_multiarch
        host = lib / (sysconfig.get_config_var("MULTIARCH") or "x86_64-linux-gnu")
        for d in (guest, host):
            d.mkdir(parents=True, exist_ok=True)
        return guest, host

    def _install_guest_faketime(self, program):
        """Under the emulator the guest gets libfaketime of its own machine
        (unpacked by scripts/setup); the host's shell and tools get the quiet
        library instead: a host libfaketime would read the guest's shared
        clock record, whose layout differs between 32 and 64 bits, and see
        nonsense times. Their journal times are therefore real time."""
        multiarch = _multiarch_of(program)
        guest_lib = Path(GUEST_FAKETIME % multiarch)
        if not guest_lib.is_file():
            raise FileNotFoundError("libfaketime for %s not found: %s (run scripts/setup)"
                                    % (multiarch, guest_lib))
        guest, host = self._preload_dirs(multiarch)
        shutil.copy2(guest_lib, guest / "libfaketime.so.1")
        shutil.copy2("/usr/lib/%s/libdl.so.2" % host.name, host / "libfaketime.so.1")
        return "%s/$LIB/libfaketime.so.1" % INSIDE

    # --- sandbox -------------------------------------------------------

    def _start_sandbox(self):
        args = ["bwrap", "--die-with-parent", "--unshare-ipc", "--unshare-net",
                "--unshare-pid", "--unshare-uts", "--hostname", "camera",
                "--ro-bind", "/usr", "/usr"]
        for top in ("/bin", "/sbin", "/lib", "/lib32", "/lib64", "/libx32"):
            if os.path.islink(top):
                args += ["--symlink", os.readlink(top), top]
            elif os.path.isdir(top):
                args += ["--ro-bind", top, top]
        args += ["--ro-bind", "/etc", "/etc",
                 "--ro-bind", str(self.root / "etc" / "hosts"), "/etc/hosts",
                 "--dev", "/dev", "--proc", "/proc"]
        for inside, sub in MOUNTS.items():
            args += ["--bind", str(self.root / sub), inside]
        args += ["--bind", str(self.root), INSIDE, "--chdir", "/",
                 "--setenv", "PATH", "/usr/sbin:/usr/bin:/sbin:/bin",
                 "/bin/sh", "-c", "touch %s/.ready && exec sleep infinity" % INSIDE]
        ready = self.root / ".ready"
        self._sandbox = subprocess.Popen(args, stdin=subprocess.DEVNULL,
                                         stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)
        deadline = time.monotonic() + 10
        while not ready.exists():
            if self._sandbox.poll() is not None:
                raise RuntimeError("bwrap failed: %s" % self._sandbox.stderr.read().decode())
            if time.monotonic() > deadline:
                self._sandbox.kill()
                raise RuntimeError("sandbox did not come up")
            time.sleep(0.01)
        self.init_pid = self._sandbox_child()

    def _sandbox_child(self):
        # bwrap -> its init (pid 1 inside) -> sh/sleep; the init's view is the camera's.
        children = _children(self._sandbox.pid)
        if not children:
            raise RuntimeError("bwrap has no sandbox process")
        return children[0]

    def _in_namespaces(self, kinds, fn):
        """Runs fn() in a thread that has joined the camera's namespaces."""
        box = {}

        def body():
            try:
                for kind in kinds:
                    fd = os.open("/proc/%d/ns/%s" % (self.init_pid, kind), os.O_RDONLY)
                    try:
                        if _libc.setns(fd, 0) != 0:
                            raise _os_error("setns %s" % kind)
                    finally:
                        os.close(fd)
                box["value"] = fn()
            except BaseException as exc:  # handed back to the caller
                box["error"] = exc

        t = threading.Thread(target=body, daemon=True)
        t.start()
        t.join()
        if "error" in box:
            raise box["error"]
        return box["value"]

    def host_path(self, path):
        """Host file behind a sandbox path under /mnt/sif, /var/run, /tmpfs, /komod, /tmp."""
        for inside, sub in MOUNTS.items():
            if path == inside or path.startswith(inside + "/"):
                return self.root / sub / path[len(inside):].lstrip("/")
        if path == "/etc/hosts":
            return self.root / "etc" / "hosts"
        raise ValueError("not a camera-writable path: %s" % path)

    def write_file(self, path, data, mode=None):
        host = self.host_path(path)
        host.parent.mkdir(parents=True, exist_ok=True)
        host.write_bytes(_as_bytes(data))
        if mode is not None:
            os.chmod(host, mode)
        return host

    def read_file(self, path):
        return self.host_path(path).read_bytes()

    # --- scenario ------------------------------------------------------

    def set_scan(self, text):
        _write_atomic(self.root / "scan", _as_bytes(text))

    def set_wpa_status(self, text, after=None, then=None):
        for name in ("wpa_status.after", "wpa_status.count", "wpa_status.next"):
            try:
                (self.root / name).unlink()
            except FileNotFoundError:
                pass
        _write_atomic(self.root / "wpa_status", _as_bytes(text))
        if after is not None and then is not None:
            _write_atomic(self.root / "wpa_status.next", _as_bytes(then))
            _write_atomic(self.root / "wpa_status.after", b"%d\n" % after)

    def set_hosts(self, text):
        # Written in place: the sandbox sees this inode through its bind mount.
        with open(self.root / "etc" / "hosts", "wb") as f:
            f.write(_as_bytes(text))

    def load_scenario(self, directory):
        """Copies a scenario directory into the camera:
        sif/* -> /mnt/sif, gpio/* -> line files and knobs, hosts -> /etc/hosts,
        scan and wpa_status[.after|.next] -> the tools' answers."""
        d = Path(directory)
        for sub, dest in (("sif", self.sif), ("gpio", self.gpio_dir)):
            if (d / sub).is_dir():
                shutil.copytree(d / sub, dest, dirs_exist_ok=True)
        if (d / "hosts").is_file():
            self.set_hosts((d / "hosts").read_bytes())
        for name in ("scan", "wpa_status", "wpa_status.next", "wpa_status.after"):
            if (d / name).is_file():
                shutil.copy2(d / name, self.root / name)

    # --- GPIO ----------------------------------------------------------

    def line(self, group, bit):
        try:
            text = (self.gpio_dir / ("%d_%d" % (group, bit))).read_text()
        except FileNotFoundError:
            return (0, 0)
        d = re.search(r"dir=(-?\d+)", text)
        l = re.search(r"level=(-?\d+)", text)
        return (int(d.group(1)) if d else 0, int(l.group(1)) if l else 0)

    def set_line(self, group, bit, level, direction=None):
        old_dir, _ = self.line(group, bit)
        d = old_dir if direction is None else direction
        _write_atomic(self.gpio_dir / ("%d_%d" % (group, bit)),
                      b"dir=%d level=%d\n" % (d, level))

    def gpio_requests(self):
        out = []
        try:
            text = (self.gpio_dir / "requests.log").read_text()
        except FileNotFoundError:
            return out
        for row in text.splitlines():
            f = row.split()
            if len(f) == 7:
                out.append(Request(float(f[0]), *(int(x) for x in f[1:])))
        return out

    def set_gpio_knob(self, name, value):
        """"missing"/"no_write": True makes, False removes; "result_<code>": N, 0/None removes."""
        if not (name in ("missing", "no_write") or re.fullmatch(r"result_\d+", name)):
            raise ValueError("unknown GPIO knob %r" % name)
        path = self.gpio_dir / name
        if value is None or value is False or (value == 0 and value is not True):
            try:
                path.unlink()
            except FileNotFoundError:
                pass
        elif name.startswith("result_"):
            _write_atomic(path, b"%d\n" % int(value))
        else:
            path.touch()

    def queue_line_reads(self, group, bit, levels):
        """The next read requests of a line answer these levels, one each,
        before the line file counts again: changes faster than a test can
        flip a line (the switch going off between two reads)."""
        _write_atomic(self.gpio_dir / ("%d_%d.reads" % (group, bit)),
                      ("%s\n" % " ".join(str(int(v)) for v in levels)).encode())

    # --- journal -------------------------------------------------------

    def journal(self):
        out = []
        for row in self.journal_path.read_text(errors="replace").splitlines():
            parts = row.split(" ")
            if len(parts) >= 2:
                out.append(Command(float(parts[0]), parts[1], parts[2:]))
        return out

    def commands(self):
        return [" ".join([c.name] + c.args) for c in self.journal()]

    # --- message queue -------------------------------------------------

    def queue_messages(self, key=QUEUE_KEY):
        """Takes every waiting message off the queue (any type), oldest first."""
        def drain():
            qid = _libc.msgget(key, 0)
            if qid < 0:
                if ctypes.get_errno() == errno.ENOENT:
                    return []
                raise _os_error("msgget")
            got = []
            msg = _Message()
            while True:
                n = _libc.msgrcv(qid, ctypes.byref(msg), QUEUE_TEXT_SIZE, 0,
                                 IPC_NOWAIT | MSG_NOERROR)
                if n < 0:
                    if ctypes.get_errno() in (errno.ENOMSG, errno.EIDRM, errno.EINVAL):
                        return got
                    raise _os_error("msgrcv")
                raw = ctypes.string_at(ctypes.addressof(msg) + _Message.mtext.offset, n)
                got.append((msg.mtype, raw.split(b"\0", 1)[0].decode("latin-1")))
        return self._in_namespaces(["ipc"], drain)

    def queue_fill(self, mtype=99, text="FILL", key=QUEUE_KEY):
        """Adds messages of the camera's size until the queue is full; returns how many."""
        def fill():
            qid = _libc.msgget(key, IPC_CREAT | 0o666)
            if qid < 0:
                raise _os_error("msgget")
            msg = _Message(mtype, _as_bytes(text)[:QUEUE_TEXT_SIZE - 1])
            n = 0
            while _libc.msgsnd(qid, ctypes.byref(msg), QUEUE_TEXT_SIZE, IPC_NOWAIT) == 0:
                n += 1
            if ctypes.get_errno() != errno.EAGAIN:
                raise _os_error("msgsnd")
            return n
        return self._in_namespaces(["ipc"], fill)

    def queue_stat(self, key=QUEUE_KEY):
        """The queue's row of /proc/sysvipc/msg as seen inside, or None without a queue."""
        def stat():
            with open("/proc/sysvipc/msg") as f:
                rows = [r.split() for r in f.read().splitlines()]
            head = rows[0]
            for r in rows[1:]:
                row = dict(zip(head, r))
                if int(row["key"]) == key:
                    return {"msqid": int(row["msqid"]), "perms": int(row["perms"], 8),
                            "cbytes": int(row["cbytes"]), "qnum": int(row["qnum"]),
                            "lspid": int(row["lspid"]), "lrpid": int(row["lrpid"])}
            return None
        return self._in_namespaces(["ipc"], stat)

    # --- network -------------------------------------------------------

    def socket(self, family=socket.AF_INET, type=socket.SOCK_DGRAM, proto=0):
        """A socket that lives in the camera's network namespace."""
        return self._in_namespaces(["net"], lambda: socket.socket(family, type, proto))

    def udp_responder(self, ip, port, reply=None):
        r = UdpResponder(self.socket(), ip, port, reply)
        self._responders.append(r)
        return r

    # --- programs ------------------------------------------------------

    def start(self, program, args=(), env=None, close_fds=(), console="pty"):
        """Starts a program of the build inside the camera.

        close_fds: descriptors among 0-2 to leave closed for the program (how a
        daemon started by a careless parent finds itself).
        console: "pty" (a terminal each for stdout and stderr) or "pipe"."""
        program = Path(program)
        if not program.is_file():
            raise FileNotFoundError("program not built: %s" % program)
        if str(program.resolve()).startswith("/usr/"):
            inside_prog = str(program)  # the host's own tools are there already
        else:
            inside_prog = "%s/prog/%s" % (INSIDE, program.name)
            shutil.copy2(program, self.root / "prog" / program.name)

        environ = {"PATH": "%s/bin:/usr/sbin:/usr/bin:/sbin:/bin" % INSIDE,
                   "HOME": "/root", "LANG": "C", "TERM": "dumb",
                   "CAMSIM_STATE": INSIDE,
                   "ASAN_OPTIONS": "verify_asan_link_order=0"}
        for k in ("ASAN_OPTIONS", "UBSAN_OPTIONS", "TSAN_OPTIONS", "LSAN_OPTIONS"):
            if os.environ.get(k):
                environ[k] = ":".join(filter(None, [environ.get(k), os.environ[k]]))
        preload = []
        if self.gpio:
            environ["CAMSIM_GPIO_DIR"] = "%s/gpio" % INSIDE
            preload.append(self._preload_standin)
        if self.faketime:
            clock_text = self.faketime if " " in self.faketime else "+0 " + self.faketime
            environ["FAKETIME"] = clock_text
            if self.emulator and _foreign(program):
                preload.append(self._install_guest_faketime(program))
                rate = re.search(r"x([0-9.]+)", clock_text)
                environ["CAMSIM_CLOCK"] = "%.6f %s" % (time.time(), rate.group(1) if rate else 1)
            else:
                preload.append(FAKETIME_LIB)
        environ.update(env or {})

        cmd = ["nsenter", "-t", str(self.init_pid), "-m", "-i", "-n", "-p", "-u", "-r", "-w",
               "--"]
        if close_fds:
            redirs = " ".join("%d<&-" % fd if fd == 0 else "%d>&-" % fd for fd in close_fds)
            cmd += ["/bin/sh", "-c", 'exec %s "$0" "$@"' % redirs]
        # The environment is set inside the camera (env -i, which execs in
        # place): nsenter itself runs on the host and must not get the preload.
        if preload and not self.emulator:
            environ["LD_PRELOAD"] = " ".join(preload)
        cmd += ["/usr/bin/env", "-i"] + ["%s=%s" % kv for kv in environ.items()]
        if self.emulator and _foreign(program):
            cmd += self.emulator
            if preload:
                cmd += ["-E", "LD_PRELOAD=" + " ".join(preload)]
        elif preload and self.emulator:
            cmd += ["LD_PRELOAD=" + " ".join(preload)]  # a host tool: env sets it
        cmd += [inside_prog] + [str(a) for a in args]
        p = Program(cmd, {"PATH": "/usr/sbin:/usr/bin:/sbin:/bin", "LANG": "C"}, program.name,
                    console)
        self._programs.append(p)
        return p

    def run(self, program, args=(), timeout=30.0, **options):
        """Starts a program, waits for it to end and returns it (see p.returncode)."""
        p = self.start(program, args, **options)
        p.wait(timeout)
        return p

    def wait_until(self, fn, timeout=10.0, interval=0.05, what=None):
        deadline = time.monotonic() + timeout
        while True:
            value = fn()
            if value:
                return value
            if time.monotonic() > deadline:
                raise TimeoutError("timed out after %.1f s waiting for %s"
                                   % (timeout, what or getattr(fn, "__name__", "condition")))
            time.sleep(interval)

    def close(self):
        if self._closed:
            return
        self._closed = True
        for r in self._responders:
            r.close()
        for p in self._programs:
            p.kill()
        for p in self._programs:
            p.wait(timeout=5, check=False)
        if self._sandbox and self._sandbox.poll() is None:
            self._sandbox.kill()
            self._sandbox.wait(timeout=5)
        if self._sandbox and self._sandbox.stderr:
            self._sandbox.stderr.close()

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        self.close()


def _multiarch_of(elf_file):
    """Debian's library directory name for a shared object's machine."""
    head = Path(elf_file).read_bytes()[:52]
    if head[:4] != b"\x7fELF":
        raise ValueError("not an ELF file: %s" % elf_file)
    little = head[5] == 1
    order = "little" if little else "big"
    machine = int.from_bytes(head[18:20], order)
    if machine == 40:  # ARM; EF_ARM_ABI_FLOAT_HARD tells armhf from armel
        flags = int.from_bytes(head[36:40], order)
        return "arm-linux-gnueabihf" if flags & 0x400 else "arm-linux-gnueabi"
    names = {3: "i386-linux-gnu", 62: "x86_64-linux-gnu", 183: "aarch64-linux-gnu",
             8: "mipsel-linux-gnu" if little else "mips-linux-gnu"}
    return names.get(machine, "lib")


def _elf_machine(path):
    head = Path(path).read_bytes()[:20]
    if head[:4] != b"\x7fELF":
        return None
    return int.from_bytes(head[18:20], "little" if head[5] == 1 else "big")


def _foreign(program):
    """True for a binary of another machine than the host's (scripts are not)."""
    machine = _elf_machine(program)
    return machine is not None and machine != _elf_machine(os.path.realpath(sys.executable))


def _children(pid):
    try:
        with open("/proc/%d/task/%d/children" % (pid, pid)) as f:
            return [int(x) for x in f.read().split()]
    except FileNotFoundError:
        return []


class Program:
    """A program running in the camera, with its console captured line by line."""

    def __init__(self, cmd, environ, name, console="pty"):
        self.name = name
        self._lines = []
        # Re-entrant: a wait_for predicate may well call lines() itself.
        self._lock = threading.RLock()
        self._cond = threading.Condition(self._lock)
        if console == "pty":
            out_m, out_s = os.openpty()
            err_m, err_s = os.openpty()
            for fd in (out_s, err_s):
                tty.setraw(fd)  # no "\r\n" translation, no echo
        elif console == "pipe":  # as in a log file or a pipeline
            out_m, out_s = os.pipe()
            err_m, err_s = os.pipe()
        else:
            raise ValueError("console is 'pty' or 'pipe', not %r" % console)
        try:
            self._proc = subprocess.Popen(cmd, env=environ, stdin=subprocess.DEVNULL,
                                          stdout=out_s, stderr=err_s,
                                          start_new_session=True)
        finally:
            os.close(out_s)
            os.close(err_s)
        self._reader = threading.Thread(target=self._read, args=({out_m: "out", err_m: "err"},),
                                        daemon=True)
        self._reader.start()
        self.pid = self._find_pid()

    def _find_pid(self):
        # nsenter forks the program into the camera's PID namespace; signals
        # must go to that child, nsenter does not pass them on.
        deadline = time.monotonic() + 5
        while time.monotonic() < deadline:
            kids = _children(self._proc.pid)
            if kids:
                return kids[0]
            if self._proc.poll() is not None:
                return None
            time.sleep(0.002)
        return None

    def _read(self, fds):
        partial = {fd: b"" for fd in fds}
        open_fds = set(fds)
        while open_fds:
            ready, _, _ = select.select(list(open_fds), [], [], 0.5)
            for fd in ready:
                try:
                    chunk = os.read(fd, 65536)
                except OSError:  # EIO: every writer has gone
                    chunk = b""
                now = time.time()
                if not chunk:
                    open_fds.discard(fd)
                    if partial[fd]:
                        self._add(now, fds[fd], partial[fd])
                    os.close(fd)
                    continue
                data = partial[fd] + chunk
                *whole, partial[fd] = data.split(b"\n")
                for raw in whole:
                    self._add(now, fds[fd], raw)
        with self._cond:
            self._cond.notify_all()

    def _add(self, t, stream, raw):
        text = raw.decode("utf-8", "replace").rstrip("\r")
        with self._cond:
            self._lines.append(Line(t, stream, text))
            self._cond.notify_all()

    def lines(self, stream=None):
        with self._lock:
            return [l for l in self._lines if stream is None or l.stream == stream]

    def text(self, stream=None):
        return "".join(l.text + "\n" for l in self.lines(stream))

    def wait_for(self, match, timeout=10.0, stream=None, since=0):
        """First line (from index `since` of lines(stream)) matching: a text is
        looked for as a substring, a compiled pattern searched, a callable asked."""
        if isinstance(match, str):
            test = lambda l: match in l.text
        elif hasattr(match, "search"):
            test = lambda l: match.search(l.text) is not None
        else:
            test = match
        deadline = time.monotonic() + timeout
        checked = since
        while True:
            seen = self.lines(stream)
            for l in seen[checked:]:
                if test(l):
                    return l
            checked = max(checked, len(seen))
            left = deadline - time.monotonic()
            if left <= 0:
                tail = "".join("  %s| %s\n" % (l.stream, l.text) for l in seen[-15:])
                raise TimeoutError("%s: no line matching %r within %.1f s; last lines:\n%s"
                                   % (self.name, match, timeout, tail))
            with self._cond:
                if len(self.lines(stream)) == len(seen):
                    self._cond.wait(min(left, 0.2))

    def signal(self, sig):
        if self.pid is not None and self._proc.poll() is None:
            os.kill(self.pid, sig)

    def kill(self):
        try:
            self.signal(signal.SIGKILL)
        except ProcessLookupError:
            pass

    def wait(self, timeout=10.0, check=True):
        try:
            rc = self._proc.wait(timeout)
        except subprocess.TimeoutExpired:
            if check:
                raise
            self._proc.kill()
            rc = self._proc.wait()
        self._reader.join(2)
        return rc

    @property
    def returncode(self):
        return self._proc.poll()

    def running(self):
        return self._proc.poll() is None


class UdpResponder:
    """A UDP server inside the camera that records what it gets and may answer."""

    def __init__(self, sock, ip, port, reply):
        self.address = (ip, port)
        self._sock = sock
        self._sock.bind(self.address)
        self._sock.settimeout(0.2)
        self._reply = reply
        self._got = []
        self._lock = threading.Lock()
        self._stop = False
        self._thread = threading.Thread(target=self._serve, daemon=True)
        self._thread.start()

    def _serve(self):
        while not self._stop:
            try:
                data, src = self._sock.recvfrom(65536)
            except socket.timeout:
                continue
            except OSError:
                return
            with self._lock:
                self._got.append((time.time(), Datagram(src[0], src[1], data)))
            answer = self._reply(data, src) if callable(self._reply) else self._reply
            if answer is not None:
                try:
                    self._sock.sendto(answer, src)
                except OSError:
                    pass

    def received(self):
        with self._lock:
            return [d for _, d in self._got]

    def received_at(self):
        """[(arrival time, Datagram)]."""
        with self._lock:
            return list(self._got)

    def send_to(self, ip, port, data):
        self._sock.sendto(data, (ip, port))

    def close(self):
        self._stop = True
        self._thread.join(1)
        self._sock.close()
