#!/usr/bin/env python3
"""What only a real Windows API shows, under Wine: real window, clicks, registry, regedit import, launch styles,
scaling, damaged and hostile machines; the x64 build in a 64-bit prefix, the x86 build in a 64-bit one (WOW64)
and in a 32-bit one. Usage: e2e_test.py X64_BUILD_DIR X86_BUILD_DIR [case ...]"""
import concurrent.futures
import os
import queue
import re
import shutil
import subprocess
import sys
import time
import traceback
from pathlib import Path

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "tools"))
from wine_prefix import (ABOUT, CLIENT, EXIT, FIX, MAKER_NAME, POLICY, REQUIRE_X86, ROOT, SAFEBOOT, TITLE,  # noqa
                          Run, start_display, template_keys, wine_hive, x86_unavailable)

HOST = "http://www.morvane-software.example/"
DOWNLOAD = HOST + "modules/mydownloads/singlefile.php?cid=2&lid=1"
BROWSER = '"C:\\tools\\browser.exe"'
# Each Windows' own list, by the version a prefix reports; XP's for winxp and winxp64.
LISTS = {version: template_keys(os.path.join(ROOT, "resources", "safeboot_%s.reg" % name)) for version, name in
         (("winxp", "xp"), ("vista", "vista7"), ("win7", "win7"), ("win81", "win8"), ("win10", "win10"))}
FOREIGN = {SAFEBOOT + "\\Minimal\\AcmeGuard": {"": '"Service"'}}
SYSTEM32 = r"c:\windows\system32"


def check_eq(actual, expected, what):
    assert actual == expected, "%s: expected %r, got %r" % (what, expected, actual)


def check_branch(p, extra=FOREIGN):
    """Every key and value of the list of the Windows the prefix reports is in the registry, and `extra` too."""
    actual, template = p.export(SAFEBOOT), LISTS[p.version.replace("winxp64", "winxp")]
    wrong = ["%s %s=%s" % (key, name or "@", data) for key, values in {**template, **extra}.items()
             for name, data in values.items() if actual.get(key.lower(), {}).get(name) != data]
    assert not wrong, "%d keys or values missing or wrong, e.g. %s" % (len(wrong), wrong[:3])


BOOT_MENU = [("bcdedit.exe", SYSTEM32 + r"\bcdedit.exe", "/set {current} bootmenupolicy legacy", 0, "veltrik.exe"),
             ("bcdedit.exe", SYSTEM32 + r"\bcdedit.exe", "/set {current} onetimeadvancedoptions on", 0, "veltrik.exe")]
# Pages open through the desktop shell, with the user's rights, not with veltrik.exe's.
PAGE_PARENT = "explorer.exe"


def policy(p, key):
    return p.export(key).get(key.lower(), {}).get("disableregistrytools")


def fix_and_wait(p, name, key=None):
    """Clicks FIX (or presses `key`); the one restart, started by veltrik.exe, comes with no import still running,
    after the boot menu is set on 8 and later (program, binary that ran, arguments, window style, parent)."""
    p.screenshot(name + "-before")
    p.key(key) if key else p.click(FIX)
    check_eq([r["regedit_running"] for r in p.wait_record("shutdown.exe")], [0], "imports running at the restart")
    p.screenshot(name + "-after")
    check_eq([(r["name"], r["path"], r["command"].split(" ", 1)[1], r["show"], r["parent"]) for r in p.records_of()
              if r["name"] in ("bcdedit.exe", "shutdown.exe")],
             BOOT_MENU * (p.version in ("win8", "win81", "win10")) +
             [("shutdown.exe", SYSTEM32 + r"\shutdown.exe", "-r -f -t 0", 2, "veltrik.exe")],
             "boot menu and restart on %s" % p.version)
    check_eq(p.work_files(), [], "work files left in C:\\windows")


def magick(*args):
    return subprocess.run(args, stdout=subprocess.PIPE, stderr=subprocess.STDOUT, check=False).stdout.decode()


