#!/usr/bin/env python3
"""Walks tests/data/bad/expectations.txt: runs `selvo` on every case in a
fresh working folder and checks its exit status, that a failure says so in
one line naming the problem, and that exactly the expected files are left:
never a partial or temporary file.

usage: run_corpus.py SELVO [CASE-NAME...]"""
import os
import re
import resource
import shlex
import signal
import struct
import subprocess
import sys
import tempfile

HERE = os.path.dirname(os.path.abspath(__file__))


def parse(path):
    """Cases as dicts; fields are separated by " | "; {c*N} in the outputs
    and the arguments stands for N times the character c."""
    cases = []
    with open(path, encoding="utf-8") as f:
        for number, line in enumerate(f, 1):
            line = line.strip()
            if not line or line.startswith("#"):
                continue
            fields = [field.strip() for field in line.split(" | ")]
            if len(fields) != 5:
                sys.exit(f"{path}:{number}: expected 5 fields, got {len(fields)}")
            fields = [re.sub(r"\{(\w)\*(\d+)\}", lambda m: m.group(1) * int(m.group(2)), f)
                      for f in fields]
            name, status, outputs, message, args = fields
            cases.append({
                "name": name,
                "status": int(status),
                "outputs": [] if outputs == "-" else outputs.split(","),
                "message": None if message == "-" else message,
                "args": args,
                "line": number,
            })
    return cases


def file_size_limit(kilobytes):
    """A full disk for the child: writes past the limit fail with EFBIG
    instead of raising SIGXFSZ."""
    def apply():
        signal.signal(signal.SIGXFSZ, signal.SIG_IGN)
        resource.setrlimit(resource.RLIMIT_FSIZE, (kilobytes * 1024, kilobytes * 1024))
    return apply


def expand(args, work):
    """The argument list, the file-size limit, and the files copied in."""
    text = args.replace("{bad}", HERE)
    limit = None
    copies = {}
    words = []
    for word in shlex.split(text):
        if word.startswith("fsize="):
            limit = int(word[len("fsize="):])
        elif word.startswith("copy="):
            source, name = word[len("copy="):].split(":")
            with open(source, "rb") as f:
                copies[name] = f.read()
            with open(os.path.join(work, name), "wb") as f:
                f.write(copies[name])
        else:
            words.append(word)
    return words, limit, copies


def complete_pcx(path):
    """Header, every run-length scanline, and the palette trailer exactly at
    the end, as the writer lays them out."""
    with open(path, "rb") as f:
        data = f.read()
    if len(data) < 128 + 769 or data[:4] != b"\x0a\x05\x01\x08":
        return False
    x_max, y_max = struct.unpack("<HH", data[8:12])
    at = 128
    for _ in range(y_max + 1):
        x = 0
        while x <= x_max and at < len(data):
            count = data[at] & 0x3F if data[at] >= 0xC0 else 1
            at += 2 if data[at] >= 0xC0 else 1
            x += count
        if x != x_max + 1:
            return False
    return at == len(data) - 769 and data[at] == 0x0C


def left_files(folder):
    found = []
    for root, _, files in os.walk(folder):
        for name in files:
            found.append(os.path.relpath(os.path.join(root, name), folder))
    return sorted(found)


def run_case(selvo, case, corpus_files):
    problems = []
    with tempfile.TemporaryDirectory(prefix="selvo-bad-") as work:
        words, limit, copies = expand(case["args"], work)
        try:
            done = subprocess.run([selvo] + words, cwd=work, capture_output=True, text=True,
                                  errors="replace", timeout=120,
                                  preexec_fn=file_size_limit(limit) if limit else None)
        except subprocess.TimeoutExpired:
            return ["did not finish within 120 seconds"]
        if done.returncode != case["status"]:
            problems.append(f"exit status {done.returncode}, expected {case['status']}")
        errors = done.stderr.splitlines()
        if case["status"] != 0:
            if len(errors) != 1:
                problems.append(f"{len(errors)} lines on stderr, expected one")
            if any(ord(c) < 0x20 or ord(c) == 0x7F for c in done.stderr.rstrip("\n")):
                problems.append("control characters on stderr")
            if case["message"] and case["message"] not in done.stderr:
                problems.append(f"stderr lacks {case['message']!r}")
            for name, content in copies.items():
                with open(os.path.join(work, name), "rb") as f:
                    if f.read() != content:
                        problems.append(f"a failed run changed {name}")
        elif errors:
            problems.append("a successful run wrote to stderr")
        left = left_files(work)
        if left != sorted(case["outputs"]):
            problems.append(f"left {left}, expected {sorted(case['outputs'])}")
        problems += [f"{name} is not a complete PCX file" for name in left
                     if name.endswith(".pcx") and not complete_pcx(os.path.join(work, name))]
        strays = [p for p in left_files(HERE) if p not in corpus_files]
        strays += [f"/dev/{n}" for n in os.listdir("/dev") if n.endswith(".partial")]
        if strays:
            problems.append(f"left files outside the working folder: {strays}")
        if problems:
            problems.append("stderr: " + done.stderr.strip().replace("\n", " / "))
    return problems


def main():
    if len(sys.argv) < 2:
        sys.exit(__doc__)
    selvo = os.path.abspath(sys.argv[1])
    wanted = set(sys.argv[2:])
    cases = parse(os.path.join(HERE, "expectations.txt"))
    corpus_files = set(left_files(HERE))
    failures = 0
    cases = [case for case in cases if not wanted or case["name"] in wanted]
    for case in cases:
        problems = run_case(selvo, case, corpus_files)
        print(("FAIL " if problems else "ok   ") + case["name"])
        for problem in problems:
            print(f"     expectations.txt:{case['line']}: {problem}")
        failures += bool(problems)
    print(f"{len(cases) - failures} passed, {failures} failed")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
