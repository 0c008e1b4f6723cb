#!/usr/bin/env python3
"""Figures for the running window, next to the demo service, under Xvfb.

    xvfb-run -s "-screen 0 1600x1000x24 -dpi 96" bench/window_bench.py build [service options...] [-- program options...]

Starts kestrix-service (demo traffic) and kestrix in private folders and
reports: the time from starting the program to its first rendered frame
(Qt's scene-graph frame log), its resident memory after 30 s, and its CPU
use over the following 60 s (percent of one core). Nothing of the program is
changed for the measurement. At 96 dpi the window is drawn at scale 1 (a bare
Xvfb reports 100 dpi, which the program would follow).

Xvfb's only OpenGL is Mesa's llvmpipe, so the program draws with Qt Quick's
software scene graph; KESTRIX_SCENE_GRAPH=opengl in the environment measures
the OpenGL path instead.

    xvfb-run -s "-screen 0 1600x1000x24 -dpi 96" bench/window_bench.py build --reference [--animate]

measures a bare window of the same size with the same modules, background
and choice of scene graph instead (bench/reference_window.qml): what the
platform and the graphics stack cost before any of the program's scenes
draw, still or (--animate) with one bar that never stops sliding.
"""

import os
import select
import subprocess
import sys
import tempfile
import time

FRAME_MARKERS = ("Frame rendered", "frame rendered", "Frame prepared", "syncAndRender")


def cpu_seconds(pid):
    with open(f"/proc/{pid}/stat") as stat:
        fields = stat.read().rsplit(")", 1)[1].split()
    ticks = int(fields[11]) + int(fields[12])   # utime + stime
    return ticks / os.sysconf("SC_CLK_TCK")


def resident_kib(pid):
    with open(f"/proc/{pid}/status") as status:
        for line in status:
            if line.startswith("VmRSS:"):
                return int(line.split()[1])
    return 0


def measure(command, cwd, env, settle, window):
    """Starts command and prints its first frame, memory and CPU figures."""
    program_env = dict(env)
    program_env["QT_LOGGING_RULES"] = "qt.scenegraph.time.renderloop.debug=true"
    program_env["QT_FORCE_STDERR_LOGGING"] = "1"
    started = time.monotonic()
    program = subprocess.Popen(command, cwd=cwd, env=program_env,
                               stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, text=True)
    drain = None
    try:
        first_frame = None
        deadline = started + 30
        while first_frame is None and time.monotonic() < deadline:
            ready, _, _ = select.select([program.stderr], [], [], 1.0)
            if not ready:
                continue
            line = program.stderr.readline()
            if not line:
                break
            if any(marker in line for marker in FRAME_MARKERS):
                first_frame = time.monotonic() - started
        # Keep reading so the pipe never fills and blocks the program.
        drain = subprocess.Popen(["cat"], stdin=program.stderr, stdout=subprocess.DEVNULL)
        if first_frame is None:
            print("first frame: not seen (no scene-graph frame log)")
        else:
            print(f"first frame: {first_frame * 1000:.0f} ms after start")
        time.sleep(max(0.0, settle - (time.monotonic() - started)))
        print(f"resident memory after {settle:.0f} s: {resident_kib(program.pid) / 1024:.1f} MB")
        before = cpu_seconds(program.pid)
        time.sleep(window)
        used = cpu_seconds(program.pid) - before
        print(f"cpu over {window:.0f} s: {100 * used / window:.2f} % of one core")
    finally:
        program.terminate()
        program.wait(10)
        if drain is not None:
            drain.wait(10)


def main():
    if len(sys.argv) < 2:
        print(__doc__)
        return 2
    build = os.path.abspath(sys.argv[1])
    options = sys.argv[2:]
    # Options after "--" go to the program (for example -a: started as at
    # logon, the window stays hidden where no tray exists).
    program_options = []
    if "--" in options:
        at = options.index("--")
        options, program_options = options[:at], options[at + 1:]
    settle = float(os.environ.get("KESTRIX_BENCH_SETTLE", "30"))
    window = float(os.environ.get("KESTRIX_BENCH_CPU_WINDOW", "60"))

    with tempfile.TemporaryDirectory(prefix="kestrix-window-bench-") as root:
        env = dict(os.environ)
        for name in ("ipc", "runtime", "config", "cache", "home", "work"):
            os.makedirs(os.path.join(root, name), mode=0o700)
        env.update({
            "KESTRIX_IPC_DIR": os.path.join(root, "ipc"),
            "XDG_RUNTIME_DIR": os.path.join(root, "runtime"),
            "XDG_CONFIG_HOME": os.path.join(root, "config"),
            "XDG_CACHE_HOME": os.path.join(root, "cache"),
            "HOME": os.path.join(root, "home"),
        })
        work = os.path.join(root, "work")
        if options and options[0] == "--reference":
            scene = os.path.join(os.path.dirname(os.path.abspath(__file__)), "reference_window.qml")
            measure([os.path.join(build, "bench", "reference_view"), scene] + options[1:],
                    work, env, settle, window)
            return 0
        service = subprocess.Popen(
            [os.path.join(build, "service", "kestrix-service"), "--demo", "--fake-adapter"] + options,
            env=env, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, text=True)
        try:
            print(service.stdout.readline().strip())
            measure([os.path.join(build, "src", "app", "kestrix")] + program_options, work, env, settle, window)
        finally:
            service.terminate()
            service.wait(10)
    return 0


if __name__ == "__main__":
    sys.exit(main())
