"""The repair on a machine that fights back: damaged branches, locked
policies, leftovers of an interrupted run, odd browser entries, a hanging
import, and programs planted beside veltrik.exe."""
import os
import shutil
import subprocess
import time

from checks import (BROWSER, DOWNLOAD, FIX, SAFEBOOT, VISTA7, assert_branch, assert_eq, assert_no_work_files,
                      assert_policy_cleared, assert_restarted_once_after_imports, assert_true, case, fix_and_wait,
                      reg)
from wine_harness import POLICY

IEXPLORE = r"Program Files\Internet Explorer\iexplore.exe"
SYSTEM32 = r"c:\windows\system32"


def run_fix(run, setup, name, template=VISTA7, extra=None):
    """Sets a prefix up, clicks FIX, and checks the common outcome."""
    with run.prefix() as p:
        setup(p)
        p.launch()
        restarts = fix_and_wait(p, name)
        assert_restarted_once_after_imports(restarts)
        assert_branch(p, template, extra)
        assert_policy_cleared(p)
        assert_no_work_files(p)


@case
def partly_deleted_branch_with_changed_shell_is_completed(run):
    keys = sorted(k for k in VISTA7 if k.count("\\") == 7)  # the entries of Minimal and Network
    kept = keys[::3]  # two thirds of the entries gone
    text = "[%s]\n\"AlternateShell\"=\"evil.exe\"\n\n" % SAFEBOOT
    text += "".join("[%s]\n@=%s\n\n" % (k, VISTA7[k][""]) for k in kept)
    text += "[%s\\Minimal\\AcmeGuard]\n@=\"Service\"\n" % SAFEBOOT
    run_fix(run, lambda p: p.import_reg(reg(text)), "fault-partial",
            extra={SAFEBOOT + "\\Minimal\\AcmeGuard": {"": '"Service"'}})


def policy_case(hklm, hkcu):
    def setup(p):
        p.import_reg(reg("[HKEY_LOCAL_MACHINE\\%s]\n\"DisableRegistryTools\"=%s\n\n"
                         "[HKEY_CURRENT_USER\\%s]\n\"DisableRegistryTools\"=%s\n" % (POLICY, hklm, POLICY, hkcu)))
    return setup


@case
def registry_tools_policy_of_any_value_or_type_is_cleared(run):
    for hklm, hkcu in [("dword:00000002", "dword:00000001"), ('"1"', '"2"'), ("dword:00000001", '"1"')]:
        run_fix(run, policy_case(hklm, hkcu), "fault-policy")


def leftovers(files, attributes):
    def setup(p):
        for rel, data in files.items():
            if data is None:
                os.makedirs(p.win_path(rel), exist_ok=True)
            else:
                p.put(rel, data)
                p.wine("cmd", "/c", "attrib", *attributes, "C:\\" + rel)
    return setup


@case
def leftover_files_of_an_interrupted_run_are_taken_over(run):
    long_stale = b"[HKEY_LOCAL_MACHINE\\SOFTWARE\\Stale]\r\n" * 4000
    cases = {
        "longer and read-only": ({r"windows\svcas.tmp": long_stale, r"windows\svcas.reg": long_stale}, ["+r"]),
        "shorter and read-only": ({r"windows\svcas.tmp": b"x", r"windows\svcas.reg": b"y"}, ["+r"]),
        "hidden system files": ({r"windows\svcas.tmp": b"x", r"windows\svcas.reg": long_stale}, ["+h", "+s"]),
        "empty folders": ({r"windows\svcas.tmp": None, r"windows\svcas.reg": None}, []),
    }
    for name, (files, attributes) in cases.items():
        with run.prefix() as p:
            leftovers(files, attributes)(p)
            p.launch()
            assert_restarted_once_after_imports(fix_and_wait(p, "fault-leftover"))
            assert_branch(p, VISTA7)
            assert_no_work_files(p)
            assert_eq(p.export("HKEY_LOCAL_MACHINE\\SOFTWARE\\Stale"), {}, name + ": stale import")


@case
def folder_holding_files_at_the_reg_name_is_left_alone(run):
    with run.prefix() as p:
        p.put(r"windows\svcas.reg\keep.txt", b"someone's data")
        p.launch()
        assert_restarted_once_after_imports(fix_and_wait(p, "fault-folder"))
        with open(p.win_path(r"windows\svcas.reg\keep.txt"), "rb") as f:
            assert_eq(f.read(), b"someone's data", "folder content")
        assert_branch(p, VISTA7)
        assert_eq(p.files_matching("windows", r"s[vx]cas\.tmp"), [], "work file left")


@case
def hijacked_registry_editor_still_gives_the_whole_branch(run):
    with run.prefix() as p:
        p.install_recorder(r"windows\regedit.exe")  # starts, does nothing, ends
        p.overrides.append("regedit.exe=n")
        p.launch()
        restarts = fix_and_wait(p, "fault-hijacked-editor")
        assert_eq(len(p.records_of("regedit.exe")), 2, "imports launched")
        assert_restarted_once_after_imports(restarts)
        p.overrides[-1] = "regedit.exe=b"  # the harness reads the branch with the real one
        assert_branch(p, VISTA7)
        assert_no_work_files(p)


