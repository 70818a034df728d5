#!/usr/bin/env python3
"""Runs veltrik.exe in a fresh Wine prefix: shows the damaged SafeBoot branch,
clicks FIX, and shows the repaired branch. The restart is intercepted by a
recording stand-in for shutdown.exe. Uses $DISPLAY when set, else Xvfb."""
import os
import shutil
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tools"))
from wine_prefix import FIX, ROOT, SAFEBOOT, Run  # noqa: E402


def show(title, keys):
    print("%s: %d keys" % (title, len(keys)))
    for key in sorted(keys)[:6]:
        print("   ", key)
    if len(keys) > 6:
        print("    ... and %d more" % (len(keys) - 6))


def main():
    build = os.path.abspath(sys.argv[1])
    if os.environ.get("DISPLAY"):
        os.environ.setdefault("VELTRIK_DISPLAY", os.environ["DISPLAY"])
    with Run(build) as run:
        with run.prefix() as p:
            p.set_version("win10")  # what nearly every machine runs
            print("the prefix reports Windows 10")
            show("SafeBoot branch before FIX", p.export(SAFEBOOT))
            p.launch()
            p.screenshot("demo-before")
            print("clicking FIX")
            p.click(FIX)
            restart = p.wait_record("shutdown.exe")
            after = p.screenshot("demo-after")
            show("SafeBoot branch after FIX", p.export(SAFEBOOT))
            print("window caption:", p.caption())
            print("restart intercepted:", restart[0]["command"] if restart else "none")
            shutil.copy(after, os.path.join(ROOT, "build", "veltrik-window.png"))
            print("screenshot: build/veltrik-window.png")
            return 0 if restart else 1


if __name__ == "__main__":
    sys.exit(main())
