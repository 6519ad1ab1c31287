"""What the benchmark scripts share: their command line, the tools of a build
and on the PATH, the settings they render with, the runner that times a
command and takes its peak memory, medians of rounds run side by side, and
the machine they ran on."""

import argparse
import contextlib
import os
import shutil
import statistics
import subprocess
import sys
import tempfile
import time

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))


def fail(message):
    sys.exit(f"{os.path.basename(sys.argv[0])}: {message}")


def arguments(doc, frames):
    """--build, --runs, --frames (default `frames`) and --keep, checked."""
    parser = argparse.ArgumentParser(description=doc.split("\n\n")[0])
    parser.add_argument("--build", default=os.path.join(ROOT, "build"),
                        help="CMake build directory (default: build)")
    parser.add_argument("--runs", type=int, default=5, help="timed runs per program")
    parser.add_argument("--frames", type=int, default=frames, help="frames in the -j sequence")
    parser.add_argument("--keep", help="work in this directory and keep the files")
    args = parser.parse_args()
    if args.runs < 1 or args.frames < 2:
        fail("--runs must be at least 1 and --frames at least 2")
    return args


@contextlib.contextmanager
def work_folder(keep, prefix):
    """`keep`, or a temporary folder removed afterwards."""
    work = os.path.abspath(keep) if keep else tempfile.mkdtemp(prefix=prefix)
    os.makedirs(work, exist_ok=True)
    try:
        yield work
    finally:
        if not keep:
            shutil.rmtree(work, ignore_errors=True)


def find_tools(build, products, programs=()):
    """{name: path} of the build's `products` ((folder, name) pairs); fails
    naming whatever is missing there or among `programs` on the PATH."""
    tools = {name: os.path.join(os.path.abspath(build), folder, name)
             for folder, name in products}
    missing = [path for path in tools.values() if not os.access(path, os.X_OK)]
    missing += [program for program in programs if shutil.which(program) is None]
    if missing:
        fail("missing: " + ", ".join(missing) +
             " (build with cmake --build, install with scripts/install-deps.sh)")
    return tools


def run(argv, **kwargs):
    subprocess.run(argv, check=True, stdout=subprocess.DEVNULL, **kwargs)


def prepare_settings(selvo, work, *options):
    """Most similar colour over the whole palette for every ID; `options`
    are further `selvo config set` options."""
    settings = os.path.join(work, "settings.slv")
    run([selvo, "config", "init", settings, "--force"])
    ranges = [arg for i in range(16) for arg in ("--range", f"{i}=0-255")]
    run([selvo, "config", "set", settings, "--method", "similar",
         "--output", "selvo.pcx", *ranges, *options])
    return settings


def measured(command, cwd):
    """Wall time in seconds and peak resident memory in bytes of one run of
    a shell command."""
    start = time.perf_counter()
    child = subprocess.Popen(command, shell=True, cwd=cwd,
                             stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    _, status, usage = os.wait4(child.pid, 0)
    seconds = time.perf_counter() - start
    if os.waitstatus_to_exitcode(status) != 0:
        fail(f"exit status {os.waitstatus_to_exitcode(status)}: {command}")
    return seconds, usage.ru_maxrss * 1024  # the shell's own peak is far below


def median_measures(commands, work, runs):
    """One warm-up run each, then `runs` rounds of all of them side by side:
    {name: (median time, peak memory)}."""
    samples = {name: [] for name in commands}
    for command in commands.values():
        measured(command, work)
    for _ in range(runs):
        for name, command in commands.items():
            samples[name].append(measured(command, work))
    return {name: (statistics.median(t for t, _ in s), max(m for _, m in s))
            for name, s in samples.items()}


def cpu_model():
    try:
        out = subprocess.run(["lscpu"], capture_output=True, text=True).stdout
        for line in out.splitlines():
            if line.startswith("Model name:"):
                return line.split(":", 1)[1].strip()
    except OSError:
        pass
    return "unknown"