@case
def no_shutdown_program_restarts_through_the_system(run):
    with run.prefix() as p:
        os.remove(p.win_path(r"windows\system32\shutdown.exe"))
        p.launch()
        p.click(FIX)
        assert_true(p.wait_exit(timeout=60), "still running: the system restart did not come")
        assert_eq(p.records_of("shutdown.exe"), [], "shutdown launches")
        assert_branch(p, VISTA7)
        assert_no_work_files(p)


def browser_case(run, name_value, commands, expect, installs=()):
    """Starts with an odd browser entry; exactly one launch, of `expect`."""
    with run.prefix(browser=False) as p:
        for rel in (IEXPLORE, r"tools\evil.exe") + tuple(installs):
            p.install_recorder(rel)
        text = ""
        if name_value is not None:
            text += "[HKEY_CURRENT_USER\\Software\\Clients\\StartMenuInternet]\n@=\"%s\"\n\n" % name_value
        for key, command in commands.items():
            text += "[HKEY_LOCAL_MACHINE\\Software\\%s\\shell\\open\\command]\n@=\"%s\"\n\n" % (key, command)
        if text:
            p.import_reg(reg(text))
        p.launch()
        launches = p.wait_record(expect)
        time.sleep(1)
        assert_eq([(r["name"], r["show"]) for r in p.records()], [(expect, 6)], "launches at start")
        assert_true(launches[0]["command"].endswith(" " + DOWNLOAD), "download page: " + launches[0]["command"])


EVIL = '\\"C:\\\\tools\\\\evil.exe\\"'
GOOD = BROWSER.replace("\\", "\\\\").replace('"', '\\"')


@case
def no_browser_registered_falls_back_to_internet_explorer(run):
    browser_case(run, None, {}, "iexplore.exe")


@case
def browser_name_with_quotes_or_non_ascii_text_is_used_as_registered(run):
    for name in ['Fox \\"Quantum\\"', "Br\u00f6wser \u03a9mega"]:
        browser_case(run, name, {"Clients\\StartMenuInternet\\" + name.replace('\\"', '"'): GOOD}, "browser.exe")


@case
def browser_name_with_backslashes_cannot_reach_another_key(run):
    browser_case(run, "..\\\\..\\\\Evil", {"Evil": EVIL, "Clients\\Evil": EVIL}, "iexplore.exe")


@case
def unquoted_browser_path_with_spaces_cannot_be_hijacked(run):
    command = "C:\\\\Program Files\\\\Fox Browser\\\\fox.exe -new-tab"
    browser_case(run, "Fox", {"Clients\\StartMenuInternet\\Fox": command}, "fox.exe",
                 installs=(r"Program.exe", r"Program Files\Fox.exe", r"Program Files\Fox Browser\fox.exe"))


@case
def browser_name_of_4000_characters_falls_back(run):
    browser_case(run, "B" * 4000, {}, "iexplore.exe")


@case
def hanging_import_ends_at_the_time_limit(run):
    with run.prefix() as p:
        p.install_recorder(r"windows\regedit.exe")
        p.overrides.append("regedit.exe=n")
        p.extra_env["VELTRIK_HANG"] = "regedit.exe"
        p.launch()
        start = time.time()
        p.click(FIX)
        time.sleep(5)
        assert_eq(p.caption(), "Fixing...", "caption while the import hangs")
        p.screenshot("fault-hang-fixing")
        shot = os.path.join(os.path.dirname(p.build), "e2e-screenshots", "fault-hang-fixing.png")
        colours = subprocess.run(["identify", "-format", "%k", shot], stdout=subprocess.PIPE, check=False)
        assert_true(int(colours.stdout or 0) > 100, "window not painted while waiting")
        # Neither a second FIX nor closing the window interrupts the repair.
        p.click(FIX)
        p.xdo("windowfocus", "--sync", p.window)
        p.xdo("key", "--window", p.window, "alt+F4")
        time.sleep(1)
        assert_eq(p.caption(), "Fixing...", "window after closing it during the repair")
        restarts = p.wait_record("shutdown.exe", timeout=200)
        waited = time.time() - start
        assert_eq(len(restarts), 1, "restart launches")
        assert_eq(p.caption(), "Restarting...", "caption after the repair")
        assert_true(110 <= waited <= 180, "two imports waited for 60 s each, took %.0fs" % waited)
        assert_eq(len(p.wait_record("regedit.exe", count=2)), 2, "imports launched")
        assert_no_work_files(p)


@case
def programs_planted_beside_veltrik_are_never_run(run):
    with run.prefix() as p:
        for folder in ("download", "current"):
            p.install_recorder(folder + r"\regedit.exe")
            p.install_recorder(folder + r"\shutdown.exe")
        shutil.copy(os.path.join(p.build, "veltrik.exe"), p.win_path(r"download\veltrik.exe"))
        p.launch(exe=p.win_path(r"download\veltrik.exe"), cwd=p.win_path("current"))
        restarts = fix_and_wait(p, "fault-planted")
        assert_restarted_once_after_imports(restarts)
        assert_branch(p, VISTA7)
        for r in p.records():
            assert_true(r["path"].startswith(SYSTEM32) or r["path"] == r"c:\tools\browser.exe",
                        "ran " + r["path"])
            assert_eq(r["folder"], SYSTEM32, "current folder of " + r["path"])
