"""Runs veltrik.exe for real under Wine on a virtual display, for the main
job, the benchmarks and the end-to-end tests: a fresh prefix (a machine with
no SafeBoot branch) made once per run and copied per use, real clicks through
xdotool, and a recording stand-in (recorder.exe) for the programs veltrik.exe
starts, so that its restart is intercepted."""
import concurrent.futures
import contextlib
import errno
import functools
import os
import re
import shutil
import struct
import subprocess
import sys
import tempfile
import time
import types

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
SAFEBOOT = r"HKEY_LOCAL_MACHINE\SYSTEM\CurrentControlSet\Control\SafeBoot"
POLICY = r"Software\Microsoft\Windows\CurrentVersion\Policies\System"
TITLE = "Veltrik v1.1.0.0"
CLIENT = (372, 335)  # client area in pixels at 96 DPI
# Client-area pixel centres of the controls at 96 DPI (twips / 15).
FIX, ABOUT, EXIT, MAKER_NAME = (63, 276), (189, 276), (318, 276), (288, 315)
SHOTS = os.path.join(ROOT, "build", "e2e-screenshots")


def start_display():
    """An Xvfb of its own (or VELTRIK_DISPLAY), started before any Wine process."""
    if os.environ.get("VELTRIK_DISPLAY"):
        return os.environ["VELTRIK_DISPLAY"], None
    for n in range(90, 140):
        if os.path.exists("/tmp/.X11-unix/X%d" % n) or os.path.exists("/tmp/.X%d-lock" % n):
            continue
        proc = subprocess.Popen(["Xvfb", ":%d" % n, "-screen", "0", "1024x768x24", "-nolisten", "tcp"],
                                stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        for _ in range(100):
            if os.path.exists("/tmp/.X11-unix/X%d" % n):
                return ":%d" % n, proc
            time.sleep(0.05)
        proc.kill()
    raise RuntimeError("no virtual display")


# The prefix's own tools run through the loader of its kind: once Wine's
# 32-bit half is installed, plain `wine` is the 32-bit loader, whose `reg` and
# `regedit` would use the 32-bit registry view of a 64-bit prefix.
LOADERS = {"win64": "/usr/lib/wine/wine64", "win32": "/usr/lib/wine/wine"}
# Set, a run that cannot run the x86 program fails instead of skipping it: for CI or a maintainer who wants that proof.
REQUIRE_X86 = "VELTRIK_REQUIRE_X86"
# Written by scripts/setup.sh where Wine's 32-bit half could not be installed, with the reason.
X86_MISSING_NOTE = os.path.join("build", "wine32-not-installed")


@functools.lru_cache(maxsize=None)
def x86_unavailable():
    """Why this machine cannot run 32-bit programs under Wine, or None where it can: the one place that decides,
    for every script and the harness. Only a 32-bit loader that the kernel refuses to start counts, or one that
    the set-up says Debian's packages could not install; any other missing one is a broken set-up, which must fail
    where it is used rather than be skipped."""
    try:
        subprocess.run([LOADERS["win32"], "--version"], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                       timeout=60, check=False)
    except FileNotFoundError:
        try:
            with open(os.path.join(ROOT, X86_MISSING_NOTE)) as f:
                return f.read().strip() or None
        except FileNotFoundError:
            return None
    except OSError as e:
        if e.errno == errno.ENOEXEC:
            return "this machine cannot run 32-bit programs (kernel 32-bit emulation is off)"
        return "this machine cannot run Wine's 32-bit loader (%s)" % e.strerror
    return None


def loader_for(exe):
    """The loader of the program's own kind: the 32-bit one, which cannot start everywhere, only for 32-bit code."""
    with open(exe, "rb") as f:
        head = f.read(4096)
    machine = struct.unpack_from("<H", head, struct.unpack_from("<I", head, 0x3C)[0] + 4)[0]
    return LOADERS["win64"] if machine == 0x8664 else LOADERS["win32"]


class Prefix:
    """A Wine prefix with the recording stand-ins in place."""

    def __init__(self, path, display, build, arch="win64", bits=64):
        self.path, self.display, self.build, self.arch = path, display, build, arch
        self.wow64 = arch == "win64" and bits == 32  # the program under test runs under WOW64
        self.version = None  # unset, Debian's Wine 8 reports Windows 7: each case sets the one it means
        self.drive_c = os.path.join(path, "drive_c")
        self.app = self.window = None
        self.overrides = ["mscoree,mshtml=", "shutdown.exe=n"]
        self.extra_env = {}

    def env(self):
        return dict(os.environ, WINEPREFIX=self.path, WINEARCH=self.arch, WINEDEBUG="-all", DISPLAY=self.display,
                    WINEDLLOVERRIDES=";".join(self.overrides), VELTRIK_RECORD=r"C:\record.log", **self.extra_env)

    def wine(self, *args, timeout=120):
        """A program of the prefix's own (reg, regedit, cmd), or a built one given by path."""
        loader = loader_for(args[0]) if args[0].endswith(".exe") else LOADERS[self.arch]
        return subprocess.run([loader, *args], env=self.env(), stdout=subprocess.PIPE, stderr=subprocess.DEVNULL,
                              timeout=timeout, check=False)

    def set_version(self, version):
        """The Windows version the prefix reports: winxp (winxp64 in a 64-bit prefix), win7, win8, win81, win10."""
        if version == "winxp" and self.arch == "win64":
            version = "winxp64"
        self.reg("add", r"HKCU\Software\Wine", "/v", "Version", "/d", version)
        self.version = version

    def reg(self, action, key, *args):
        """`reg add` or `reg delete` of the prefix's own, read back: with cases side by side, now and then the
        prefix's reg.exe ends without having written. Tried three times, the prefix stopped in between."""
        name = args[args.index("/v") + 1] if "/v" in args else None
        data = args[args.index("/d") + 1] if "/d" in args else None
        for _ in range(3):
            self.wine("reg", action, key, *args, "/f")
            out = self.wine("reg", "query", key, *(("/v", name) if name else ()))
            words = out.stdout.decode(errors="replace").split()
            if (out.returncode != 0) == (action == "delete") and (
                    data is None or data in words or "REG_DWORD" in args and "0x%x" % int(data) in words):
                return
            print("reg %s %s: not done; the prefix stopped and tried again" % (action, key), file=sys.stderr)
            self.stop()
        raise AssertionError("the prefix does not take reg %s %s %s" % (action, key, " ".join(args)))

    def xdo(self, *args):
        out = subprocess.run(["xdotool", *map(str, args)], env=self.env(), stdout=subprocess.PIPE,
                             stderr=subprocess.DEVNULL, timeout=30, check=False)
        return out.stdout.decode(errors="replace").strip()

    def stop(self):
        """Ends every process of the prefix."""
        for flag in ("-k", "-w"):
            subprocess.run(["wineserver", flag], env=self.env(), stderr=subprocess.DEVNULL, check=False)
        if self.app and self.app.poll() is None:
            self.app.kill()
            self.app.wait()

    # --- files and registry --------------------------------------------------
    def win_path(self, rel):
        return os.path.join(self.drive_c, *rel.replace("\\", "/").split("/"))

    def put(self, rel, data):
        path = self.win_path(rel)
        os.makedirs(os.path.dirname(path), exist_ok=True)
        with open(path, "wb") as f:
            f.write(data)

    def install_recorder(self, rel, wow64_too=True):
        """A stand-in at `rel`. In a 64-bit prefix one in system32 or the Windows folder also goes into SysWOW64,
        where Wine sends a 32-bit program that starts either, unless `wow64_too` is false."""
        folder, _, name = rel.lower().rpartition("\\")
        if folder in (r"windows\system32", "windows") and self.arch == "win64" and wow64_too:
            self.install_recorder(r"windows\syswow64\\" + name)
        path = self.win_path(rel)
        os.makedirs(os.path.dirname(path), exist_ok=True)
        if os.path.exists(path):
            os.remove(path)
        shutil.copy(os.path.join(self.build, "recorder.exe"), path)

    def work_files(self):
        """Files, or empty folders, at the work-file names in C:\\windows."""
        folder = self.win_path("windows")
        return sorted(n for n in os.listdir(folder) if re.fullmatch(r"s[vx]cas\..*", n, re.I)
                      and not (os.path.isdir(os.path.join(folder, n)) and os.listdir(os.path.join(folder, n))))

    def import_reg(self, text):
        self.put("setup.reg", ("\ufeffWindows Registry Editor Version 5.00\n\n" + text).replace("\n", "\r\n")
                 .encode("utf-16-le"))
        try:
            self.wine("regedit", "/S", r"C:\setup.reg", timeout=60)
        except subprocess.TimeoutExpired:
            # Seen once with cases side by side: an import that never ends, in a prefix whose server had just been
            # stopped. The prefix's own tool, not the program under test: stopped, and tried once more.
            print("import_reg: regedit hung; the prefix stopped and the import tried again", file=sys.stderr)
            self.stop()
            self.wine("regedit", "/S", r"C:\setup.reg", timeout=60)

    @contextlib.contextmanager
    def server_held(self):
        """Keeps the prefix's server, and so its registry, up: Wine's own boot runs at every start of the server
        and deletes the RunOnce values it finds; planted while a waiting cmd holds the server, after its boot,
        they stay."""
        self.wine("reg", "query", r"HKCU\Software\Wine")
        holder = subprocess.Popen([LOADERS[self.arch], "cmd"], env=self.env(), stdin=subprocess.PIPE,
                                  stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        time.sleep(3)  # its boot's RunOnce pass is over
        try:
            yield
        finally:
            holder.kill()
            holder.wait()

    def export(self, key):
        """The key and its subkeys as {key path: {value name: data text}}, lower case."""
        target = self.win_path("export.reg")
        # Asked again where nothing came: with two prefixes busy side by side, the prefix's own regedit now and
        # then ends without writing. A key that is not there gives nothing both times.
        for _ in range(2):
            if os.path.exists(target):
                os.remove(target)
            self.wine("regedit", "/E", r"C:\export.reg", key)
            if os.path.exists(target):
                with open(target, "rb") as f:
                    raw = f.read()
                keys = parse_reg(raw.decode("utf-16") if raw[:2] == b"\xff\xfe" else raw.decode("latin-1"))
                if keys:
                    return keys
            time.sleep(1)
        return {}

    def add_drive(self, letter, same_as=None):
        """A second drive, as a link under dosdevices (Wine reports it fixed), or a second letter for drive
        `same_as`; its folder on Linux."""
        folder = os.path.join(self.path, "drive_" + (same_as or letter))
        os.makedirs(folder, exist_ok=True)
        os.symlink(os.path.relpath(folder, os.path.join(self.path, "dosdevices")),
                   os.path.join(self.path, "dosdevices", letter + ":"))
        return folder

    # --- the program -----------------------------------------------------------
    def ready_desktop_shell(self):
        """Starts the prefix, if it is not running, with its desktop shell ready. Started on a busy machine, Wine's
        desktop shell now and then never registers its shell windows with COM, through which the program opens
        its pages, for the life of that prefix: it is stopped and started again."""
        for _ in range(3):
            if self.wine(os.path.join(self.build, "probe.exe"), "--shell").returncode == 0:
                return
            print("the desktop shell offers no window: the prefix stopped and started again", file=sys.stderr)
            self.stop()
        raise AssertionError("the desktop shell never offers its window")

    def launch(self, exe=None, cwd=None):
        """Starts veltrik.exe, on a desktop shell that is ready as on Windows, and waits for its window."""
        self.ready_desktop_shell()
        exe = exe or os.path.join(self.build, "veltrik.exe")
        self.app = subprocess.Popen([loader_for(exe), exe], env=self.env(),
                                    cwd=cwd or self.drive_c, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        self.window = self.wait_window("^%s$" % re.escape(TITLE))

    def command(self, *args, exe=None):
        """Runs veltrik.exe (or the copy `exe`, a Windows path) with arguments from the prefix's cmd, which reads
        the whole exit code (Linux keeps only its low byte); returns it and what the program wrote to standard
        output."""
        exe = exe or "Z:" + os.path.join(self.build, "veltrik.exe").replace("/", "\\")
        out = self.wine("cmd", "/v:on", "/c", " ".join([exe, *args]) + " & echo exit=!errorlevel!", timeout=300)
        text, _, code = out.stdout.decode(errors="replace").rpartition("exit=")
        return int(code), text

    def wait_window(self, name_regex, timeout=60, exclude=()):
        deadline = time.time() + timeout
        while time.time() < deadline:
            ids = [w for w in self.xdo("search", "--onlyvisible", "--name", name_regex).split() if w not in exclude]
            if ids:
                time.sleep(0.5)  # let it paint
                return ids[0]
            time.sleep(0.2)
        raise AssertionError("no window %r within %ds" % (name_regex, timeout))

    def geometry(self, window=None):
        """x, y, width and height of a window on the screen."""
        text = self.xdo("getwindowgeometry", window or self.window)
        return tuple(map(int, re.search(r"Position: (-?\d+),(-?\d+).*Geometry: (\d+)x(\d+)", text, re.S).groups()))

    def client_origin(self, client=CLIENT):
        """Where the client area starts in the window: Wine draws the frame itself here."""
        _, _, w, h = self.geometry()
        border = (w - client[0]) // 2
        return border, h - client[1] - border

    def probe(self, *size, box=False):
        """Resizes the program's window to `size`, or, without it, returns the lines probe.exe writes: the client
        area's size, as Windows reports it, then the controls; of its message box where `box` is true."""
        self.wine(os.path.join(self.build, "probe.exe"), *(size or ["--box"] * box + [r"C:\probe.txt"]))
        if not size:
            with open(self.win_path("probe.txt"), encoding="utf-8") as f:
                return f.read().splitlines()

    def client_size(self):
        return tuple(map(int, self.probe()[0].split()))

    def controls(self, box=False):
        """The window's (or its message box's) controls in the order Tab and a screen reader follow: (class, name,
        keyboard stop, focused)."""
        return [(c, name, stop == "1", focused == "1") for c, name, stop, focused in
                (line.split("|") for line in self.probe(box=box)[1:])]

    def click(self, point, client=CLIENT):
        ox, oy = self.client_origin(client)
        self.xdo("mousemove", "--window", self.window, ox + point[0], oy + point[1])
        time.sleep(0.2)
        self.xdo("click", 1)
        time.sleep(0.3)

    def key(self, keys, window=None):
        """Real key presses to the window, which gets the focus first. (Sent to a window instead, a key's release
        is lost when the key closes it, and Wine repeats the key into the window below.)"""
        self.xdo("windowfocus", "--sync", window or self.window)
        self.xdo("key", keys)

    def take_foreground(self):
        """Another program's window takes the foreground, as a page the browser opens does."""
        subprocess.Popen([LOADERS[self.arch], "notepad"], env=self.env(), stdout=subprocess.DEVNULL,
                         stderr=subprocess.DEVNULL)
        self.xdo("windowfocus", "--sync", self.wait_window("Notepad", exclude=(self.window,)))

    def caption(self):
        return self.xdo("getwindowname", self.window)

    def wait_exit(self, timeout=20):
        try:
            self.app.wait(timeout=timeout)
            return True
        except subprocess.TimeoutExpired:
            return False

    def screenshot(self, name, window=None, client=None):
        """A screenshot of a window, or of the client area alone, named after `name` and the setting; returns its
        path."""
        x, y, w, h = self.geometry(window)
        if client:
            ox, oy = self.client_origin(client)
            x, y, (w, h) = x + ox, y + oy, client
        # Cases run side by side in every setting: each setting's shots under names of their own.
        setting = "x86" if self.arch == "win32" else "wow64" if self.wow64 else "x64"
        path = os.path.join(SHOTS, "%s-%s.png" % (name, setting))
        os.makedirs(SHOTS, exist_ok=True)
        subprocess.run(["import", "-window", "root", "-crop", "%dx%d+%d+%d" % (w, h, x, y), "+repage", path],
                       env=self.env(), stderr=subprocess.DEVNULL, timeout=30, check=False)
        return path

    # --- what the stand-ins recorded: path|wShowWindow|regedits running|folder|argument's file size|parent|command
    def records_of(self, name=None):
        path = self.win_path("record.log")
        if not os.path.exists(path):
            return []
        out = []
        with open(path, encoding="utf-8", errors="replace") as f:
            for line in filter(str.strip, f):
                exe, show, regedits, folder, size, parent, command = line.rstrip("\r\n").split("|", 6)
                record = {"name": exe.replace("/", "\\").split("\\")[-1].lower(), "path": exe.lower(),
                          "show": int(show), "regedit_running": int(regedits), "folder": folder.lower(),
                          "file_size": int(size), "parent": parent.lower(), "command": command}
                if name in (None, record["name"]):
                    out.append(record)
        return out

    def clear_records(self):
        with contextlib.suppress(FileNotFoundError):
            os.remove(self.win_path("record.log"))

    def wait_record(self, name, count=1, timeout=90):
        """The records of program `name` once there are `count` of them."""
        deadline = time.time() + timeout
        while time.time() < deadline and len(self.records_of(name)) < count:
            time.sleep(0.3)
        time.sleep(0.5)  # anything launched right behind it
        return self.records_of(name)


def parse_reg(text):
    keys, current, pending = {}, None, ""
    for line in text.splitlines():
        line, pending = pending + line.strip() if pending else line, ""
        if line.endswith("\\") and current is not None and not line.startswith("["):
            pending = line[:-1]
        elif line.startswith("[") and line.endswith("]"):
            current = keys.setdefault(line[1:-1].lower(), {})
        elif current is not None:
            m = re.match(r'^(@|"(?:[^"\\]|\\.)*")=(.*)$', line)
            if m:
                name = "" if m.group(1) == "@" else m.group(1)[1:-1].replace('\\"', '"').replace("\\\\", "\\")
                current[name.lower()] = m.group(2)
    return keys


def wine_hive(keys):
    """A hive file as Wine's RegLoadKey reads one: Wine's own text format (as its RegSaveKey writes it), the keys
    relative to the hive's root; {key: {value name ("" the default): data as a .reg file writes it}}."""
    lines = ["WINE REGISTRY Version 2", "", "#arch=win64", ""]
    for key, values in keys.items():
        lines.append("[%s] 0" % key.replace("\\", "\\\\"))
        lines += ["%s=%s" % ('"%s"' % name if name else "@", data) for name, data in values.items()]
        lines.append("")
    return "\n".join(lines).encode()


def template_keys(path):
    """The keys and values a stored template adds, as parse_reg gives them."""
    with open(path, "rb") as f:
        raw = f.read()
    return parse_reg(raw[2:].decode("utf-16-le") if raw[:2] == b"\xff\xfe" else raw.replace(b"\0", b"").decode())


class Run:
    """One display and one fresh prefix of each kind for the whole run; a copy per case."""

    def __init__(self, build, arches=("win64",), build32=None):
        """`build32` gives the stand-ins of a 32-bit prefix, which cannot run 64-bit programs."""
        self.build, self.arches, self.build32 = build, arches, build32
        self.tmp = tempfile.mkdtemp(prefix="veltrik-e2e-")

    def base(self, arch):
        return os.path.join(self.tmp, "base-" + arch)

    def __enter__(self):
        self.display, self.xvfb = start_display()
        with concurrent.futures.ThreadPoolExecutor(len(self.arches)) as pool:  # each prefix has its own server
            list(pool.map(self.boot, self.arches))
        return self

    def boot(self, arch):
        base = Prefix(self.base(arch), self.display, self.build32 if arch == "win32" else self.build, arch)
        subprocess.run([LOADERS[arch], "wineboot", "-i"], env=base.env(), stdout=subprocess.DEVNULL,
                       stderr=subprocess.DEVNULL, timeout=300, check=True)
        # Wine draws the frame and caption itself, as no window manager runs here. Nor does anything send the
        # window manager's "take focus": Wine activates a window that gets the X focus only without it, as a click
        # or Alt+Tab does on Windows.
        base.import_reg('[HKEY_CURRENT_USER\\Software\\Wine\\X11 Driver]\n"Managed"="N"\n"UseTakeFocus"="N"\n')
        base.install_recorder(r"windows\system32\shutdown.exe")
        # bcdedit has no 32-bit copy: a 32-bit program reaches it through Sysnative only.
        base.install_recorder(r"windows\system32\bcdedit.exe", wow64_too=False)
        base.install_recorder(r"tools\browser.exe")
        base.stop()

    def __exit__(self, *exc):
        shutil.rmtree(self.tmp, ignore_errors=True)
        if self.xvfb:
            self.xvfb.terminate()
            self.xvfb.wait()

    def setting(self, label, build, arch, bits, display=None):
        """One build in one kind of prefix: hands out prefixes of that kind for that build, on `display` (the
        run's unless given)."""
        return types.SimpleNamespace(label=label, prefix=functools.partial(self.prefix, arch=arch, build=build,
                                                                           bits=bits, display=display))

    @contextlib.contextmanager
    def prefix(self, browser=True, display=None, arch="win64", build=None, bits=64):
        """A copy of a fresh prefix, for `build` (the run's unless given), with a
        registered test browser unless `browser` is false; removed again afterwards."""
        path = os.path.join(tempfile.mkdtemp(dir=self.tmp), "prefix")
        subprocess.run(["cp", "-a", self.base(arch), path], check=True)
        prefix = Prefix(path, display or self.display, build or self.build, arch, bits)
        if browser:
            prefix.import_reg('[HKEY_CURRENT_USER\\Software\\Clients\\StartMenuInternet]\n@="TestBrowser"\n\n'
                              '[HKEY_LOCAL_MACHINE\\Software\\Clients\\StartMenuInternet\\TestBrowser\\shell\\open'
                              '\\command]\n@="\\"C:\\\\tools\\\\browser.exe\\""\n')
        try:
            yield prefix
        finally:
            prefix.stop()
            # The folder itself stays until the run ends: Wine finds a prefix's server by the folder's inode, and a
            # prefix of a case running beside this one must not get that inode while anything of this one lingers.
            for entry in os.listdir(prefix.path):
                path = os.path.join(prefix.path, entry)
                shutil.rmtree(path, ignore_errors=True) if os.path.isdir(path) and not os.path.islink(path) \
                    else os.remove(path)
