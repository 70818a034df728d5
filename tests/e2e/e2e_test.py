#!/usr/bin/env python3
"""End-to-end tests of veltrik.exe under Wine: real window, real clicks,
real registry and the real regedit import.

Usage: e2e_test.py BUILD_DIR [case ...]
"""
import os
import re
import subprocess
import sys
import time
import traceback

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from checks import (BROWSER, CASES, DOWNLOAD, HOST, VISTA7, XP, XP_PROFILES, assert_branch,  # noqa: E402
                    assert_eq, assert_no_work_files, assert_policy_cleared, assert_restarted_once_after_imports,
                    assert_true, case, fix_and_wait, reg)
from wine_harness import ABOUT, CLIENT, EXIT, FIX, MAKER_NAME, POLICY, ROOT, SAFEBOOT, TITLE, Run  # noqa: E402

# --- start, links, About, exit ----------------------------------------------------

@case
def start_opens_download_page_minimised(run):
    with run.prefix() as p:
        p.launch()
        assert_eq(p.caption(), TITLE, "caption")
        p.screenshot("start")
        launches = p.wait_record("browser.exe")
        assert_eq([(r["show"], r["command"]) for r in launches], [(6, BROWSER + " " + DOWNLOAD)], "start launches")


@case
def hotspot_opens_home_page_and_nothing_else_does(run):
    with run.prefix() as p:
        p.launch()
        p.wait_record("browser.exe")
        for elsewhere in [(100, 30), (60, 120), (200, 240), (200, 320), (366, 315)]:
            p.click(elsewhere)
        time.sleep(1)
        assert_eq(len(p.records()), 1, "launches after clicks beside the maker's name")
        p.click(MAKER_NAME)
        launches = p.wait_record("browser.exe", count=2)
        assert_eq([(r["show"], r["command"]) for r in launches[1:]], [(3, BROWSER + " " + HOST)], "hotspot launch")


@case
def about_box_then_download_page_maximised(run):
    with run.prefix() as p:
        p.launch()
        p.wait_record("browser.exe")
        p.click(ABOUT)
        box = p.wait_window("^%s$" % TITLE.replace(".", r"\."), exclude=(p.window,))
        p.screenshot("about", box)
        assert_eq(len(p.records()), 1, "nothing launched while the box is open")
        p.xdo("windowfocus", "--sync", box)
        p.xdo("key", "--window", box, "Return")
        launches = p.wait_record("browser.exe", count=2)
        assert_eq([(r["show"], r["command"]) for r in launches[1:]], [(3, BROWSER + " " + DOWNLOAD)],
                  "after the About box")


@case
def window_snaps_back_to_its_size(run):
    with run.prefix() as p:
        p.launch()
        size = p.window_crop(p.window).split("+")[0]
        for width, height in [(600, 500), (200, 150), (378, 500)]:
            p.wine(os.path.join(p.build, "resize_window.exe"), str(width), str(height))
            time.sleep(1)
            assert_eq(p.window_crop(p.window).split("+")[0], size, "size after resizing to %dx%d" % (width, height))
        assert_true(p.alive(), "still running")


def magick(*args):
    out = subprocess.run(args, stdout=subprocess.PIPE, stderr=subprocess.STDOUT, check=False)
    return out.stdout.decode()


def black_share(png):
    """The share of the picture that is black or nearly so."""
    return float(magick("convert", png, "-fuzz", "6%", "-fill", "white", "+opaque", "black", "-format",
                        "%[fx:1-mean]", "info:"))


