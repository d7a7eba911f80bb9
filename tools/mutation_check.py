#!/usr/bin/env python3
"""Plants small faults in the code, one at a time, and checks that the test
suite fails for each.

The faults are listed in tools/mutations.txt. Each entry names a file, a text
that must occur in it exactly once and the text that replaces it:

    ## cipher: Step feeds back into cell 255 instead of 254
    cipher/keystream_register.cpp
    <<<
    (feedback << 30U)
    ===
    (feedback << 31U)
    >>>

The check copies the tracked files of the working tree into a scratch folder,
builds them once and runs the suite once (it must pass), then for each fault
patches the copy, rebuilds incrementally and runs the suite until its first
failure. A fault the suite does not notice survives. An entry whose text is
not found exactly once, or whose fault does not build, is an error in the
list: the list has to follow the code.

    tools/mutation_check.py [--only SUBSTRING] [--scratch DIR]

The log of every build and run is left in the scratch folder (mutation.log).

Exit status 0 when every fault was caught, 1 otherwise.
"""

import argparse
import os
import pathlib
import shutil
import subprocess
import sys
import time

ROOT = pathlib.Path(__file__).resolve().parent.parent
LIST = ROOT / "tools" / "mutations.txt"


class Mutation:
    def __init__(self, title, path, original, replacement):
        self.title = title
        self.path = path
        self.original = original
        self.replacement = replacement


def parse_list(text):
    mutations = []
    lines = text.splitlines()
    i = 0

    def block(start_marker, end_markers):
        nonlocal i
        if lines[i] != start_marker:
            raise SystemExit(f"mutations.txt:{i + 1}: expected {start_marker}")
        i += 1
        body = []
        while lines[i] not in end_markers:
            body.append(lines[i])
            i += 1
        return "\n".join(body)

    while i < len(lines):
        line = lines[i]
        if not line.startswith("## "):
            if line.strip() and not line.startswith("#"):
                raise SystemExit(f"mutations.txt:{i + 1}: stray line: {line}")
            i += 1
            continue
        title = line[3:].strip()
        path = lines[i + 1].strip()
        i += 2
        original = block("<<<", ("===",))
        replacement = block("===", (">>>",))
        i += 1
        mutations.append(Mutation(title, path, original, replacement))
    return mutations


def run(command, cwd, log, timeout=None):
    with open(log, "ab") as out:
        out.write(("\n$ " + " ".join(command) + "\n").encode())
        out.flush()
        try:
            return subprocess.run(command, cwd=cwd, stdout=out,
                                  stderr=subprocess.STDOUT,
                                  timeout=timeout).returncode
        except subprocess.TimeoutExpired:
            return -1


def copy_tree(scratch):
    """Copies the tracked files as they stand in the working tree."""
    source = scratch / "src"
    if source.exists():
        shutil.rmtree(source)
    files = subprocess.run(["git", "ls-files", "-z"], cwd=ROOT, check=True,
                           capture_output=True).stdout.split(b"\0")
    for name in files:
        if not name:
            continue
        relative = name.decode()
        origin = ROOT / relative
        if not origin.is_file():
            continue  # deleted in the working tree
        target = source / relative
        target.parent.mkdir(parents=True, exist_ok=True)
        shutil.copy2(origin, target)
    return source


def suite(build, log):
    jobs = str(os.cpu_count() or 2)
    return run(["ctest", "--test-dir", str(build), "-j", jobs,
                "--stop-on-failure", "--timeout", "300",
                "-E", "CrashSafety"], build, log, timeout=1800)


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("--only", help="run the entries whose title has this")
    parser.add_argument("--scratch", default=str(ROOT / "build-mutation"))
    args = parser.parse_args()

    mutations = parse_list(LIST.read_text(encoding="utf-8"))
    if args.only:
        mutations = [m for m in mutations if args.only in m.title]
    scratch = pathlib.Path(args.scratch)
    scratch.mkdir(parents=True, exist_ok=True)
    log = scratch / "mutation.log"
    log.write_text("")
    source = copy_tree(scratch)
    build = scratch / "build"

    # Every entry must apply to the code as it is before anything is built.
    errors = []
    for m in mutations:
        count = (source / m.path).read_text(encoding="utf-8").count(m.original) \
            if (source / m.path).is_file() else 0
        if count != 1:
            errors.append(f"{m.title}: found {count} times in {m.path}")
    if errors:
        print("The list does not match the code:", *errors, sep="\n  ")
        return 1

    if build.exists():
        shutil.rmtree(build)
    print("Building the unchanged code once ...", flush=True)
    if run(["cmake", "-S", str(source), "-B", str(build), "-G", "Ninja"],
           scratch, log) != 0 or \
            run(["cmake", "--build", str(build)], scratch, log) != 0:
        print(f"The unchanged code does not build; see {log}")
        return 1
    if suite(build, log) != 0:
        print(f"The suite fails on the unchanged code; see {log}")
        return 1

    caught, survived, broken = [], [], []
    for number, m in enumerate(mutations, 1):
        path = source / m.path
        pristine = path.read_text(encoding="utf-8")
        path.write_text(pristine.replace(m.original, m.replacement),
                        encoding="utf-8")
        started = time.monotonic()
        try:
            if run(["cmake", "--build", str(build)], scratch, log) != 0:
                broken.append(m)
                verdict = "DOES NOT BUILD"
            elif suite(build, log) != 0:
                caught.append(m)
                verdict = "caught"
            else:
                survived.append(m)
                verdict = "SURVIVED"
        finally:
            path.write_text(pristine, encoding="utf-8")
            # Older timestamp than the build's objects would hide the revert.
            os.utime(path, None)
        print(f"[{number}/{len(mutations)}] {verdict:14} "
              f"{time.monotonic() - started:5.0f} s  {m.title}", flush=True)

    print(f"\nMutation score: {len(caught)} of {len(mutations)} planted "
          f"faults caught.")
    for m in survived:
        print(f"  survived: {m.title}")
    for m in broken:
        print(f"  does not build (fix the list): {m.title}")
    shutil.rmtree(source, ignore_errors=True)
    shutil.rmtree(build, ignore_errors=True)
    return 0 if not survived and not broken else 1


if __name__ == "__main__":
    sys.exit(main())
