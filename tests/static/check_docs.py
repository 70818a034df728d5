#!/usr/bin/env python3
"""The pages readers follow: every relative link names a file that exists and an #anchor that is one of its
headings as GitHub forms it, each size quoted for veltrik.exe ("**x64**, 371 KiB") is the built file's within 1 KiB,
the README stays short, and its two commands are the ones CI and the scripts run."""
import glob
import os
import re
import sys

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
PAGES = [os.path.join(ROOT, "README.md")] + sorted(glob.glob(os.path.join(ROOT, "docs", "*.md")))
TEXT = {page: open(page, encoding="utf-8").read() for page in PAGES}


def anchors(page):
    """Each heading as GitHub links it: lower case, punctuation but - and _ gone, spaces to -, repeats -1, -2."""
    seen, out = {}, set()
    for heading in re.findall(r"^#+ (.+)$", re.sub(r"```.*?```", "", TEXT[page], flags=re.S), re.M):
        slug = re.sub(r" ", "-", re.sub(r"[^\w\- ]", "", heading.strip().lower()))
        out.add(slug + ("-%d" % seen[slug] if seen.get(slug) else ""))
        seen[slug] = seen.get(slug, 0) + 1
    return out


faults = []
for page, text in TEXT.items():
    name = os.path.relpath(page, ROOT)
    for target in re.findall(r"\]\(([^)\s]+)\)", text):
        if re.match(r"[a-z]+:", target):
            continue
        path, _, anchor = target.partition("#")
        linked = os.path.normpath(os.path.join(os.path.dirname(page), path)) if path else page
        if not os.path.exists(linked):
            faults.append("%s links to %s, which is not there" % (name, target))
        elif anchor and linked in TEXT and anchor not in anchors(linked):
            faults.append("%s links to %s, whose page has no such heading" % (name, target))
    for arch, kib in re.findall(r"\*\*(x64|x86)\*\*, (\d+) KiB", text):
        built = os.path.join(ROOT, "build", "windows-" + arch, "veltrik.exe")
        size = os.path.getsize(built) / 1024 if os.path.exists(built) else None
        if size is None or abs(size - int(kib)) > 1:
            faults.append("%s says veltrik.exe %s is %s KiB; built, it is %s" % (name, arch, kib, size))
readme = TEXT[PAGES[0]]
if readme.count("\n") >= 150:
    faults.append("README.md has %d lines, 150 or more" % readme.count("\n"))
commands = re.findall(r"\| `(bash [^`]+)` \|", readme)
ci = open(os.path.join(ROOT, ".ci", "run"), encoding="utf-8").read()
if commands != ["bash scripts/run.sh", "bash scripts/test.sh"] or commands[1] not in ci:
    faults.append("README's commands %r are not the main job and the test command that .ci/run runs" % commands)
print("\n".join("FAIL " + fault for fault in faults) or "PASS the pages' links and anchors, the sizes they quote, "
      "the README's length and its commands")
sys.exit(1 if faults else 0)