@case
def window_scales_with_the_display(run):
    """At 125, 150 and 200 percent the window is the 96-DPI window, larger."""
    with run.prefix() as p:
        shots = {}
        for dpi in (96, 120, 144, 192):
            p.import_reg(reg('[HKEY_CURRENT_USER\\Control Panel\\Desktop]\n"LogPixels"=dword:%08x\n' % dpi))
            p.stop()
            p.launch()
            client = p.client_size()
            expected = tuple(round(n * dpi / 96) for n in CLIENT)
            assert_true(all(abs(a - b) <= 2 for a, b in zip(client, expected)),
                        "client area at %d DPI: %r, expected about %r" % (dpi, client, expected))
            shots[dpi] = p.client_screenshot("scale-%d" % dpi, client)
            # The hotspot and the buttons are where the picture shows them.
            scaled = lambda point: tuple(n * dpi // 96 for n in point)  # noqa: E731
            p.click(scaled(MAKER_NAME), client=client)
            home = p.wait_record("browser.exe", count=2 * len(shots))[-1]
            assert_eq((home["show"], home["command"]), (3, BROWSER + " " + HOST), "hotspot at %d DPI" % dpi)
            p.click(scaled(EXIT), client=client)
            assert_true(p.wait_exit(), "still running after EXIT at %d DPI" % dpi)
        base_black = black_share(shots[96])
        for dpi in (120, 144, 192):
            # Softened, so that text drawn at another size does not count as a difference.
            small, base = shots[dpi][:-4] + "-at-96.png", shots[96][:-4] + "-soft.png"
            magick("convert", shots[dpi], "-resize", "%dx%d!" % CLIENT, "-blur", "0x2", small)
            magick("convert", shots[96], "-blur", "0x2", base)
            rmse = float(re.search(r"\(([0-9.e-]+)\)", magick("compare", "-metric", "RMSE", small, base,
                                                                "null:")).group(1))
            assert_true(rmse < 0.08, "at %d DPI the window differs from 96 DPI: RMSE %.3f" % (dpi, rmse))
            black = black_share(shots[dpi])
            assert_true(black < base_black + 0.01, "black blocks at %d DPI: %.1f%% black" % (dpi, 100 * black))


@case
def exit_button_ends_the_program(run):
    with run.prefix() as p:
        p.launch()
        p.click(EXIT)
        assert_true(p.wait_exit(), "still running after EXIT")


@case
def close_box_ends_the_program(run):
    with run.prefix() as p:
        p.launch()
        p.xdo("windowfocus", "--sync", p.window)
        p.xdo("key", "--window", p.window, "alt+F4")
        assert_true(p.wait_exit(), "still running after closing the window")


# --- the repair -------------------------------------------------------------------------

@case
def fix_on_default_prefix_restores_vista7_branch(run):
    with run.prefix() as p:
        assert_eq(p.export(SAFEBOOT), {}, "SafeBoot branch before")
        p.import_reg(reg("[HKEY_LOCAL_MACHINE\\%s]\n\"DisableRegistryTools\"=dword:00000001\n\n"
                         "[HKEY_CURRENT_USER\\%s]\n\"DisableRegistryTools\"=dword:00000002\n" % (POLICY, POLICY)))
        p.put(r"windows\svcas.tmp", b"stale work file " * 5000)
        p.put(r"windows\svcas.reg", b"REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Stale]\r\n\"x\"=\"y\"\r\n")
        p.launch()
        restarts = fix_and_wait(p, "fix-vista7")
        assert_restarted_once_after_imports(restarts)
        assert_eq(p.caption(), "Restarting...", "caption after FIX")
        assert_branch(p, VISTA7)
        assert_policy_cleared(p)
        assert_no_work_files(p)
        assert_eq(p.export("HKEY_LOCAL_MACHINE\\SOFTWARE\\Stale"), {}, "stale .reg imported")
        assert_true(p.alive(), "the window stays open until the restart")


@case
def fix_on_xp_layout_restores_xp_branch_and_keeps_foreign_entries(run):
    with run.prefix() as p:
        foreign = {SAFEBOOT + "\\Minimal\\AcmeGuard": {"": '"Service"'},
                   SAFEBOOT + "\\Network\\AcmeGuard.sys": {"": '"Driver"'}}
        p.import_reg(reg(XP_PROFILES + "\n[%s\\Minimal\\AcmeGuard]\n@=\"Service\"\n\n"
                                       "[%s\\Network\\AcmeGuard.sys]\n@=\"Driver\"\n" % (SAFEBOOT, SAFEBOOT)))
        p.launch()
        restarts = fix_and_wait(p, "fix-xp")
        assert_restarted_once_after_imports(restarts)
        assert_branch(p, XP, foreign)
        assert_policy_cleared(p)
        assert_no_work_files(p)


def main():
    build = os.path.abspath(sys.argv[1] if len(sys.argv) > 1 else os.path.join(ROOT, "build", "windows-x64"))
    wanted = set(sys.argv[2:])
    import fault_cases  # noqa: F401  (registers its cases)
    passed = failed = 0
    with Run(build) as run:
        for fn in CASES:
            if wanted and fn.__name__ not in wanted:
                continue
            start = time.time()
            try:
                fn(run)
                passed += 1
                print("PASS %s (%.1fs)" % (fn.__name__, time.time() - start), flush=True)
            except Exception:  # noqa: BLE001 - every failure is reported, then the next case runs
                failed += 1
                print("FAIL %s (%.1fs)\n%s" % (fn.__name__, time.time() - start, traceback.format_exc()), flush=True)
    print("e2e: %d passed, %d failed" % (passed, failed))
    return 1 if failed or not passed else 0


if __name__ == "__main__":
    sys.exit(main())
