#!/usr/bin/env python3
"""Whether the unit tests catch real faults: puts each fault below into the portable code in turn, builds and runs
the unit tests, and names every fault that survives. Run by hand (it takes minutes): python3 tests/mutate.py"""
import os
import subprocess
import sys

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
BUILD = os.path.join(ROOT, "build", "mutate")
OFFLINE, BRANCH, REPORT, FIX = "repair/offline.cc", "repair/branch.cc", "repair/report.cc", "repair/fix.cc"
FAULTS = [  # what, file, exact text (found once), replacement
    ("7 gets Vista's list", FIX, "minor == 0 ? kTemplateVista", "minor <= 1 ? kTemplateVista"),
    ("XP's version ignored", FIX, "major >= 5) return", "major >= 6) return"),
    ("a Users folder below the root counts", FIX, "probe.substr(2, 7)", "probe.substr(probe.size() - 7)"),
    ("the read-back ignores the type", BRANCH, "reading.type != entry.type || ", ""),
    ("no read-back after the writes", BRANCH, ": Missing(platform, stored.entries));", ": std::move(misses));"),
    ("a refused write counts as replaced", BRANCH, "std::none_of(after.different", "std::any_of(after.different"),
    ("SOFTWARE loaded without being there", OFFLINE, "platform.GetPathKind(software) == PathKind::kFile", "true"),
    ("SOFTWARE's failed load guessed", OFFLINE, "if (hive.status() != 0) {\n      out.error",
     "if (false) {\n out.error"),
    ("SOFTWARE's failed unload ignored", OFFLINE, "status = hive.Unload()) {\n      out", "status = 0) {\n      out"),
    ("SYSTEM's failed unload ignored", OFFLINE, "status = hive.Unload()) {\n    return", "status = 0) {\n    return"),
    ("Select\\Default of any type", OFFLINE, "if (type != ValueType::kDword) return", "if (false) return"),
    ("Select\\Default without its upper bound", OFFLINE, "number == 0 || number > 999", "number == 0"),
    ("Select\\Default of 0", OFFLINE, "number == 0 || number > 999", "number > 999"),
    ("SYSTEM loaded before the backup", OFFLINE, "return fail(windows.error);\n", "return fail(windows.error);\n"
     "  LoadedHive early(platform, config + \"SYSTEM\", \"VeltrikEarly\");\n"),
    ("XP's log not backed up", OFFLINE, "\"SYSTEM\", \"SYSTEM.LOG\", \"SYSTEM.LOG1\"", "\"SYSTEM\", \"SYSTEM.LOG1\""),
    ("one backup name only", OFFLINE, "n <= 100 && status", "n <= 1 && status"),
    ("a failed backup's folder kept", OFFLINE, "removed && platform.RemoveFolder(backup);", "removed;"),
    ("privileges not checked", OFFLINE, "status = platform.EnableHivePrivileges()) {",
     "status = (platform.EnableHivePrivileges(), 0)) {"),
    ("the running Windows by spelling alone", OFFLINE, "return first == second;", "return false;"),
    ("\\\\?\\ kept in the spelling", OFFLINE, "folder.erase(0, 4);", "folder.erase(0, 0);"),
    ("MiniNT alone is a recovery environment", OFFLINE, "in_setup || ram_drive ? Environment", "true ? Environment"),
    ("SystemSetupInProgress of any number", OFFLINE, "setup == 1;", "setup <= 1;"),
    ("no recovery refusal on the command line", "app/commands.cc", "environment == Environment::kRecovery) {",
     "false) {"),
    ("the window repairs a recovery environment's own registry", "app/form.cc",
     "environment == Environment::kRecovery) return", "false) return"),
    ("CR LF not escaped", REPORT, "code < 0x20 ||", "(code < 0x20 && code != 13 && code != 10) ||"),
    ("a right-to-left override not escaped", REPORT, "code <= 0x202E", "code <= 0x202D"),
    ("a long value not cut", REPORT, "if (out.size() >= limit)", "if (out.size() > limit + 1)"),
    ("no record before the restart", "app/commands.cc", "const LogPlace log = LogRepair(", "const LogPlace log = {};"
     " if (false) LogRepair("),
    ("the log's link refusal ignored", "repair/log.cc", "if (status == 0) return", "if (true) return"),
    ("a full log kept growing", "repair/log.h", "kLogLimit = 1u << 20", "kLogLimit = 1u << 21"),
    ("binary old data unbounded", REPORT, "i < data.size() && i < kBytesShown", "i < data.size()"),
]


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
