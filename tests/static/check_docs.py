#!/usr/bin/env python3
"""The pages readers follow: every relative link names a file that exists, the README stays short, and its two
commands are the ones CI and the scripts run."""
import glob
import os
import re
import sys

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
faults = ["%s links to %s, which is not there" % (os.path.relpath(page, ROOT), target)
          for page in [os.path.join(ROOT, "README.md")] + sorted(glob.glob(os.path.join(ROOT, "docs", "*.md")))
          for target in re.findall(r"\]\(([^)\s]+)\)", open(page, encoding="utf-8").read())
          if not re.match(r"[a-z]+:|#", target)
          and not os.path.exists(os.path.join(os.path.dirname(page), target.split("#")[0]))]
readme = open(os.path.join(ROOT, "README.md"), encoding="utf-8").read()
if readme.count("\n") >= 150:
    faults.append("README.md has %d lines, 150 or more" % readme.count("\n"))
commands = re.findall(r"\| `(bash [^`]+)` \|", readme)
ci = open(os.path.join(ROOT, ".ci", "run"), encoding="utf-8").read()
if commands != ["bash scripts/run.sh", "bash scripts/test.sh"] or commands[1] not in ci:
    faults.append("README's commands %r are not the main job and the test command that .ci/run runs" % commands)
print("\n".join("FAIL " + fault for fault in faults) or "PASS the pages' links, the README's length and its commands")
sys.exit(1 if faults else 0)
