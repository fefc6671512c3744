"""Drives tolvar.exe under Wine on a private Xvfb display.

Every wait here has a deadline and every process started here is ended by its
owner's stop(), so a failing or hanging program cannot hang the suite or leave
processes behind. The fixtures in conftest.py own the objects.
"""

from __future__ import annotations

import ctypes
import fcntl
import json
import os
import shutil
import signal
import subprocess
import tempfile
import threading
import time
from pathlib import Path, PurePosixPath

from PIL import Image, ImageGrab

ROOT = Path(__file__).resolve().parents[2]
# The Windows build's programs; TOLVAR_E2E_BIN points elsewhere (another
# build folder) without touching the shared build.
BIN = Path(os.environ.get("TOLVAR_E2E_BIN", ROOT / "build" / "windows" / "bin")).resolve()
# A prefix of our own: Wine's desktop process binds the whole prefix to the
# display of the first program started in it, so a prefix shared with the
# display-less unit tests under Wine would give the program no X windows.
PREFIX = ROOT / "build" / "wineprefix-e2e"
# Wine, with the address space laid out the same way every start: with the
# kernel's randomising, about one start in 200 finds the shared user data's
# fixed address taken and ends at once ("failed to map the shared user data:
# c0000018"). Inherited by everything Wine starts.
WINE = ["setarch", "-R", "wine"]
ARTIFACTS = ROOT / "build" / "e2e-artifacts"

WM_CLOSE = 0x0010
WM_ENDSESSION = 0x0016
WM_COMMAND = 0x0111
WM_LBUTTONUP = 0x0202
WM_LBUTTONDBLCLK = 0x0203
WM_RBUTTONUP = 0x0205
WM_APP = 0x8000
WM_APP_NEW_TAB = WM_APP + 1
WM_APP_TRAY = WM_APP + 2

BACKGROUND = (12, 14, 18)
TRAY_CLASS = "__winex11_standalone_tray"

# The settings a first start writes, byte for byte, kept once for these and
# the unit tests; tests seed variations of it.
FRESH_SETTINGS_TEXT = (ROOT / "tests" / "fixtures" / "settings.fresh.json").read_text(encoding="utf-8")
FRESH_SETTINGS = json.loads(FRESH_SETTINGS_TEXT)


class WaitTimeout(AssertionError):
    """A condition did not come true before its deadline."""


def wait_until(predicate, timeout: float, what: str, interval: float = 0.05):
    """Polls predicate until it returns a truthy value, which is returned.

    Raises WaitTimeout naming `what` and the last value seen.
    """
    deadline = time.monotonic() + timeout
    while True:
        value = predicate()
        if value:
            return value
        if time.monotonic() >= deadline:
            raise WaitTimeout(f"timed out after {timeout:.1f}s waiting for {what} (last: {value!r})")
        time.sleep(interval)


def windows_path(path: os.PathLike | str) -> str:
    """The path as a Windows program under Wine sees it (drive Z: is /).
    A text that already is a Windows path is returned as it is."""
    if isinstance(path, str) and len(path) > 2 and path[1] == ":" and path[2] == "\\":
        return path
    return "Z:" + str(PurePosixPath(Path(path).resolve())).replace("/", "\\")


def _die_with_parent():
    # Xvfb must not outlive a pytest that was killed before its teardown.
    PR_SET_PDEATHSIG = 1
    ctypes.CDLL("libc.so.6", use_errno=True).prctl(PR_SET_PDEATHSIG, signal.SIGKILL)


def _end(process: subprocess.Popen, grace: float = 3.0):
    """Ends a process we started: SIGTERM, then SIGKILL after the grace time."""
    if process.poll() is None:
        process.terminate()
        try:
            process.wait(grace)
        except subprocess.TimeoutExpired:
            process.kill()
            process.wait(5)