def window_scales_with_the_display(run):
    """At 125, 150 and 200 percent the window is the 96-DPI window, larger."""
    def black_share(png):  # black or nearly so
        return float(magick("convert", png, "-fuzz", "6%", "-fill", "white", "+opaque", "black", "-format",
                            "%[fx:1-mean]", "info:"))

    with run.prefix() as p:
        shots = {}
        for dpi in (96, 120, 144, 192):
            p.import_reg('[HKEY_CURRENT_USER\\Control Panel\\Desktop]\n"LogPixels"=dword:%08x\n' % dpi)
            p.stop()
            p.launch()
            client = p.client_size()
            expected = tuple(round(n * dpi / 96) for n in CLIENT)
            assert all(abs(a - b) <= 2 for a, b in zip(client, expected)), "client area %r at %d DPI" % (client, dpi)
            shots[dpi] = p.screenshot("scale-%d" % dpi, client=client)
            # The hotspot and the buttons are where the picture shows them; EXIT ends the program.
            p.click(tuple(n * dpi // 96 for n in MAKER_NAME), client)
            home = p.wait_record("browser.exe", 2 * len(shots))[-1]
            check_eq((home["show"], home["command"], home["parent"]), (3, BROWSER + " " + HOST, PAGE_PARENT),
                     "hotspot at %d DPI" % dpi)
            p.click(tuple(n * dpi // 96 for n in EXIT), client)
            assert p.wait_exit(), "still running after EXIT at %d DPI" % dpi
        base = shots[96][:-4] + "-soft.png"
        magick("convert", shots[96], "-blur", "0x2", base)
        for dpi in (120, 144, 192):
            # Softened, so that text drawn at another size does not count as a difference.
            small = shots[dpi][:-4] + "-at-96.png"
            magick("convert", shots[dpi], "-resize", "%dx%d!" % CLIENT, "-blur", "0x2", small)
            rmse = float(re.search(r"\(([0-9.e-]+)\)", magick("compare", "-metric", "RMSE", small, base, "null:"))[1])
            assert rmse < 0.08, "at %d DPI the window differs from 96 DPI: RMSE %.3f" % (dpi, rmse)
            black = black_share(shots[dpi])
            assert black < black_share(shots[96]) + 0.01, "black blocks at %d DPI: %.1f%%" % (dpi, 100 * black)


def px(left, top, width, height):
    """A control's rectangle in pixels at 96 DPI, from its twips, as ImageMagick crops it."""
    return "%dx%d+%d+%d" % (round(width / 15), round(height / 15), round(left / 15), round(top / 15))


LINK = "Morvane Software web site"
TEXTS = ["What does this tool do?", "Many viruses corrupt Windows Safe Mode so you cannot boot in safe mode to remove "
         "them. This handy tool repairs Windows Safe Mode and gives you back the full control over your computer.",
         "How to use it?", "Click FIX button and your computer will restart immediately. Please save any unsaved work "
         "before you click FIX button. After restart hit F8 key to boot in Safe Mode."]


def window_by_mouse_and_by_keyboard_alone(run):
    """What a screen reader reads, in order, with the keyboard stops and the focus; clicks beside the maker's name do
    nothing; the About box by mouse, then by Space, each closed by key, the focus back on ABOUT, also when the window
    comes back after another took the foreground, where Enter presses ABOUT; the window keeps its size; Tab and Shift+Tab, the focus cue, the link and FIX by Enter, Alt+F4; the paragraphs readable with white
    window text. Pages open through the desktop shell; the restart comes from veltrik.exe."""
    with run.prefix() as p:
        p.set_version("win10")
        p.import_reg('[HKEY_CURRENT_USER\\Control Panel\\Colors]\n"WindowText"="255 255 255"\n')
        p.launch()
        check_eq(p.caption(), TITLE, "caption")
        check_eq(p.controls(), [("Static", text, False, False) for text in TEXTS] + [("Button", "FIX", True, True)] +
                 [("Button", name, True, False) for name in ("ABOUT", "EXIT", LINK)], "what a screen reader reads")
        for _ in range(10):  # the paragraphs: black on the picture, once the window is painted
            start = p.screenshot("keys-start", client=CLIENT)
            dark = [float(magick("convert", start, "-crop", rect, "-colorspace", "gray", "-threshold", "40%", "-format",
                                 "%[fx:1-mean]", "info:"))
                    for rect in (px(315, 1305, 5175, 825), px(315, 2835, 5160, 840))]
            if min(dark) > 0.03:
                break
            time.sleep(0.5)
        assert min(dark) > 0.03, "paragraphs unreadable with white window text: %r dark" % dark

        def focus_after(key, window=None):
            p.key(key, window)
            time.sleep(0.5)
            return [name for _, name, _, focused in p.controls() if focused]

        p.wait_record("browser.exe")
        for elsewhere in [(100, 30), (60, 120), (200, 240), (200, 320), (366, 315)]:  # beside the maker's name
            p.click(elsewhere)
        p.click(ABOUT)
        box = p.wait_window("^%s$" % re.escape(TITLE), exclude=(p.window,))
        p.screenshot("about", box)
        check_eq(len(p.records_of()), 1, "launches after clicks beside the name, and while the About box is open")
        check_eq(focus_after("Escape", box), ["ABOUT"], "focus after the About box")
        size = p.geometry()[2:]
        for width, height in [(600, 500), (200, 150), (378, 500)]:
            p.probe(str(width), str(height))
            time.sleep(1)
            check_eq(p.geometry()[2:], size, "size after resizing to %dx%d" % (width, height))
        check_eq([focus_after(key) for key in ("Tab",) * 4 + ("shift+Tab",) * 2],
                 [["EXIT"], [LINK], ["FIX"], ["ABOUT"], ["FIX"], [LINK]], "focus after Tab x4, Shift+Tab x2")
        crops = []
        for shot in (start, p.screenshot("keys-link-focused", client=CLIENT)):
            crops.append(shot[:-4] + "-link.png")
            magick("convert", shot, "-crop", px(3240, 4545, 2175, 375), "+repage", crops[-1])
        differ = int(float(magick("compare", "-metric", "AE", *crops, "null:").split()[0]))
        assert differ > 20, "no focus cue on the link: %d pixels differ" % differ
        p.key("Return")
        check_eq([focus_after("shift+Tab") for _ in range(2)], [["EXIT"], ["ABOUT"]], "focus")
        p.key("space")
        p.key("Escape", p.wait_window("^%s$" % re.escape(TITLE), exclude=(p.window,)))
        check_eq([(r["show"], r["command"], r["parent"]) for r in p.wait_record("browser.exe", 4)],
                 [(show, BROWSER + " " + page, PAGE_PARENT) for show, page in
                  ((6, DOWNLOAD), (3, DOWNLOAD), (3, HOST), (3, DOWNLOAD))],
                 "pages at start, after ABOUT, from the link, after ABOUT")
        # The user reads the page, then comes back by its window: the focus is where it was, and Enter presses it.
        p.take_foreground()
        time.sleep(2)
        p.key("Return")
        p.key("Escape", p.wait_window("^%s$" % re.escape(TITLE), exclude=(p.window,)))
        check_eq(len(p.wait_record("browser.exe", 5)), 5, "pages once Enter pressed ABOUT again")
        check_eq([focus_after(key) for key in ("Tab", "shift+Tab", "shift+Tab")], [["EXIT"], ["ABOUT"], ["FIX"]],
                 "focus once the shell opened the page after the About box")
        fix_and_wait(p, "keys-fix", key="Return")
        check_branch(p, {})
        p.key("alt+F4")
        assert p.wait_exit(), "still running after closing the window"


def fix_completes_a_damaged_branch_with_the_list_of_its_windows(run):
    """XP, Vista, 7, 8.1 and 10, each with two thirds of its own entries gone, a hijacked shell, a foreign entry,
    the policy set and stale work files. XP has no shutdown.exe, so the system's own call restarts it; 8.1 has no
    bcdedit, so it restarts into the boot options once the box that says how is closed. Windows 10 is hostile: a
    do-nothing system regedit, and copies of regedit, shutdown and bcdedit beside veltrik.exe and in its current
    folder: only the system's own programs run, and the registry API completes the branch."""
    # 8.1 in x64 alone: its restart into the boot options is the same command line in every build.
    for version in ("winxp", "vista", "win7") + ("win81",) * (run.label == X64) + ("win10",):
        keys = sorted(k for k in LISTS[version] if k.count("\\") == 6)  # the entries of Minimal and Network
        damaged = "[%s]\n\"AlternateShell\"=\"evil.exe\"\n\n" % SAFEBOOT
        damaged += "".join("[%s]\n@=%s\n\n" % (k, LISTS[version][k][""]) for k in keys[::3])
        damaged += "[%s\\Minimal\\AcmeGuard]\n@=\"Service\"\n\n" % SAFEBOOT
        with run.prefix() as p:
            p.set_version(version)
            policies = ["HKEY_LOCAL_MACHINE\\" + POLICY, "HKEY_CURRENT_USER\\" + POLICY]  # as the prefix's regedit sees
            p.import_reg(damaged + "".join("[%s]\n\"DisableRegistryTools\"=%s\n\n" % item
                                           for item in zip(policies, ('"1"', "dword:00000002"))))
            work = r"windows\sxcas" if version == "winxp" else r"windows\svcas"
            p.put(work + ".tmp", b"stale work file " * 5000)
            p.put(work + ".reg", b"REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Stale]\r\n\"x\"=\"y\"\r\n")
            exe = cwd = None
            if version in ("winxp", "win81"):
                os.remove(p.win_path(r"windows\system32\%s.exe" % ("shutdown" if version == "winxp" else "bcdedit")))
            if version == "win10":
                p.install_recorder(r"windows\regedit.exe")
                p.overrides.append("regedit.exe=n")
                for rel in (f + "\\" + n + ".exe" for f in ("download", "current")
                            for n in ("regedit", "shutdown", "bcdedit")):
                    p.install_recorder(rel)
                exe, cwd = p.win_path(r"download\veltrik.exe"), p.win_path("current")
                shutil.copy(os.path.join(p.build, "veltrik.exe"), exe)
            p.launch(exe=exe, cwd=cwd)
            if version == "winxp":
                p.click(FIX)
                assert p.wait_exit(timeout=60), "still running: no restart came"
                check_eq((p.records_of("shutdown.exe"), p.work_files()), ([], []), "shutdown launches, work files")
            elif version == "win81":
                p.click(FIX)
                box = p.wait_window("^%s$" % re.escape(TITLE), exclude=(p.window,))
                p.screenshot("boot-options-box", box)
                check_eq(p.records_of("shutdown.exe"), [], "restarts before the box is closed")
                p.key("Return", box)
                check_eq(([(r["command"].split(" ", 1)[1], r["show"]) for r in p.wait_record("shutdown.exe")],
                          p.work_files()), ([("-r -o -f -t 0", 2)], []), "restarts, work files")
            else:
                fix_and_wait(p, "fix-" + version)
                check_eq(p.caption(), "Restarting...", "caption after FIX")
                assert p.app.poll() is None, "the window stays open until the restart"
            if version == "win10":
                # The system's own: the 64-bit shutdown.exe under WOW64 too; Wine hands a 32-bit caller of
                # C:\windows\regedit.exe the one in SysWOW64.
                regedit = r"c:\windows\syswow64\regedit.exe" if p.wow64 else r"c:\windows\regedit.exe"
                check_eq([(r["name"], r["path"], r["folder"]) for r in p.records_of() if r["name"] != "browser.exe"],
                         [("regedit.exe", regedit, SYSTEM32)] * 2 + [(name, path, SYSTEM32) for name, path, _, _, _ in
                          BOOT_MENU] + [("shutdown.exe", SYSTEM32 + r"\shutdown.exe", SYSTEM32)], "programs started")
                p.overrides[-1] = "regedit.exe=b"  # the real one reads the branch
            check_branch(p)
            for key in policies:
                check_eq(policy(p, key), "dword:00000000", key)
            check_eq(p.export("HKEY_LOCAL_MACHINE\\SOFTWARE\\Stale"), {}, "stale .reg imported")


def leftovers_and_blocked_names_never_stop_the_repair(run):
    stale = b"[HKEY_LOCAL_MACHINE\\SOFTWARE\\Stale]\r\n" * 4000
    rounds = [  # {file: (content or None for a folder, attrib flags)}
        {"svcas.tmp": (stale, "+r"), "svcas.reg": (b"y", "+r")},
        {"svcas.tmp": (b"x", "+h +s"), "svcas.reg": (stale, "+h +s")},
        {"svcas.tmp": (None, ""), "svcas.reg": (None, "")},
        {"svcas.reg\\keep.txt": (b"someone's data", "")},  # a folder that holds a file: left alone
    ]
    reg_size = os.path.getsize(os.path.join(ROOT, "resources", "safeboot_win7.reg"))  # single-byte already
    with run.prefix() as p:
        p.set_version("win7")
        p.install_recorder(r"windows\regedit.exe")  # records the size of the file it is given
        for number, files in enumerate(rounds):
            p.overrides[2:] = ["regedit.exe=n"]
            p.reg("delete", SAFEBOOT)
            p.clear_records()
            for name, (data, flags) in files.items():
                if data is None:
                    os.makedirs(p.win_path("windows\\" + name))
                else:
                    p.put("windows\\" + name, data)
                    p.wine("cmd", "/c", "attrib", *flags.split(), "C:\\windows\\" + name)
            p.launch()
            fix_and_wait(p, "leftover-%d" % number)
            check_eq([r["file_size"] for r in p.records_of("regedit.exe")], [reg_size if number < 3 else -1] * 2,
                     "round %d: the .reg file each import was given" % number)
            p.overrides[2:] = ["regedit.exe=b"]  # the real one reads the branch the registry API completed
            check_branch(p, {})
            check_eq(p.export("HKEY_LOCAL_MACHINE\\SOFTWARE\\Stale"), {}, "round %d: stale import" % number)
            p.stop()
        check_eq(Path(p.win_path(r"windows\svcas.reg\keep.txt")).read_bytes(), b"someone's data",
                 "content of the folder at the .reg name")


def odd_browser_entries_start_the_registered_browser_or_the_fallback(run):
    fox = "C:\\\\Program Files\\\\Fox Browser\\\\fox.exe -new-tab"
    evil = '\\"C:\\\\tools\\\\evil.exe\\"'
    good = BROWSER.replace("\\", "\\\\").replace('"', '\\"')
    table = [  # name registered by the user, {key under Software: command}, program started
        ("B" * 4000, {}, "iexplore.exe"),
        ("..\\\\..\\\\Evil", {"Evil": evil, "Clients\\Evil": evil}, "iexplore.exe"),
        ('Fox \\"Quantum\\"', {'Clients\\StartMenuInternet\\Fox "Quantum"': good}, "browser.exe"),
        ("Br\u00f6wser \u03a9mega", {"Clients\\StartMenuInternet\\Br\u00f6wser \u03a9mega": good}, "browser.exe"),
        ("Fox", {"Clients\\StartMenuInternet\\Fox": fox}, "fox.exe"),  # next to C:\Program.exe
    ]
    with run.prefix(browser=False) as p:
        for rel in (r"Program Files\Internet Explorer\iexplore.exe", r"tools\evil.exe", "Program.exe",
                    r"Program Files\Fox.exe", r"Program Files\Fox Browser\fox.exe"):
            p.install_recorder(rel)
        for name, commands, expect in table:
            text = '[HKEY_CURRENT_USER\\Software\\Clients\\StartMenuInternet]\n@="%s"\n' % name
            p.import_reg(text + "".join("\n[HKEY_LOCAL_MACHINE\\Software\\%s\\shell\\open\\command]\n@=\"%s\"\n"
                                        % item for item in commands.items()))
            p.clear_records()
            p.launch()
            p.wait_record(expect, timeout=45)  # within the program's minute of waiting for the desktop shell
            time.sleep(1)
            check_eq([(r["name"], r["show"], r["command"].endswith(" " + DOWNLOAD)) for r in p.records_of()],
                     [(expect, 6, True)], "launches at start with %r" % name[:20])
            p.app.kill()  # the prefix and its desktop shell run on
            p.app.wait()


def hanging_import_ends_at_the_time_limit(run):
    """Runs beside the other cases, on a display of its own: it mostly waits."""
    with run.prefix() as p:
        p.set_version("win7")
        p.install_recorder(r"windows\regedit.exe")
        p.overrides.append("regedit.exe=n")
        p.extra_env["VELTRIK_HANG"] = "regedit.exe"
        p.launch()
        start = time.time()
        p.click(FIX)
        time.sleep(5)
        check_eq(p.caption(), "Fixing...", "caption while the import hangs")
        shot = p.screenshot("hang-fixing")
        assert int(magick("identify", "-format", "%k", shot) or 0) > 100, "window not painted while waiting"
        p.click(FIX)  # neither a second FIX nor closing the window interrupts the repair
        p.key("alt+F4")
        time.sleep(1)
        check_eq(p.caption(), "Fixing...", "caption after closing the window during the repair")
        restarts = p.wait_record("shutdown.exe", timeout=200)
        waited = time.time() - start
        check_eq(len(restarts), 1, "restarts")
        check_eq(p.caption(), "Restarting...", "caption after the repair")
        assert 110 <= waited <= 180, "two imports waited for 60 s each, took %.0fs" % waited
        check_eq(len(p.records_of("regedit.exe")), 2, "imports launched")
        check_eq(p.work_files(), [], "work files left")


def command_line_checks_and_fixes_with_exit_codes(run):
    """No window, no browser, no box and no boot menu; the same guarantees as FIX. The policy, set before each
    step, is the first thing a repair writes: where it stays set, nothing was written. What else sits in the
    branch is named, and left as it is."""
    with run.prefix() as p:
        p.set_version("win10")
        key = "HKEY_LOCAL_MACHINE\\" + POLICY
        state = "SafeBoot branch (Windows 10 list): "
        evil = {SAFEBOOT + "\\Minimal\\EvilSvc": {"": '"Service"'}, SAFEBOOT + "\\Network\\evil.sys": {"": '"Driver"'}}
        named = ["Not in the Windows 10 list (left as they are): 2", "  Minimal\\EvilSvc = Service (no service of that "
                 "name)", "  Network\\evil.sys = Driver (no service of that name)"]
        steps = [  # arguments, exit code, the report's lines, restarts, policy lifted
            ("/check", 1, [state + "not whole; 236 of 236 entries missing; first missing: " + SAFEBOOT], 0, False),
            ("/norestart /fix", 3010, [state + "repaired, 236 of 236 entries in place",
                                       "Restart the computer to finish."], 0, True),
            ("-CHECK", 0, [state + "236 of 236 entries in place"] + named, 0, False),
            ("/bogus", 2, ["Usage: veltrik.exe [/check | /fix [/norestart]] [/offline <Windows folder>]"], 0, False),
            ("/fix", 0, [state + "236 of 236 entries in place; nothing to repair"] + named, 0, False),
            ("/fix", 1641, [state + "repaired, 236 of 236 entries in place",  # evil.sys went with Network
                            "Not in the Windows 10 list (left as they are): 1", named[1],
                            "Restarting the computer now."], 1, True)]
        for args, code, said, restarted, lifted in steps:
            if restarted:
                p.reg("delete", SAFEBOOT + "\\Network")
            p.import_reg('[%s]\n"DisableRegistryTools"=dword:00000001\n' % key)
            p.clear_records()
            exit_code, report = p.command(*args.split())
            lines = report.split("\r\n")
            logs = ["Log: Z:%s\\Veltrik.log" % p.build.replace("/", "\\")] * ("/fix" in args)  # beside the program
            check_eq(([line for line in lines if line.startswith("Log: ")], exit_code), (logs, code), args)
            check_eq([line for line in lines if not line.startswith("Log: ")][:len(said)], said, args)
            launched = p.wait_record("shutdown.exe", timeout=20) if restarted else p.records_of()
            check_eq([(r["name"], r["command"].split(" ", 1)[1]) for r in launched],
                     [("shutdown.exe", "-r -f -t 0")] * restarted, "launched by " + args)
            check_eq((p.work_files(), policy(p, key)), ([], "dword:0000000%d" % (not lifted)),
                     "work files, policy: " + args)
            if code == 3010:
                check_branch(p, {})
                p.import_reg("".join("[%s]\n@=%s\n\n" % (k, v[""]) for k, v in evil.items()))
            if named[0] in said:  # named, and left as they are
                check_branch(p, evil)
        check_branch(p, {SAFEBOOT + "\\Minimal\\EvilSvc": evil[SAFEBOOT + "\\Minimal\\EvilSvc"]})


def install_windows(drive, version, control_set, logs=("SYSTEM.LOG1",), system=None, software=None):
    """A Windows installed in `drive`'s folder: its list in `control_set` (which Select\\Default names) with two
    thirds gone and a hijacked shell, a ControlSet002 to leave alone, and `system`'s keys in `control_set`; SOFTWARE
    with its version and `software`'s keys. Returns the config folder and the SYSTEM hive's bytes."""
    config = os.path.join(drive, "Windows", "System32", "config")
    os.makedirs(config)
    shell = SAFEBOOT.lower().replace("hkey_local_machine\\system\\currentcontrolset", control_set)
    kept = {k.replace(SAFEBOOT.lower(), shell): v for k, v in sorted(LISTS[version].items())[::3]}
    system = wine_hive({"Select": {"Default": "dword:%08d" % int(control_set[-3:])}, **kept, shell: {
        "AlternateShell": '"evil.exe"'}, "ControlSet002\\Control\\SafeBoot": {"AlternateShell": '"old.exe"'},
        **{control_set + "\\" + k: v for k, v in (system or {}).items()}})
    version = {"win7": "6.1", "winxp": "5.1"}[version]
    for name, data in (("SYSTEM", system), ("SOFTWARE", wine_hive({"Microsoft\\Windows NT\\CurrentVersion": {
            "CurrentVersion": '"%s"' % version}, **(software or {})}))) + tuple((log, b"log") for log in logs):
        Path(config, name).write_bytes(data)
    return config, system


def recovery_environment_repairs_the_installed_windows_offline(run):
    """A Windows 7 installed at D:\\Windows (the prefix reports 10). From the command line: its own list in the
    control set it starts with, read back through the loaded hive, which is unloaded again, the backup first, twice
    in a second; the running Windows refused under other names, no folder made; an XP beside it, with its log; a
    SOFTWARE that does not load. In a recovery environment (MiniNT and Setup) the command line refuses its own
    registry and the window repairs the installed one, nothing started. Last MiniNT alone, as malware plants it:
    the running Windows repaired, restarted, the key named. (Texts are the unit tests'.)"""
    with run.prefix() as p:
        config, system = install_windows(p.add_drive("d"), "win7", "controlset001")
        p.put(r"windows\system32\config\SYSTEM", system)  # the running system's own folder: passed over, refused
        p.set_version("win10")
        p.install_recorder(r"windows\regedit.exe")
        p.overrides.append("regedit.exe=n")

        def loaded():  # keys of the program's own left under HKLM
            return [k for k in p.wine("reg", "query", "HKLM").stdout.decode().split() if "veltrik" in k.lower()]

        head = "Installed Windows: D:\\Windows (version 6.1, Windows 7 list), control set ControlSet001"
        check_eq(p.command("/check", "/offline", "D:\\Windows")[1].split("\r\n")[:2], [head, "SafeBoot branch (Windows"
                 " 7 list): not whole; 117 of 177 entries missing; first missing: HKEY_LOCAL_MACHINE\\SYSTEM\\"
                 "ControlSet001\\Control\\SafeBoot: AlternateShell"], "/check")
        for args in ("/fix /offline D:\\Windows", '-OFFLINE "D:\\Windows" /Fix'):  # within a second: two backups
            code, report = p.command(*args.split())
            backup = max(os.listdir(config), key=lambda n: (len(n), n))
            check_eq((code, report.split("\r\n")[:5:4]), (3010, ["Backup of the SYSTEM hive: D:\\Windows\\System32\\"
                     "config\\" + backup, "  HKEY_LOCAL_MACHINE\\SYSTEM\\ControlSet001\\Control\\SafeBoot: "
                     "AlternateShell = evil.exe -> cmd.exe"]), args)
            for name, data in (("SYSTEM", system), ("SYSTEM.LOG1", b"log")):
                check_eq(Path(config, backup, name).read_bytes(), data, "backup of " + name)
            check_eq(loaded(), [], "hives left loaded after " + args)
        # Wine writes no hive back: the program adds no write.
        check_eq(Path(config, "SYSTEM").read_bytes(), system, "the hive file")
        empty = p.add_drive("e")
        p.add_drive("f", same_as="c")
        p.stop()  # Wine finds the new drives when it starts again
        for folder in ("E:\\", "C:\\windows", "\\\\?\\C:\\windows", "C:\\windows.", "F:\\windows"):
            said = "not a Windows folder" if folder == "E:\\" else "is the Windows that is running"
            code, report = p.command("/fix", "/offline", folder)
            check_eq((code, said in report), (2, True), folder + ": " + report)
        check_eq((os.listdir(empty), p.records_of("regedit.exe"), os.listdir(p.win_path(r"windows\system32\config"))),
                 ([], [], ["SYSTEM"]), "what the refused folders hold; imports started")

        xp, _ = install_windows(empty, "winxp", "controlset003", logs=("SYSTEM.LOG",))
        code, report = p.command("/fix", "/offline", "E:\\Windows")
        check_eq((code, report.split("\r\n")[2]), (3010, "SafeBoot branch (Windows XP list): repaired, 127 of 127 "
                                                         "entries in place"), "XP")
        check_eq(sorted(os.listdir(os.path.join(xp, max(os.listdir(xp))))), ["SYSTEM", "SYSTEM.LOG"], "XP's backup")
        Path(xp, "SOFTWARE").write_bytes(b"\0damaged\0" * 100)
        code, report = p.command("/fix", "/offline", "E:\\Windows")
        # Wine leaves an empty key of the name behind where a load fails; Windows does not.
        check_eq((code, "(1017). Nothing was changed." in report, loaded()),
                 (1, True, ["HKEY_LOCAL_MACHINE\\VeltrikOfflineSoftware"]), "a damaged SOFTWARE: " + report)
        p.reg("delete", "HKLM\\VeltrikOfflineSoftware")
        shutil.rmtree(os.path.dirname(os.path.dirname(xp)))

        for value in ("/v SystemSetupInProgress /t REG_DWORD /d 1", ""):
            p.reg("add", r"HKLM\SYSTEM\Setup" if value else r"HKLM\SYSTEM\CurrentControlSet\Control\MiniNT",
                  *value.split())
        p.stop()
        for args in ("/fix", "/check"):
            code, report = p.command(args)
            check_eq((code, report.endswith("veltrik.exe /fix /offline D:\\Windows\r\n")), (2, True), args + report)
        p.launch()
        p.click(FIX)
        for shot, key, said in (("recovery-ask", "y", "Repair Safe Mode of the Windows installed in D:\\Windows "
                                                       "(version 6.1, Windows 7 list)?"),
                                ("recovery-done", "Return", "Safe Mode of the Windows in D:\\Windows is repaired.")):
            p.screenshot(shot, p.wait_window("^%s$" % re.escape(TITLE), exclude=(p.window,)))
            texts = [name for _, name, _, _ in p.controls(box=True)]
            assert any(said in text for text in texts), "%s: %r" % (said, texts)
            p.key(key, p.wait_window("^%s$" % re.escape(TITLE), exclude=(p.window,)))
            time.sleep(1)
        check_eq((p.caption(), len(os.listdir(config)), loaded()), (TITLE, 6, []), "caption, backups, loaded hives")
        p.overrides[-1] = "regedit.exe=b"  # the real one reads the branch
        p.wait_record("browser.exe")  # the shell may open the page at start after the repair
        check_eq((p.export(SAFEBOOT), [r["name"] for r in p.records_of()]), ({}, ["browser.exe"]),
                 "the running system's own branch; programs started (the page at start alone)")

        p.reg("add", r"HKLM\SYSTEM\Setup", "/v", "SystemSetupInProgress", "/t", "REG_DWORD", "/d", "0")
        code, report = p.command("/fix", "/norestart")
        check_eq((code, "Control\\MiniNT is present" in report), (3010, True), "MiniNT planted: " + report)
        p.reg("delete", SAFEBOOT)
        p.stop()
        p.launch()
        fix_and_wait(p, "planted-mini-nt")
        check_branch(p, {})


def every_repair_leaves_its_record_beside_the_program(run):
    """Windows 10 with its shell hijacked as a REG_EXPAND_SZ and one entry's data changed: /check names the old text
    and writes no log; the window's FIX has its record beside the program before the restart starts; a later /fix
    appends; a folder, or a hard link, at the log's name sends the record into the Windows folder, and the file the
    link reaches stays as it was; a full log moves aside."""
    changed = sorted(k for k in LISTS["win10"] if k.count("\\") == 6)[5]
    evil = "%SystemRoot%\\system32\\evil.exe"
    damage = "".join("[%s]\n%s\n" % (k, "".join('%s=%s\n' % ('"%s"' % n if n else "@", d) for n, d in v.items()))
                     for k, v in LISTS["win10"].items()) + '[%s]\n"AlternateShell"=hex(2):%s\n\n[%s]\n@="Evil"\n' % (
        SAFEBOOT, ",".join("%02x" % b for b in (evil + "\0").encode("utf-16-le")), changed)
    lines = ["alternateshell = (not a string: reg_expand_sz %s) -> cmd.exe" % evil.lower(),  # in lower case
             "%s: (default) = evil -> %s" % (changed, LISTS["win10"][changed][""].strip('"').lower())]
    with run.prefix() as p:
        p.set_version("win10")
        windows_log = p.win_path(r"windows\Veltrik.log")

        def copy(folder):  # of veltrik.exe; its path in Windows, and its log's here
            os.makedirs(p.win_path(folder), exist_ok=True)
            shutil.copy(os.path.join(p.build, "veltrik.exe"), p.win_path(folder + r"\veltrik.exe"))
            return "C:\\%s\\veltrik.exe" % folder, p.win_path(folder + r"\Veltrik.log")

        def text(path):
            return Path(path).read_bytes().decode("utf-8")

        def fix(exe, code=3010):
            p.import_reg(damage)
            result = p.command("/fix", "/norestart", exe=exe)
            check_eq(result[0], code, exe)
            return result[1]

        exe, log = copy("stick")
        p.import_reg(damage)
        code, report = p.command("/check", exe=exe)
        check_eq((code, [line in report.lower() for line in lines], os.path.exists(log)), (1, [True] * 2, False),
                 "/check: " + report)
        p.extra_env["VELTRIK_SNAPSHOT"] = r"C:\stick\Veltrik.log"  # the restart stand-in keeps it as it finds it
        p.launch(exe=p.win_path(r"stick\veltrik.exe"))
        fix_and_wait(p, "log-fix")
        seen = text(log + ".seen")
        assert re.match(r"==== \d{4}-\d\d-\d\d \d\d:\d\d:\d\d [+-]\d\d:\d\d  Veltrik v1\.1\.0\.0 \(x(64|86)\)\r\n"
                        r"Started from: the window\r\n", seen), "the record at the restart: %r" % seen[:200]
        for line in lines + ["outcome: repaired, restarting the computer"]:
            assert line in seen.lower(), "%r not in the record at the restart: %s" % (line, seen)
        p.stop()
        fix(exe)
        check_eq((text(log).startswith(seen), text(log).count("\r\n==== ")), (True, 1), "the second record appended")

        exe, log = copy("second")
        os.makedirs(log)
        report = fix(exe)
        check_eq(("Log: C:\\windows\\Veltrik.log (C:\\second\\Veltrik.log refused: " in report,
                  text(windows_log).count("==== ")), (True, 1), "a folder at the log's name: " + report)
        exe, log = copy("third")
        p.put("victim.txt", b"someone's data")
        os.link(p.win_path("victim.txt"), log)
        p.import_reg(damage)
        p.clear_records()
        p.launch(exe=p.win_path(r"third\veltrik.exe"))
        fix_and_wait(p, "log-hard-link")
        check_eq((text(p.win_path("victim.txt")), text(windows_log).count("==== ")), ("someone's data", 2),
                 "a hard link at the log's name")
        p.stop()
        exe, log = copy("fourth")
        p.put(r"fourth\Veltrik.log", b"old record\r\n" * 100000)
        fix(exe)
        check_eq((text(log).startswith("==== "), os.path.getsize(log + ".old")), (True, 1200000), "a full log")


SERVICES = SAFEBOOT.replace(r"Control\SafeBoot", "Services")
OUTSIDE = " (outside the Windows and Program Files folders)"


def foreign_entries_and_what_else_holds_safe_mode_named_and_removed_with_a_copy(run):
    """As ransomware leaves it: a foreign service in Minimal that runs from C:\\Users\\Public, a remote-access
    tool's in Network, a driver whose file is gone, automatic logon with a password, a "*" RunOnce value and a boot
    entry forced into Safe Mode. /check names each with its file; /remove takes the two named, saved first, and
    the registry editor's import of the saved file puts them back value for value; Windows' own entry is refused.
    The same offline on an installed Windows on D:."""
    with run.prefix() as p:
        p.set_version("win10")
        p.put(r"users\Public\vt.exe", b"MZ")
        p.put(r"Program Files\AnyDesk\AnyDesk.exe", b"MZ")
        p.put(r"stick\veltrik.exe", Path(p.build, "veltrik.exe").read_bytes())
        minimal = SAFEBOOT + r"\Minimal\backupvt"
        # Two foreign entries holding a value of each type, a driver entry, their services, automatic logon and a
        # boot entry forced into Safe Mode.
        p.import_reg(Path(os.path.dirname(__file__), "held_safe_mode.reg").read_text().split("\n", 2)[2])
        planted = p.export(minimal)
        assert len(planted) == 2, planted
        p.import_reg("".join('[%s\\Network\\svc%03d]\n@="Service"\n\n[%s\\svc%03d]\n"ImagePath"="C:\\\\s%03d.exe"\n\n'
                             % (SAFEBOOT, i, SERVICES, i, i) for i in range(300)))  # 303 foreign entries in all
        with p.server_held():
            p.import_reg('[HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\RunOnce]\n'
                         '"*evil"="C:\\\\Users\\\\Public\\\\vt.exe"\n')
            began = time.time()
            code, report = p.command("/check", exe=r"C:\stick\veltrik.exe")
            assert time.time() - began < 20 and "\r\n  and 203 more\r\n" in report, "303 foreign entries: " + report
            named = [r"  Minimal\backupvt = Service -> C:\Users\Public\vt.exe" + OUTSIDE,
                     r"  Minimal\gonedrv.sys = Driver -> C:\windows\System32\drivers\gonedrv.sys (file not found)",
                     r"  Network\AnyDesk = Service -> C:\Program Files\AnyDesk\AnyDesk.exe",
                     "Also holding Safe Mode (left as they are): 3",
                     "  The default boot entry always starts in Safe Mode (safeboot minimal); undo: bcdedit "
                     "/deletevalue {default} safeboot",
                     "  Automatic logon as alice, its password stored in the registry; undo: reg add",
                     r"  Runs once, even in Safe Mode: HKLM\SOFTWARE\Microsoft\Windows\CurrentVersion\RunOnce: *evil = "
                     r"C:\Users\Public\vt.exe; undo: reg delete"]
            check_eq((code, [line for line in named if line not in report]), (1, []), "/check: " + report)
            code, report = p.command("/fix", "/norestart", "/remove", r"minimal\BACKUPVT", "/remove",
                                     r'"Network\AnyDesk"', exe=r"C:\stick\veltrik.exe")
            saved = re.search(r"Removed \(saved in (C:\\stick\\Veltrik-removed-[-\d]+\.reg)\): 2\r\n  "
                              r"Minimal\\backupvt\r\n  Network\\AnyDesk\r\n", report)
            assert code == 3010 and saved and "Secr3t" not in report, "/fix /remove: %d %s" % (code, report)
            check_branch(p, {SAFEBOOT + r"\Minimal\gonedrv.sys": {"": '"Driver"'}})
            check_eq([k for k in p.export(SAFEBOOT) if "backupvt" in k or "anydesk" in k], [], "removed")
            log = Path(p.win_path(r"stick\Veltrik.log")).read_bytes().decode()
            assert saved.group(0) in log and "Secr3t" not in log, "the record: " + log
            p.wine("regedit", "/S", saved.group(1))
            check_eq(p.export(minimal), planted, "put back by the saved file")
            code, report = p.command("/remove", r"Minimal\AppInfo", exe=r"C:\stick\veltrik.exe")
            check_eq((code, "Refused: Minimal\\AppInfo: an entry of the Windows 10 list" in report,
                      len(os.listdir(p.win_path("stick")))), (2, True, 3), "Windows' own: " + report)

        # Offline: the installed Windows' own services and files, its C: found on D:.
        drive = p.add_drive("d")
        install_windows(drive, "win7", "controlset001", system={
            r"Control\SafeBoot\Network\AnyDesk": {"": '"Service"'}, r"Control\SafeBoot\Minimal\vt": {"": '"Service"'},
            r"Services\AnyDesk": {"ImagePath": r'"\"C:\\Program Files\\AnyDesk\\AnyDesk.exe\""'},
            r"Services\vt": {"ImagePath": r'"\\??\\C:\\Users\\Public\\vt.exe"'}}, software={
            r"Microsoft\Windows NT\CurrentVersion": {"CurrentVersion": '"6.1"', "SystemRoot": r'"C:\\Windows"'},
            r"Microsoft\Windows NT\CurrentVersion\Winlogon": {"Shell": '"evil.exe"'},
            r"Microsoft\Windows\CurrentVersion": {"ProgramFilesDir": r'"C:\\Program Files"'}})
        os.makedirs(os.path.join(drive, "Program Files", "AnyDesk"))
        Path(drive, "Program Files", "AnyDesk", "AnyDesk.exe").write_bytes(b"MZ")
        p.stop()  # Wine finds the new drive when it starts again
        report = p.command("/check", "/offline", r"D:\Windows", exe=r"C:\stick\veltrik.exe")[1]
        for line in (r"  Minimal\vt = Service -> D:\Users\Public\vt.exe (file not found)" + OUTSIDE,
                     r"  Network\AnyDesk = Service -> D:\Program Files\AnyDesk\AnyDesk.exe" + "\r\n",
                     "  Logon shell replaced: Shell = evil.exe; undo: "):
            assert line in report, "%r not in /check /offline: %s" % (line, report)
        code, report = p.command("/fix", "/offline", r"D:\Windows", "/remove", r"Network\AnyDesk",
                                 exe=r"C:\stick\veltrik.exe")
        saved = re.search(r"Removed \(saved in C:\\(stick\\Veltrik-removed-[-\d]+\.reg)\): 1\r\n", report)
        assert code == 3010 and saved and report.startswith("Backup of the SYSTEM hive: "), report
        assert "[HKEY_LOCAL_MACHINE\\SYSTEM\\ControlSet001\\Control\\SafeBoot\\Network\\AnyDesk]\r\n@=\"Service\"" \
            in Path(p.win_path(saved.group(1))).read_bytes().decode("utf-16"), "the saved file"


# Cases that run side by side, the hung import (which mostly waits) the first of them. With more than two on a
# 2-core machine, Wine's own tools now and then never end in a prefix that was just stopped and started again.
LANES = int(os.environ.get("VELTRIK_E2E_LANES", "2"))
X64, WOW64, X86 = "x64 in a 64-bit prefix", "x86 in a 64-bit prefix", "x86 in a 32-bit prefix"
EVERY = (X64, WOW64, X86)
KINDS = {X64: ("x64", "win64", 64), WOW64: ("x86", "win64", 32), X86: ("x86", "win32", 32)}  # build, prefix, bits
# What the build or the kind of prefix can change runs in every setting; the window's drawing and the browser
# discovery run in the settings where they can differ.
CASES = [(window_by_mouse_and_by_keyboard_alone, (X64, WOW64)), (window_scales_with_the_display, (X64,)),
         (fix_completes_a_damaged_branch_with_the_list_of_its_windows, EVERY),
         (leftovers_and_blocked_names_never_stop_the_repair, (X64,)),
         (odd_browser_entries_start_the_registered_browser_or_the_fallback, (X64, WOW64)),
         (command_line_checks_and_fixes_with_exit_codes, EVERY),
         (recovery_environment_repairs_the_installed_windows_offline, (X64, WOW64)),
         (every_repair_leaves_its_record_beside_the_program, (X64,)),
         (foreign_entries_and_what_else_holds_safe_mode_named_and_removed_with_a_copy, (X64,))]


def main():
    builds = {"x64": os.path.abspath(sys.argv[1]), "x86": os.path.abspath(sys.argv[2])}
    wanted, results, retried, skipped, began = set(sys.argv[3:]), [], [], 0, time.time()
    # Where the x86 program cannot run, its settings are skipped, each with its reason; asked for, they fail.
    no_x86 = x86_unavailable()

    def attempt(fn, setting):
        # A case that fails is run once more, in a new prefix: now and then Wine's own desktop or tools never answer
        # on a busy machine. Both runs are printed; a fault of the program fails both.
        for again in (False, True):
            start, name = time.time(), "%s [%s]" % (fn.__name__, setting.label)
            try:
                fn(setting)
                print("PASS %s%s (%.1fs)" % (name, " on a second run" * again, time.time() - start), flush=True)
                results.append(True)
                retried.append(again)
                return
            except Exception:  # noqa: BLE001 - every failure is reported, then the next case runs
                print("FAIL %s (%.1fs)\n%s" % (name, time.time() - start, traceback.format_exc()), flush=True)
        results.append(False)

    tasks = []  # the hung import first: it mostly waits, so the other lane does most of the rest
    for fn, name in [(fn, name) for fn, where in [(hanging_import_ends_at_the_time_limit, (X64,))] + CASES
                     for name in where if not wanted or fn.__name__ in wanted or name in wanted]:
        if no_x86 and name != X64:
            failing = os.environ.get(REQUIRE_X86)
            print("%s %s [%s]: %s%s" % ("FAIL" if failing else "SKIP", fn.__name__, name, "x86 under Wine was "
                  "asked for (%s), but " % REQUIRE_X86 if failing else "", no_x86), flush=True)
            results.append(False) if failing else None
            skipped += not failing
        else:
            tasks.append((fn, name))
    with Run(builds["x64"], ("win64",) if no_x86 else ("win64", "win32"), builds["x86"]) as run:
        # Lanes side by side, each case on a display no other uses meanwhile (a key press goes to its one focus).
        displays = [start_display() for _ in range(min(LANES, len(tasks)) - 1)]
        free = queue.Queue()
        for display in [run.display] + [display for display, _ in displays]:
            free.put(display)

        def lane(fn, name):  # prefixes of the setting's kind, for its build, on a free display
            display = free.get()
            build, arch, bits = KINDS[name]
            attempt(fn, run.setting(name, builds[build], arch, bits, display))
            free.put(display)

        with concurrent.futures.ThreadPoolExecutor(len(displays) + 1) as pool:
            list(pool.map(lambda task: lane(*task), tasks))
        for xvfb in filter(None, (xvfb for _, xvfb in displays)):
            xvfb.terminate()
    print("e2e: %d passed (%d on a second run), %d failed, %d skipped, in %.0fs" % (
        results.count(True), sum(retried), results.count(False), skipped, time.time() - began))
    return 0 if results and all(results) else 1


if __name__ == "__main__":
    sys.exit(main())
