"""What the end-to-end cases share: expected texts, the case registry and
the checks of the repair's outcome."""
import os
import time

from wine_harness import FIX, POLICY, ROOT, SAFEBOOT, template_keys

HOST = "http://www.morvane-software.example/"
DOWNLOAD = HOST + "modules/mydownloads/singlefile.php?cid=2&lid=1"
BROWSER = '"C:\\tools\\browser.exe"'
VISTA7 = template_keys(os.path.join(ROOT, "resources", "safeboot_vista7.reg"))
XP = template_keys(os.path.join(ROOT, "resources", "safeboot_xp.reg"))
XP_PROFILES = ('[HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\ProfileList]\n'
               '"ProfilesDirectory"=hex(2):25,00,53,00,79,00,73,00,74,00,65,00,6d,00,44,00,72,00,69,00,76,00,65,'
               '00,25,00,5c,00,44,00,6f,00,63,00,75,00,6d,00,65,00,6e,00,74,00,73,00,20,00,61,00,6e,00,64,00,20,'
               '00,53,00,65,00,74,00,74,00,69,00,6e,00,67,00,73,00,00,00\n')

CASES = []


def case(fn):
    CASES.append(fn)
    return fn


def reg(text):
    return "Windows Registry Editor Version 5.00\n\n" + text


def assert_eq(actual, expected, what):
    if actual != expected:
        raise AssertionError("%s: expected %r, got %r" % (what, expected, actual))


def assert_true(cond, what):
    if not cond:
        raise AssertionError(what)


def assert_branch(p, template, extra=None):
    """Every key and value of the template is in the registry (plus `extra`)."""
    actual = p.export(SAFEBOOT)
    missing = []
    for key, values in template.items():
        got = actual.get(key)
        if got is None:
            missing.append(key)
            continue
        for name, data in values.items():
            if got.get(name) != data:
                missing.append("%s %s=%s (is %s)" % (key, name or "@", data, got.get(name)))
    assert_true(not missing, "%d keys/values missing or wrong, e.g. %s" % (len(missing), missing[:3]))
    for key, values in (extra or {}).items():
        for name, data in values.items():
            assert_eq(actual.get(key.lower(), {}).get(name), data, "kept " + key)


def assert_policy_cleared(p):
    for hive in ("HKEY_LOCAL_MACHINE", "HKEY_CURRENT_USER"):
        values = p.export(hive + "\\" + POLICY).get((hive + "\\" + POLICY).lower(), {})
        assert_eq(values.get("disableregistrytools"), "dword:00000000", hive + " DisableRegistryTools")


def assert_no_work_files(p):
    left = p.files_matching("windows", r"s[vx]cas\..*")
    assert_eq(left, [], "work files left in C:\\windows")


def fix_and_wait(p, name):
    p.screenshot(name + "-before")
    p.click(FIX)
    restarts = p.wait_record("shutdown.exe")
    time.sleep(0.5)
    p.screenshot(name + "-after")
    return restarts


def assert_restarted_once_after_imports(restarts):
    assert_eq(len(restarts), 1, "restart launches")
    r = restarts[0]
    assert_true(r["command"].endswith(" -r -f -t 0"), "restart arguments: " + r["command"])
    assert_eq(r["show"], 2, "restart window style")
    assert_eq(r["regedit_running"], 0, "imports still running at the restart")