class Display:
    """One Xvfb server; Xvfb itself picks a free display number."""

    def __init__(self):
        read_end, write_end = os.pipe()
        self.process = subprocess.Popen(
            ["Xvfb", "-displayfd", str(write_end), "-screen", "0", "1280x800x24",
             "-nolisten", "tcp", "-noreset"],
            pass_fds=(write_end,), stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
            preexec_fn=_die_with_parent)
        os.close(write_end)
        try:
            number = self._read_number(read_end, timeout=20)
        except Exception:
            _end(self.process)
            raise
        finally:
            os.close(read_end)
        self.name = f":{number}"

    def _read_number(self, fd: int, timeout: float) -> str:
        os.set_blocking(fd, False)
        text = b""
        deadline = time.monotonic() + timeout
        while not text.endswith(b"\n"):
            if self.process.poll() is not None:
                raise RuntimeError("Xvfb exited at start")
            if time.monotonic() >= deadline:
                raise WaitTimeout("Xvfb did not report its display number")
            try:
                chunk = os.read(fd, 64)
            except BlockingIOError:
                time.sleep(0.02)
                continue
            if not chunk:
                raise RuntimeError("Xvfb closed its display pipe")
            text += chunk
        return text.decode().strip()

    def stop(self):
        _end(self.process)


class Wine:
    """The e2e prefix and its server, bound to one display for the whole run."""

    def __init__(self, display: Display):
        self.env = dict(os.environ)
        self.env.update(
            DISPLAY=display.name,
            WINEPREFIX=str(PREFIX),
            WINEDEBUG="-all",
            WINEDLLOVERRIDES="mscoree,mshtml=",
        )
        self._lock = None

    def start(self):
        PREFIX.parent.mkdir(parents=True, exist_ok=True)
        # Two runs at once would bind one prefix to two displays.
        self._lock = open(f"{PREFIX}.run.lock", "w")
        wait_until(lambda: self._try_lock(), 600, "another end-to-end run to finish", 0.5)
        # A server left by an earlier run may be bound to a display that is
        # gone; start clean.
        self.kill_server()
        if not (PREFIX / "system.reg").exists():
            # scripts/wine-run makes the prefix (once, under a lock).
            subprocess.run([str(ROOT / "scripts" / "wine-run"), "cmd", "/c", "exit"],
                           env=self.env, stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                           stderr=subprocess.DEVNULL, timeout=600, check=False)
            subprocess.run(["wineserver", "-w"], env=self.env, timeout=60, check=False)
        self._start_server()
        if not self._unmanaged_windows():
            # With no window manager, a managed window that hides or closes
            # waits 2 s for a withdrawal nobody confirms; unmanaged windows
            # draw their own frame and go at once. The desktop already runs,
            # with the tray window that hides when the last icon goes (and
            # Shell_NotifyIcon waits for it): start it again under the value.
            self.run(["reg", "add", "HKCU\\Software\\Wine\\X11 Driver", "/v", "Managed",
                      "/t", "REG_SZ", "/d", "N", "/f"])
            self.kill_server()
            self._start_server()
        # A program that crashes leaves its backtrace in the artifacts
        # (build/e2e-artifacts/crashes.txt) instead of a dialog nobody reads.
        ARTIFACTS.mkdir(parents=True, exist_ok=True)
        system32 = "C:\\windows\\system32\\"
        self.run(["reg", "add", "HKCU\\Software\\Wine\\WineDbg", "/v", "ShowCrashDialog",
                  "/t", "REG_DWORD", "/d", "0", "/f"])
        self.run(["reg", "add", "HKLM\\Software\\Microsoft\\Windows NT\\CurrentVersion\\AeDebug",
                  "/v", "Debugger", "/t", "REG_SZ", "/d",
                  f"{system32}cmd.exe /c {system32}winedbg.exe --auto %ld %ld"
                  f' >> "{windows_path(ARTIFACTS / "crashes.txt")}" 2>&1', "/f"])

    def _start_server(self):
        # Keep the server up between tests (the desktop and the services
        # would otherwise restart for every program), but not for ever should
        # this run die without its teardown.
        subprocess.run(["wineserver", "-p30"], env=self.env, timeout=30, check=True)
        # The first program starts the desktop and the services, which keep
        # the standard handles they inherit: give them none of ours.
        subprocess.run([*WINE, "cmd", "/c", "exit"], env=self.env, stdin=subprocess.DEVNULL,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, timeout=120,
                       check=False)

    @staticmethod
    def _unmanaged_windows() -> bool:
        try:
            text = (PREFIX / "user.reg").read_text(encoding="utf-8", errors="replace")
        except OSError:
            return False
        section = text.partition("[Software\\\\Wine\\\\X11 Driver]")[2].partition("\n[")[0]
        return '"Managed"="N"' in section

    def _try_lock(self) -> bool:
        try:
            fcntl.flock(self._lock, fcntl.LOCK_EX | fcntl.LOCK_NB)
            return True
        except BlockingIOError:
            return False

    def kill_server(self):
        subprocess.run(["wineserver", "-k"], env=self.env, stdout=subprocess.DEVNULL,
                       stderr=subprocess.DEVNULL, timeout=30, check=False)
        subprocess.run(["wineserver", "-w"], env=self.env, timeout=30, check=False)

    def stop(self):
        try:
            self.kill_server()
        finally:
            if self._lock:
                self._lock.close()
                self._lock = None

    def run(self, args: list[str], timeout: float = 30, check: bool = True) -> subprocess.CompletedProcess:
        """Runs a Windows console program to completion and returns its output."""
        # Files, not pipes: a process the program leaves behind cannot hold
        # the call open.
        with tempfile.TemporaryFile() as out, tempfile.TemporaryFile() as err:
            code = subprocess.run([*WINE, *args], env=self.env, stdin=subprocess.DEVNULL,
                                  stdout=out, stderr=err, timeout=timeout, check=False).returncode
            out.seek(0)
            err.seek(0)
            result = subprocess.CompletedProcess(args, code, out.read(), err.read())
        if check and result.returncode != 0:
            raise RuntimeError(f"{args[0]} {args[1:]} exited with {result.returncode}: "
                               f"{result.stderr.decode(errors='replace')[-2000:]}")
        return result


