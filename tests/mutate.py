#!/usr/bin/env python3
"""Whether the unit tests catch real faults: puts each fault of mutations.tsv into the portable code in turn, builds
and runs the unit tests, and names every fault that survives. Run by hand (it takes minutes): python3 tests/mutate.py"""
import os
import re
import subprocess
import sys

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
BUILD = os.path.join(ROOT, "build", "mutate")
# Its lines: what, file, exact text (found once), replacement; a backslash escapes n, t or itself.
with open(os.path.join(ROOT, "tests", "mutations.tsv"), encoding="utf-8") as tsv:
    FAULTS = [[re.sub(r"\\(.)", lambda m: {"n": "\n", "t": "\t"}.get(m[1], m[1]), field) for field in line.split("\t")]
              for line in tsv.read().splitlines() if line and not line.startswith("#")]


def run(*args):
    return subprocess.run(args, cwd=ROOT, stdout=subprocess.PIPE, stderr=subprocess.STDOUT, check=False).returncode


def main():
    if run("cmake", "-S", ".", "-B", BUILD, "-DCMAKE_BUILD_TYPE=Debug") or run("cmake", "--build", BUILD, "-j2"):
        sys.exit("mutate: the unchanged code does not build")
    if run(os.path.join(BUILD, "tests", "veltrik_tests")):
        sys.exit("mutate: the unit tests fail on the unchanged code")
    survived = []
    for what, path, old, new in FAULTS:
        with open(os.path.join(ROOT, path), encoding="utf-8") as f:
            text = f.read()
        if text.count(old) != 1:
            sys.exit("mutate: %r is not once in %s (%s)" % (old, path, what))
        try:
            with open(os.path.join(ROOT, path), "w", encoding="utf-8") as f:
                f.write(text.replace(old, new))
            built = run("cmake", "--build", BUILD, "-j2", "--target", "veltrik_tests") == 0
            killed = built and run(os.path.join(BUILD, "tests", "veltrik_tests"), "--gtest_brief=1") != 0
        finally:
            with open(os.path.join(ROOT, path), "w", encoding="utf-8") as f:
                f.write(text)
        # A fault that does not build proves nothing: the list itself is wrong there.
        print("%s %s" % ("killed  " if killed else "SURVIVED" if built else "NO BUILD", what), flush=True)
        if not killed:
            survived.append(what)
    print("mutate: %d of %d faults killed" % (len(FAULTS) - len(survived), len(FAULTS)))
    return 1 if survived else 0


if __name__ == "__main__":
    sys.exit(main())
