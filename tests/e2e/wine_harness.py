"""Runs veltrik.exe for real under Wine on a virtual display.

Each case gets its own Wine prefix, copied from one made fresh for the run;
real mouse clicks go through xdotool at the controls' pixel positions. The
programs veltrik.exe starts (browser, shutdown) are a recording stand-in
that logs its command line, window style and the running regedit processes.
"""
import contextlib
import os
import re
import shutil
import subprocess
import tempfile
import time

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
SAFEBOOT = r"HKEY_LOCAL_MACHINE\SYSTEM\CurrentControlSet\Control\SafeBoot"
POLICY = r"Software\Microsoft\Windows\CurrentVersion\Policies\System"
TITLE = "Veltrik v1.1.0.0"
CLIENT = (372, 335)  # client area in pixels at 96 DPI

# Client-area pixel centres of the controls (twips / 15).
FIX = (18 + 45, 264 + 12)
ABOUT = (144 + 45, 264 + 12)
EXIT = (273 + 45, 264 + 12)
MAKER_NAME = (216 + 72, 303 + 12)


class Display:
    """One Xvfb for the whole run, started before the first Wine process."""

    def __init__(self):
        self.proc = None
        self.name = os.environ.get("VELTRIK_DISPLAY")

    def start(self):
        if self.name:
            return
        for n in range(90, 140):
            if os.path.exists("/tmp/.X11-unix/X%d" % n) or os.path.exists("/tmp/.X%d-lock" % n):
                continue
            self.proc = subprocess.Popen(["Xvfb", ":%d" % n, "-screen", "0", "1024x768x24", "-nolisten", "tcp"],
                                         stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
            self.name = ":%d" % n
            for _ in range(100):
                if os.path.exists("/tmp/.X11-unix/X%d" % n):
                    return
                time.sleep(0.05)
        raise RuntimeError("no virtual display")

    def stop(self):
        if self.proc:
            self.proc.terminate()
            self.proc.wait()


class Prefix:
    """A Wine prefix with the recording stand-ins in place."""

    def __init__(self, path, display, build):
        self.path = path
        self.display = display
        self.build = build
        self.drive_c = os.path.join(path, "drive_c")
        self.record = os.path.join(self.drive_c, "record.log")
        self.app = None
        self.window = None
        self.overrides = ["mscoree,mshtml=", "shutdown.exe=n"]
        self.extra_env = {}

    # --- environment and processes -----------------------------------------
    def env(self):
        env = dict(os.environ)
        env.update({"WINEPREFIX": self.path, "WINEDEBUG": "-all", "DISPLAY": self.display,
                    "WINEDLLOVERRIDES": ";".join(self.overrides), "VELTRIK_RECORD": r"C:\record.log"})
        env.update(self.extra_env)
        return env

    def wine(self, *args, timeout=120):
        return subprocess.run(["wine", *args], env=self.env(), stdout=subprocess.PIPE, stderr=subprocess.DEVNULL,
                              timeout=timeout, check=False)

    def xdo(self, *args):
        out = subprocess.run(["xdotool", *map(str, args)], env=self.env(), stdout=subprocess.PIPE,
                             stderr=subprocess.DEVNULL, timeout=30, check=False)
        return out.stdout.decode(errors="replace").strip()

    def stop(self):
        subprocess.run(["wineserver", "-k"], env=self.env(), stderr=subprocess.DEVNULL, check=False)
        subprocess.run(["wineserver", "-w"], env=self.env(), stderr=subprocess.DEVNULL, check=False)
        if self.app:
            try:
                self.app.wait(timeout=10)
            except subprocess.TimeoutExpired:
                self.app.kill()

    # --- files ---------------------------------------------------------------
    def win_path(self, rel):
        return os.path.join(self.drive_c, *rel.replace("\\", "/").split("/"))

    def put(self, rel, data):
        path = self.win_path(rel)
        os.makedirs(os.path.dirname(path), exist_ok=True)
        with open(path, "wb") as f:
            f.write(data)
        return path

    def install_recorder(self, rel):
        path = self.win_path(rel)
        os.makedirs(os.path.dirname(path), exist_ok=True)
        if os.path.exists(path):
            os.chmod(path, 0o644)
            os.remove(path)
        shutil.copy(os.path.join(self.build, "recorder.exe"), path)

    def files_matching(self, folder, pattern):
        found = []
        for name in os.listdir(self.win_path(folder)):
            if re.fullmatch(pattern, name, re.I):
                found.append(name)
        return sorted(found)

    # --- registry ------------------------------------------------------------
    def import_reg(self, text):
        path = self.put("setup.reg", ("\ufeff" + text.replace("\n", "\r\n")).encode("utf-16-le"))
        self.wine("regedit", "/S", r"C:\setup.reg")
        os.remove(path)

    def export(self, key):
        """The key and its subkeys as {key path: {value name: data text}}."""
        target = self.win_path("export.reg")
        if os.path.exists(target):
            os.remove(target)
        self.wine("regedit", "/E", r"C:\export.reg", key)
        if not os.path.exists(target):
            return {}
        with open(target, "rb") as f:
            raw = f.read()
        os.remove(target)
        return parse_reg(raw.decode("utf-16") if raw[:2] == b"\xff\xfe" else raw.decode("latin-1"))

    # --- the program -----------------------------------------------------------
    def launch(self, exe=None, cwd=None):
        """Starts veltrik.exe and waits for its window."""
        exe = exe or os.path.join(self.build, "veltrik.exe")
        self.app = subprocess.Popen(["wine", exe], env=self.env(), cwd=cwd or self.drive_c,
                                    stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        self.window = self.wait_window("^%s$" % re.escape(TITLE))
        return self.app

    def wait_window(self, name_regex, timeout=60, exclude=()):
        deadline = time.time() + timeout
        while time.time() < deadline:
            ids = [w for w in self.xdo("search", "--onlyvisible", "--name", name_regex).split() if w not in exclude]
            if ids:
                time.sleep(0.5)  # let it paint
                return ids[0]
            time.sleep(0.2)
        raise AssertionError("no window %r within %ds" % (name_regex, timeout))

    def client_origin(self, window, client=CLIENT):
        geometry = self.xdo("getwindowgeometry", window)
        w, h = map(int, re.search(r"Geometry: (\d+)x(\d+)", geometry).groups())
        border = (w - client[0]) // 2
        return border, h - client[1] - border

    def client_size(self):
        """The client area of the program's window, as Windows reports it."""
        self.wine(os.path.join(self.build, "resize_window.exe"), r"C:\client.txt")
        with open(self.win_path("client.txt")) as f:
            return tuple(map(int, f.read().split()))

    def client_screenshot(self, name, client):
        """A screenshot of the client area alone; returns its path."""
        ox, oy = self.client_origin(self.window, client)
        x, y = map(int, re.search(r"Position: (-?\d+),(-?\d+)",
                                  self.xdo("getwindowgeometry", self.window)).groups())
        path = os.path.join(ROOT, "build", "e2e-screenshots", name + ".png")
        os.makedirs(os.path.dirname(path), exist_ok=True)
        subprocess.run(["import", "-window", "root", "-crop", "%dx%d+%d+%d" % (client[0], client[1], x + ox, y + oy),
                        "+repage", path], env=self.env(), stderr=subprocess.DEVNULL, timeout=30, check=False)
        return path

    def click(self, point, window=None, client=CLIENT):
        window = window or self.window
        ox, oy = self.client_origin(window, client)
        self.xdo("mousemove", "--window", window, ox + point[0], oy + point[1])
        time.sleep(0.2)
        self.xdo("click", 1)
        time.sleep(0.3)

    def caption(self, window=None):
        return self.xdo("getwindowname", window or self.window)

    def alive(self):
        return self.app is not None and self.app.poll() is None

    def wait_exit(self, timeout=20):
        try:
            self.app.wait(timeout=timeout)
            return True
        except subprocess.TimeoutExpired:
            return False

    def screenshot(self, name, window=None):
        shots = os.path.join(ROOT, "build", "e2e-screenshots")
        os.makedirs(shots, exist_ok=True)
        subprocess.run(["import", "-window", "root", "-crop", self.window_crop(window or self.window),
                        os.path.join(shots, name + ".png")], env=self.env(), stderr=subprocess.DEVNULL,
                       timeout=30, check=False)

    def window_crop(self, window):
        geometry = self.xdo("getwindowgeometry", window)
        x, y = map(int, re.search(r"Position: (-?\d+),(-?\d+)", geometry).groups())
        w, h = map(int, re.search(r"Geometry: (\d+)x(\d+)", geometry).groups())
        return "%dx%d+%d+%d" % (w, h, x, y)

    # --- what the stand-ins recorded ------------------------------------------
    def records(self):
        if not os.path.exists(self.record):
            return []
        with open(self.record, encoding="utf-8", errors="replace") as f:
            lines = [line.rstrip("\r\n") for line in f if line.strip()]
        out = []
        for line in lines:
            path, show, regedits, folder, command = line.split("|", 4)
            out.append({"name": path.replace("/", "\\").split("\\")[-1].lower(), "path": path.lower(),
                        "show": int(show), "regedit_running": int(regedits), "folder": folder.lower(),
                        "command": command})
        return out

    def records_of(self, name):
        return [r for r in self.records() if r["name"] == name]

    def wait_record(self, name, count=1, timeout=150):
        """The records of program `name` once there are `count` of them."""
        deadline = time.time() + timeout
        while time.time() < deadline and len(self.records_of(name)) < count:
            time.sleep(0.3)
        time.sleep(0.5)  # anything launched right behind it
        return self.records_of(name)


def parse_reg(text):
    keys = {}
    current = None
    pending = ""
    for line in text.splitlines():
        if pending:
            line = pending + line.strip()
            pending = ""
        if line.endswith("\\") and current is not None and not line.startswith("["):
            pending = line[:-1]
            continue
        if line.startswith("[") and line.endswith("]"):
            current = keys.setdefault(line[1:-1].lower(), {})
        elif current is not None and "=" in line:
            m = re.match(r'^(@|"(?:[^"\\]|\\.)*")=(.*)$', line)
            if m:
                name = "" if m.group(1) == "@" else m.group(1)[1:-1].replace('\\"', '"').replace("\\\\", "\\")
                current[name.lower()] = m.group(2)
    return keys


def template_keys(path):
    """The keys and values a stored template adds, as parse_reg gives them."""
    with open(path, "rb") as f:
        raw = f.read()
    text = raw[2:].decode("utf-16-le") if raw[:2] == b"\xff\xfe" else raw.replace(b"\0", b"").decode("ascii")
    return parse_reg(text)


class Run:
    """One Xvfb and one fresh prefix for the whole run; a copy per case."""

    def __init__(self, build):
        self.build = build
        self.display = Display()
        self.tmp = tempfile.mkdtemp(prefix="veltrik-e2e-")
        self.base = os.path.join(self.tmp, "base")
        self.count = 0

    def __enter__(self):
        self.display.start()
        base = Prefix(self.base, self.display.name, self.build)
        subprocess.run(["wineboot", "-i"], env=base.env(), stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                       timeout=300, check=True)
        # Wine draws the frame and caption itself, as no window manager runs here.
        base.import_reg('Windows Registry Editor Version 5.00\n\n'
                        '[HKEY_CURRENT_USER\\Software\\Wine\\X11 Driver]\n"Managed"="N"\n')
        base.install_recorder(r"windows\system32\shutdown.exe")
        base.install_recorder(r"tools\browser.exe")
        base.stop()
        return self

    def __exit__(self, *exc):
        shutil.rmtree(self.tmp, ignore_errors=True)
        self.display.stop()

    @contextlib.contextmanager
    def prefix(self, browser=True):
        """A copy of the fresh prefix, with a registered test browser unless
        `browser` is false; removed again afterwards."""
        self.count += 1
        path = os.path.join(self.tmp, "case%d" % self.count)
        subprocess.run(["cp", "-a", self.base, path], check=True)
        prefix = Prefix(path, self.display.name, self.build)
        if browser:
            prefix.import_reg('Windows Registry Editor Version 5.00\n\n'
                              '[HKEY_CURRENT_USER\\Software\\Clients\\StartMenuInternet]\n@="TestBrowser"\n\n'
                              '[HKEY_LOCAL_MACHINE\\Software\\Clients\\StartMenuInternet\\TestBrowser\\shell\\open'
                              '\\command]\n@="\\"C:\\\\tools\\\\browser.exe\\""\n')
        try:
            yield prefix
        finally:
            prefix.stop()
            shutil.rmtree(prefix.path, ignore_errors=True)