def quote_argument(arg: str) -> str:
    """One argument of a Windows command line (the C runtime's convention)."""
    if arg and not any(c in arg for c in ' \t"'):
        return arg
    out, backslashes = '"', 0
    for c in arg:
        if c == "\\":
            backslashes += 1
            continue
        out += "\\" * (2 * backslashes + 1 if c == '"' else backslashes) + c
        backslashes = 0
    return out + "\\" * (2 * backslashes) + '"'


class Probe:
    """tools/probe: the Win32 state of the windows in the prefix.

    One `probe serve` process answers every question of the run; a question
    that gets no answer in time ends it, and the next one starts a new one.
    """

    TIMEOUT = 20

    def __init__(self, wine: Wine):
        self.wine = wine
        self.exe = BIN / "probe.exe"
        self._process: subprocess.Popen | None = None
        self._lock = threading.Lock()

    def _serving(self) -> subprocess.Popen:
        if self._process is None or self._process.poll() is not None:
            if not self.exe.exists():
                raise FileNotFoundError(f"{self.exe} is not built")
            self._process = subprocess.Popen(
                [*WINE, str(self.exe), "serve"], env=self.wine.env, stdin=subprocess.PIPE,
                stdout=subprocess.PIPE, stderr=subprocess.DEVNULL)
        return self._process

    def _ask(self, line: str) -> str:
        process = self._serving()
        process.stdin.write(line.encode() + b"\n")
        process.stdin.flush()
        answer: list[bytes] = []
        reader = threading.Thread(target=lambda: answer.append(process.stdout.readline()),
                                  daemon=True)
        reader.start()
        reader.join(self.TIMEOUT)
        if not answer or not answer[0]:
            self.stop()
            raise WaitTimeout(f"the probe gave no answer to {line!r}")
        return answer[0].decode()

    def __call__(self, *args, check: bool = True):
        """Runs one probe command; with check=False a missing target gives None."""
        line = " ".join(quote_argument(str(a)) for a in args)
        with self._lock:
            answer = json.loads(self._ask(line))
        if isinstance(answer, dict) and set(answer) == {"error"}:
            if answer["error"] == 1 and not check:
                return None
            raise RuntimeError(f"probe {line} failed with status {answer['error']}")
        return answer

    def stop(self):
        if self._process:
            try:
                self._process.stdin.close()
            except OSError:
                pass
            try:
                self._process.wait(5)
            except subprocess.TimeoutExpired:
                _end(self._process)
            self._process = None

    def windows(self, class_name: str | None = None, pid: int | None = None,
                title: str | None = None) -> list[dict]:
        args = ["windows"]
        if class_name:
            args += ["--class", class_name]
        if pid is not None:
            args += ["--pid", pid]
        if title is not None:
            args += ["--title", title]
        return self(*args)

    def controls(self, hwnd: int) -> dict | None:
        return self("controls", hwnd, check=False)

    def boxes(self, pid: int | None = None) -> list[dict]:
        return self("boxes", *(["--pid", pid] if pid is not None else []))

    def post(self, hwnd: int, msg: int, wparam: int = 0, lparam: int = 0) -> bool:
        result = self("post", hwnd, hex(msg), wparam, lparam, check=False)
        return bool(result and result["posted"])

    def click(self, hwnd: int, control_id: int) -> bool:
        result = self("click", hwnd, control_id, check=False)
        return bool(result and result["posted"])

    def stats(self, hwnd: int) -> dict | None:
        return self("stats", hwnd, check=False)


def _x(display: Display, *args, timeout: float = 10, check: bool = True) -> subprocess.CompletedProcess:
    """Runs an X client (xdotool, xclip) on the display."""
    env = dict(os.environ, DISPLAY=display.name)
    result = subprocess.run(list(args), env=env, stdin=subprocess.DEVNULL, capture_output=True,
                            timeout=timeout, check=False)
    if check and result.returncode != 0:
        raise RuntimeError(f"{' '.join(args)} exited with {result.returncode}: "
                           f"{result.stderr.decode(errors='replace')[-1000:]}")
    return result


class Screen:
    """Input, screenshots and the clipboard on the X side."""

    def __init__(self, display: Display, probe: "Probe | None" = None):
        self.display = display
        self.probe = probe
        self._clipboard_owner: subprocess.Popen | None = None

    def xdotool(self, *args, timeout: float = 10) -> str:
        return _x(self.display, "xdotool", *map(str, args), timeout=timeout).stdout.decode()

    def screenshot(self, box: tuple[int, int, int, int] | None = None) -> Image.Image:
        """The screen, or the part given as (left, top, right, bottom), as RGB."""
        # The whole screen, cropped here: Pillow's own cropping of an X grab
        # fails on the second call.
        image = ImageGrab.grab(xdisplay=self.display.name).convert("RGB")
        return image.crop(box) if box else image

    def key(self, *keys: str):
        """Presses key chords in xdotool's names ("ctrl+t", "Return", "alt+F4")."""
        self.xdotool("key", "--clearmodifiers", "--delay", "30", *keys)

    def type(self, text: str):
        """Types text; each newline is the Return key, as a user ends a line."""
        for i, line in enumerate(text.split("\n")):
            if i:
                self.key("Return")
            if line:
                self.xdotool("type", "--delay", "20", "--", line, timeout=10 + len(line) * 0.1)

    def click(self, x: int, y: int, button: int = 1, repeat: int = 1):
        """Clicks at screen coordinates."""
        # No --sync: it waits for a pointer motion, and there is none when
        # the pointer already is there. The server keeps the order anyway.
        self.xdotool("mousemove", x, y, "click", "--repeat", repeat, "--delay", 80, button)

    def clipboard(self) -> str | None:
        """The X clipboard's text; None when there is none or its owner does
        not answer in time (Wine's clipboard thread can stall for seconds
        under load), so that a poll asks again."""
        try:
            result = _x(self.display, "xclip", "-selection", "clipboard", "-o", check=False,
                        timeout=5)
        except subprocess.TimeoutExpired:
            return None
        return result.stdout.decode() if result.returncode == 0 else None

    def set_clipboard(self, text: str):
        """Puts text on the clipboard, where a program pastes it from.

        From the Windows side: text an X program offers is taken in by Wine
        in rounds, on its own time, with the clipboard empty between them, so
        a paste then gets nothing and a copy made then is replaced.
        """
        self.release_clipboard()
        if self.probe:
            self.probe("set-clipboard", text.encode().hex())
            # Wine offers it to X with Unix line ends.
            wait_until(lambda: self.clipboard() == text.replace("\r\n", "\n"), 15,
                       "the clipboard to hold the text")
            return
        # -quiet keeps xclip in the foreground, serving the selection until
        # another client takes it; we own it and end it.
        env = dict(os.environ, DISPLAY=self.display.name)
        self._clipboard_owner = subprocess.Popen(
            ["xclip", "-selection", "clipboard", "-quiet", "-i"], env=env,
            stdin=subprocess.PIPE, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        self._clipboard_owner.stdin.write(text.encode())
        self._clipboard_owner.stdin.close()
        wait_until(lambda: self.clipboard() == text, 5, "the clipboard to hold the text")

    def mark_clipboard(self, text: str):
        """Puts a marker on the clipboard, so that a program's copy shows as a
        change of it."""
        self.set_clipboard(text)

    def release_clipboard(self):
        if self._clipboard_owner:
            _end(self._clipboard_owner, grace=1)
            self._clipboard_owner = None


class App:
    """One run of tolvar.exe (or another program) started through the launcher."""

    def __init__(self, wine: Wine, probe: Probe, screen: Screen, program: Path,
                 env: dict[str, str | None], appdata: Path | None, args: tuple[str, ...] = (),
                 cwd: Path | None = None, name: str = "app", wine_debug: str | None = None):
        self.wine, self.probe, self.screen = wine, probe, screen
        self.appdata = appdata
        self.cwd = cwd
        self.name = name
        self.pid: int | None = None
        self.exit_code: int | None = None
        self._hwnd: int | None = None
        self._lines: list[dict] = []
        self._lines_changed = threading.Condition()

        # Wine's "err:" lines, from this program and what it started.
        self.wine_errors: list[str] = []
        pairs = [f"{k}={'' if v is None else v}" for k, v in env.items()]
        self.process = subprocess.Popen(
            [*WINE, str(BIN / "launcher.exe"), *pairs, "--", windows_path(program), *args],
            env=dict(wine.env, WINEDEBUG=wine_debug) if wine_debug else wine.env,
            stdin=subprocess.PIPE, stdout=subprocess.PIPE,
            stderr=subprocess.PIPE, cwd=cwd)
        self._errors = b""
        self._reader = threading.Thread(target=self._read_launcher, daemon=True)
        self._reader.start()
        self._error_reader = threading.Thread(target=self._read_errors, daemon=True)
        self._error_reader.start()
        try:
            line = self._wait_line("pid", 30)
        except Exception:
            self.stop()
            raise
        self.pid = line["pid"]

    def _read_launcher(self):
        for raw in self.process.stdout:
            try:
                line = json.loads(raw)
            except ValueError:
                continue
            with self._lines_changed:
                self._lines.append(line)
                if "exit" in line:
                    self.exit_code = line["exit"]
                self._lines_changed.notify_all()
        with self._lines_changed:
            self._lines.append({"eof": True})
            self._lines_changed.notify_all()

    def _read_errors(self):
        for raw in self.process.stderr:
            if raw.startswith(b"err:"):
                self.wine_errors.append(raw.decode(errors="replace"))
            self._errors = (self._errors + raw)[-4000:]

    def _wait_line(self, key: str, timeout: float) -> dict:
        deadline = time.monotonic() + timeout
        with self._lines_changed:
            while True:
                for line in self._lines:
                    if key in line:
                        return line
                    if "eof" in line:
                        raise RuntimeError(f"the launcher ended before reporting {key!r}: "
                                           f"{self._ended_launcher()}")
                left = deadline - time.monotonic()
                if left <= 0:
                    raise WaitTimeout(f"timed out waiting for the launcher's {key!r}")
                self._lines_changed.wait(left)

    def _ended_launcher(self) -> str:
        """How the launcher ended, once its output closed: its status and its
        last errors, which its other pipe may still be carrying."""
        try:
            status = self.process.wait(10)
        except subprocess.TimeoutExpired:
            status = "still running"
        self._error_reader.join(5)
        return f"status {status}, errors {self._errors.decode(errors='replace')!r}"

    # --- the process ---------------------------------------------------------

    @property
    def running(self) -> bool:
        """True until the program itself has exited."""
        with self._lines_changed:
            return not any("exit" in line or "eof" in line for line in self._lines)

    def wait_exit(self, timeout: float = 20) -> int:
        """Waits for the program to end by itself; returns its exit status."""
        return self._wait_line("exit", timeout)["exit"]

    def stop(self):
        """Ends the program and everything it started; safe to call twice."""
        if self.process.poll() is None:
            try:
                self.process.stdin.close()  # the launcher ends its job
            except OSError:
                pass
            try:
                self.process.wait(10)
            except subprocess.TimeoutExpired:
                # Killing the launcher closes the job too.
                _end(self.process)
        self._reader.join(5)
        self._error_reader.join(5)

    # --- windows -------------------------------------------------------------

    def windows(self, class_name: str | None = None) -> list[dict]:
        """The top-level windows of this process (probe records), top first."""
        return self.probe.windows(class_name, pid=self.pid)

    def wait_window(self, class_name: str, timeout: float = 30, visible: bool = True) -> dict:
        """Waits for a top-level window of this process with that class."""
        def find():
            if not self.running:
                raise RuntimeError(f"the program exited with {self.exit_code} before a "
                                   f"{class_name} window showed")
            for w in self.windows(class_name):
                if w["visible"] or not visible:
                    return w
            return None
        return wait_until(find, timeout, f"a {class_name} window")

    def main_window(self, timeout: float = 30, visible: bool = True) -> dict:
        """The TolvarHost window of this process, waited for."""
        window = self.wait_window("TolvarHost", timeout, visible)
        self._hwnd = window["hwnd"]
        return window

    @property
    def hwnd(self) -> int:
        if self._hwnd is None:
            self.main_window()
        return self._hwnd

    def window_info(self, hwnd: int | None = None) -> dict | None:
        """A window of this process (the main one by default) as the probe sees
        it now, or None once it is gone."""
        hwnd = hwnd or self.hwnd
        return next((w for w in self.windows() if w["hwnd"] == hwnd), None)

    def client_box(self, hwnd: int | None = None) -> tuple[int, int, int, int]:
        """The client area in screen coordinates (left, top, right, bottom)."""
        info = self.window_info(hwnd)
        if not info:
            raise RuntimeError(f"window {hwnd or self.hwnd} is gone")
        return tuple(info["client"])

    def x_window(self, hwnd: int | None = None, timeout: float = 10) -> int:
        """The X window that shows a window of this process."""
        def find():
            info = self.window_info(hwnd)
            if not info:
                raise RuntimeError(f"window {hwnd or self.hwnd} is gone")
            try:
                return self._x_window_at(info)
            except RuntimeError:
                return None
        return wait_until(find, timeout, "the X window", 0.1)

    def _x_geometry(self, xid: str):
        text = _x(self.screen.display, "xdotool", "getwindowgeometry", "--shell", xid,
                  check=False).stdout.decode()
        values = dict(line.split("=", 1) for line in text.split() if "=" in line)
        try:
            return (int(values["X"]), int(values["Y"]), int(values["WIDTH"]), int(values["HEIGHT"]))
        except (KeyError, ValueError):
            return None

    def focus(self, hwnd: int | None = None):
        """Gives a window (the main one by default) the keyboard focus; there is
        no window manager to do it."""
        self.screen.xdotool("windowfocus", "--sync", self.x_window(hwnd), timeout=10)

    def post(self, msg: int, wparam: int = 0, lparam: int = 0, hwnd: int | None = None) -> bool:
        return self.probe.post(hwnd or self.hwnd, msg, wparam, lparam)

    def close(self):
        """Sends WM_CLOSE, as the window's close button does."""
        assert self.post(WM_CLOSE), "posting WM_CLOSE failed"

    def stats(self) -> dict:
        """Handle count and memory of the process (probe stats)."""
        stats = self.probe.stats(self.hwnd)
        if stats is None:
            raise RuntimeError("the probe found no process for the main window")
        return stats

    def boxes(self) -> list[dict]:
        """The message boxes this process shows."""
        return self.probe.boxes(self.pid)

    def wait_box(self, text: str | None = None, timeout: float = 15) -> dict:
        """The one message box this process shows, as {title, texts, hwnd},
        when it says `text` (any text when None)."""
        def shown():
            boxes = [b for b in self.boxes() if b["visible"]]
            return boxes[0] if len(boxes) == 1 and (text is None or text in boxes[0]["texts"]) \
                else None
        return wait_until(shown, timeout, f"a message box saying {text!r}")

    def answer_box(self, box: dict, button: int):
        """Presses a button of a message box (IDOK = 1, IDYES = 6, IDNO = 7)."""
        assert self.probe.click(box["hwnd"], button)
        wait_until(lambda: not any(b["hwnd"] == box["hwnd"] for b in self.boxes()), 10,
                   "the message box to close")

    # --- input and output ----------------------------------------------------

    def type(self, text: str, hwnd: int | None = None):
        self.focus(hwnd)
        self.screen.type(text)

    def key(self, *keys: str, hwnd: int | None = None):
        self.focus(hwnd)
        self.screen.key(*keys)

    def click(self, x: int, y: int, button: int = 1, repeat: int = 1, hwnd: int | None = None):
        """Clicks at client coordinates of a window (the main one by default)."""
        left, top, _, _ = self.client_box(hwnd)
        self.screen.click(left + x, top + y, button, repeat)

    def screenshot(self, hwnd: int | None = None) -> Image.Image:
        """The client area of a window as it shows on the screen."""
        return self.screen.screenshot(self.client_box(hwnd))

    def click_tray_icon(self, index: int = 0, button: int = 1, repeat: int = 1):
        """Clicks a notification-area icon (the first added by default).

        With no X tray, Wine's desktop shows the icons in a small window of
        its own, left to right in the order they were added.
        """
        tray = wait_until(lambda: next((w for w in self.probe.windows(TRAY_CLASS) if w["visible"]),
                                       None), 10, "Wine's tray window")
        left, top, _, bottom = tray["client"]
        size = bottom - top  # the icons are square and fill the height
        xid = self._x_window_at(tray)
        self.screen.xdotool("windowraise", xid)
        self.screen.click(left + index * size + size // 2, top + size // 2, button, repeat)

    def _x_window_at(self, info: dict) -> int:
        boxes = {(l, t, r - l, b - t) for l, t, r, b in (info["rect"], info["client"])}
        for xid in self.screen.xdotool("search", "--onlyvisible", "--name", ".*").split():
            if self._x_geometry(xid) in boxes:
                return int(xid)
        raise RuntimeError(f"no X window shows {info['class']}")

    # --- the data directory --------------------------------------------------

    @property
    def data_dir(self) -> Path:
        assert self.appdata is not None, "this run has no APPDATA"
        return self.appdata / "tolvar"

    def read_text(self, name: str) -> str | None:
        path = self.data_dir / name
        return path.read_text(encoding="utf-8") if path.exists() else None

    def read_json(self, name: str):
        text = self.read_text(name)
        return None if text is None else json.loads(text)

    def sessions(self) -> list[dict] | None:
        """The records of sessions.json, or None while there is none."""
        data = self.read_json("sessions.json")
        return None if data is None else data["sessions"]

    def wait_sessions(self, count: int, timeout: float = 45) -> list[dict]:
        """Waits until sessions.json lists exactly `count` records."""
        seen = []

        def check():
            seen[:] = [self.sessions()]
            return seen[0] is not None and len(seen[0]) == count
        try:
            wait_until(check, timeout, f"{count} session record(s)")
        except WaitTimeout as timeout_error:
            raise WaitTimeout(f"{timeout_error}; sessions.json lists {seen[0]!r}") from None
        return seen[0]


def pixel_close(actual, expected, tolerance: int = 0) -> bool:
    return all(abs(a - e) <= tolerance for a, e in zip(actual, expected))


def seed_data_dir(appdata: Path, settings: dict | None = None, files: dict[str, str] | None = None):
    """Writes a data directory before a start: settings as fresh settings with
    the given keys replaced, and any other files verbatim."""
    data = appdata / "tolvar"
    data.mkdir(parents=True, exist_ok=True)
    if settings is not None:
        merged = dict(FRESH_SETTINGS, **settings)
        (data / "settings.json").write_text(json.dumps(merged, indent=2), encoding="utf-8")
    for name, text in (files or {}).items():
        path = data / name
        path.parent.mkdir(parents=True, exist_ok=True)
        path.write_text(text, encoding="utf-8")


class StandIns:
    """Outside clients replaced by tools/recorder, in folders of one test.

    The recorder appends one JSON line per start to the file named by
    TOLVAR_RECORDER_OUT: {"program", "command_line", "args", "files"}. The
    folders reach the program through SystemRoot, ProgramFiles and
    ProgramFiles(x86), so the shared prefix is never touched.
    """

    VNC_VIEWERS = {
        "tightvnc": "TightVNC\\tvnviewer.exe",
        "realvnc": "RealVNC\\VNC Viewer\\vncviewer.exe",
        "ultravnc": "uvnc bvba\\UltraVNC\\vncviewer.exe",
    }

    def __init__(self, root: Path):
        self.recorder = BIN / "recorder.exe"
        self.root = root
        self.system_root = root / "Windows"
        self.program_files = root / "Program Files"
        self.program_files_x86 = root / "Program Files (x86)"
        self.out = root / "recorded.jsonl"
        self._env: dict[str, str] = {}

    @property
    def available(self) -> bool:
        return self.recorder.exists()

    def _install(self, path: Path) -> Path:
        if not self.available:
            raise FileNotFoundError(f"{self.recorder} is not built")
        path.parent.mkdir(parents=True, exist_ok=True)
        shutil.copyfile(self.recorder, path)
        return path

    def install_ssh(self) -> Path:
        """ssh.exe at %SystemRoot%\\System32\\OpenSSH\\ssh.exe."""
        self._env["SystemRoot"] = windows_path(self.system_root)
        return self._install(self.system_root / "System32" / "OpenSSH" / "ssh.exe")

    def install_mstsc(self) -> Path:
        """mstsc.exe in %SystemRoot%\\System32."""
        self._env["SystemRoot"] = windows_path(self.system_root)
        return self._install(self.system_root / "System32" / "mstsc.exe")

    def install_vnc(self, viewer: str = "tightvnc", x86: bool = False) -> Path:
        """A VNC viewer at its default place under ProgramFiles (or the x86 one)."""
        base = self.program_files_x86 if x86 else self.program_files
        self._env["ProgramFiles"] = windows_path(self.program_files)
        self._env["ProgramFiles(x86)"] = windows_path(self.program_files_x86)
        self.program_files.mkdir(parents=True, exist_ok=True)
        self.program_files_x86.mkdir(parents=True, exist_ok=True)
        return self._install(base / PurePosixPath(*self.VNC_VIEWERS[viewer].split("\\")))

    def env(self) -> dict[str, str]:
        """The variables to start the program with."""
        return {"TOLVAR_RECORDER_OUT": windows_path(self.out), **self._env}

    def records(self) -> list[dict]:
        if not self.out.exists():
            return []
        return [json.loads(line) for line in self.out.read_text(encoding="utf-8").splitlines() if line]

    def wait_records(self, count: int, timeout: float = 20) -> list[dict]:
        return wait_until(lambda: (r := self.records()) and len(r) >= count and r, timeout,
                          f"{count} recorded start(s)")
