"""End-to-end harness: runs Windows programs in a throwaway Wine prefix under Xvfb.

The pieces, from the bottom up:

``WinePrefix``
    One Xvfb display, one fresh prefix (64-bit by default, or 32-bit), one persistent
    wineserver, and our Windows-side tools (launcher.exe, uidriver.exe, regtool.exe)
    copied into it.  The prefix is a copy of a freshly booted one that the machine
    keeps (``booted_prefix_copy``; the first boot makes it), or boots.  Offers
    ``wine()`` for plain commands, path conversion (``win_path()`` /
    ``unix_path()``), registry helpers (``reg_query()``,
    ``reg_key_exists()``, ``reg_read()`` for several keys at once, ``reg_add()``,
    ``reg_delete()``), ``screenshot()`` and ``windows()``.

``WinePrefix.run(command_line, ...)`` / ``WinePrefix.start(command_line, ...)``
    Run a program with an EXACT Windows command line through launcher.exe (which
    reports the full 32-bit exit code: `wine` alone truncates 1603 to 67).  ``run``
    waits and returns a ``Result``; ``start`` returns a ``Running`` to interact with
    while the program is alive: ``wait_box(caption)`` -> ``Box``, ``box.press(IDNO)``,
    then ``wait()`` -> ``Result``.  Every box or dialog met through ``wait_box`` /
    ``wait_window`` is screenshot into the artefact folder.  ``unattended=True`` runs
    it on a window station without a display, as a deployment agent's service does.

``SetupFolder``
    A fresh folder inside the prefix (``C:\\t\\<name>\\``) holding a copy of
    korvana-setup.exe; packages are put beside it by the tests (``add_file()``).
    ``run_setup(args)`` and ``start_setup(args)`` run the bootstrapper from there.

Paths: Windows paths are plain ``str`` (``C:\\t\\x\\korvana-setup.exe``); Unix paths
are ``pathlib.Path``.  Texts read from windows are ``str`` with real line feeds and
tabs.  Nothing here sleeps for a fixed time: waiting is done by polling inside
uidriver.exe, or on process ends.
"""

from __future__ import annotations

import hashlib
import itertools
import os
import re
import shutil
import subprocess
import tempfile
import threading
import time
from dataclasses import dataclass
from pathlib import Path
from typing import Mapping, Optional, Sequence, Union

# Button and control ids of message boxes (winuser.h).
IDOK, IDCANCEL, IDABORT, IDRETRY, IDIGNORE, IDYES, IDNO = 1, 2, 3, 4, 5, 6, 7
MESSAGE_BOX_TEXT_ID = 0xFFFF  # the static control holding a message box's text
MESSAGE_BOX_ICON_ID = 1088  # Wine's icon control in a message box (hidden without icon)
DIALOG_CLASS = "#32770"

REPO_ROOT = Path(__file__).resolve().parents[2]
TOOLS = ("launcher.exe", "uidriver.exe", "regtool.exe", "msgbox.exe")
TOOLS_DIR_WIN = "C:\\korvana-e2e\\tools"
SCRATCH_DIR_WIN = "C:\\korvana-e2e\\scratch"
OWN_LOG_PREFIX = "korvana-setup_"  # the bootstrapper's own log: %TMP%\korvana-setup_<stamp>.log

DEFAULT_RUN_TIMEOUT = 60.0  # seconds a program may run before the harness gives up
DEFAULT_BOX_TIMEOUT = 30.0  # seconds to wait for a window to appear
LAUNCHER_GRACE = 60.0  # the launcher's own limit exceeds the harness's by this much


def _resource_ids() -> dict[str, int]:
    """The program's dialog and control ids by their names in src/resources/resource_ids.h,
    the header korvana.rc is compiled with: one ``#define IDx_NAME <number>`` a line."""
    header = REPO_ROOT / "src" / "resources" / "resource_ids.h"
    found = re.findall(r"^#define (ID\w+) (\d+)$", header.read_text(encoding="utf-8"), re.M)
    return {name: int(value) for name, value in found}


RESOURCE_IDS = _resource_ids()

# uidriver commands that change nothing on screen (see tests/tools/uidriver.c).
READ_ONLY_UIDRIVER_COMMANDS = frozenset({"list", "find", "texts", "gone", "iconhash", "rect"})


class HarnessError(AssertionError):
    """Something in the Wine environment did not behave; the message says what."""


def build_dir() -> Path:
    """The MinGW build folder: $KORVANA_BUILD_DIR, else build/win32 under the repo."""
    return Path(os.environ.get("KORVANA_BUILD_DIR", REPO_ROOT / "build" / "win32")).resolve()


def artefacts_root() -> Path:
    """Where screenshots go: $KORVANA_ARTEFACTS, else build/e2e-artefacts."""
    return Path(os.environ.get("KORVANA_ARTEFACTS", REPO_ROOT / "build" / "e2e-artefacts")).resolve()


def windows_command_line(args: Sequence[str]) -> str:
    """Joins arguments with the quoting that CommandLineToArgvW undoes ('' -> "")."""
    return subprocess.list2cmdline(list(args))


def _unescape(field_text: str) -> str:
    """Undoes the \\\\, \\t, \\n, \\r, \\0 escapes of uidriver and regtool output."""
    return re.sub(r"\\(.)", lambda m: {"t": "\t", "n": "\n", "r": "\r", "0": "\0"}.get(m.group(1), m.group(1)), field_text)


def _safe_name(text: str, limit: int = 60) -> str:
    """A file-name-safe form of a caption or test name (letters of any script kept)."""
    name = re.sub(r"[^\w.-]+", "_", text, flags=re.UNICODE).strip("_")
    return name[:limit] or "untitled"


def _hex(text: str) -> str:
    return text.encode("utf-8").hex()


# --------------------------------------------------------------------------- results


@dataclass
class Result:
    """The outcome of a program run through launcher.exe.

    exit_code   the full 32-bit GetExitCodeProcess value (None if it never ended)
    stdout      what the program wrote to stdout and stderr, decoded as UTF-8
    stdout_bytes  the same, undecoded
    pid         the Windows process id of the program
    timed_out   True when the harness had to terminate it
    launcher_stderr  launcher's own report lines (for diagnosis)
    """

    exit_code: Optional[int]
    stdout: str
    stdout_bytes: bytes
    pid: Optional[int]
    timed_out: bool = False
    launcher_stderr: str = ""

    @property
    def stdout_lines(self) -> list[str]:
        return self.stdout.splitlines()


@dataclass
class Control:
    """One child control of a window, as uidriver.exe reads it."""

    hwnd: int
    id: int
    cls: str
    enabled: bool
    visible: bool
    check: Optional[int]  # 0/1/2 for check boxes and radio buttons, else None
    style: int
    size: tuple[int, int]  # width, height in pixels
    image: Optional[bool]  # icon/bitmap statics: whether they hold a picture
    text: str


@dataclass
class WindowInfo:
    """A top-level window: handle, owning process, visibility, owner window (0 for
    none), extended style, class, caption."""

    hwnd: int
    pid: int
    visible: bool
    owner: int
    exstyle: int
    cls: str
    caption: str


def _parse_records(output: str) -> tuple[list[WindowInfo], list[Control]]:
    windows: list[WindowInfo] = []
    controls: list[Control] = []
    for line in output.splitlines():
        fields = line.split("\t")
        if fields[0] == "window" and len(fields) == 8:
            windows.append(WindowInfo(int(fields[1], 16), int(fields[2]), fields[3] == "1",
                                      int(fields[4], 16), int(fields[5], 16),
                                      _unescape(fields[6]), _unescape(fields[7])))
        elif fields[0] == "control" and len(fields) == 11:
            width, height = (int(n) for n in fields[8].split("x"))
            controls.append(Control(int(fields[1], 16), int(fields[2]), _unescape(fields[3]),
                                    fields[4] == "1", fields[5] == "1",
                                    None if fields[6] == "-" else int(fields[6]),
                                    int(fields[7], 16), (width, height),
                                    None if fields[9] == "-" else fields[9] == "1",
                                    _unescape(fields[10])))
    return windows, controls


@dataclass
class RegKey:
    """A registry key as regtool.exe read it: its values as {name: (type, data)} (see
    ``WinePrefix.reg_query``) and the names of its subkeys."""

    values: dict
    subkeys: list[str]


@dataclass
class Box:
    """A dialog or message box found on screen, with its controls as read when found.

    ``text`` is a message box's text (the static control 65535); ``buttons`` the ids
    of its visible push buttons, in ascending order; ``has_icon`` whether it shows an
    icon (which one: compare ``icon_hash()`` with a reference box's); ``topmost``
    whether it has WS_EX_TOPMOST (Wine 8 ignores MB_TOPMOST); ``owner`` the owner window's handle (0: none, see
    ``owner_window()``).  ``screenshot`` is the PNG taken when the box was found.
    """

    prefix: "WinePrefix"
    hwnd: int
    pid: int
    cls: str
    caption: str
    owner: int
    exstyle: int
    controls: list[Control]
    screenshot: Optional[Path] = None

    @property
    def topmost(self) -> bool:
        return bool(self.exstyle & 0x8)  # WS_EX_TOPMOST

    def owner_window(self) -> Optional[WindowInfo]:
        """The owner window (hidden ones included), or None for an unowned box."""
        if not self.owner:
            return None
        return self.prefix.window(self.owner)

    @property
    def text(self) -> Optional[str]:
        control = self.control(MESSAGE_BOX_TEXT_ID)
        return control.text if control else None

    @property
    def buttons(self) -> list[int]:
        return sorted(c.id for c in self.controls
                      if c.cls.lower() == "button" and c.visible and c.check is None
                      and (c.style & 0xF) in (0, 1))  # BS_PUSHBUTTON, BS_DEFPUSHBUTTON

    @property
    def has_icon(self) -> bool:
        # Wine keeps the icon control of a box without icon, empty.
        control = self.control(MESSAGE_BOX_ICON_ID)
        return bool(control and control.visible and control.image)

    def control(self, control_id: int) -> Optional[Control]:
        """The control with that id, or None."""
        return next((c for c in self.controls if c.id == control_id), None)

    def press(self, control_id: int) -> None:
        """Clicks a button (BM_CLICK, like a mouse click). Fails if it is disabled."""
        self.prefix.uidriver("press", f"hwnd:{self.hwnd:x}", str(control_id), expect=0)

    def set_check(self, control_id: int, checked: bool) -> None:
        """Clicks a check box or radio button unless it already has that state."""
        self.prefix.uidriver("check", f"hwnd:{self.hwnd:x}", str(control_id),
                             "1" if checked else "0", expect=0)

    def refresh(self) -> "Box":
        """Reads the controls again (after a press that changes the dialog)."""
        windows, controls = _parse_records(
            self.prefix.uidriver("-a", "texts", f"hwnd:{self.hwnd:x}", expect=0).stdout)
        self.controls = controls
        return self

    def icon_hash(self) -> str:
        """A hash of the box's icon pixels on screen, to compare with a reference box."""
        output = self.prefix.uidriver("iconhash", f"hwnd:{self.hwnd:x}", expect=0).stdout
        return output.split("\t")[3].strip()

    def rect(self) -> tuple[int, int, int, int]:
        """Where the window lies on the screen, frame and caption bar included:
        (left, top, width, height) in pixels."""
        output = self.prefix.uidriver("rect", f"hwnd:{self.hwnd:x}", expect=0).stdout
        fields = output.split("\t")
        if fields[0] != "rect" or len(fields) != 5:
            raise HarnessError(f"uidriver rect output not understood (a stale build of tests/tools?): "
                               f"{output!r}")
        left, top, width, height = (int(f) for f in fields[1:])
        return left, top, width, height

    def draw_active(self) -> bool:
        """Has the window draw its caption bar as the active window's, as Windows shows
        the window in front (Wine without a window manager draws it inactive);
        False when its thread did not answer in time."""
        return self.prefix.uidriver("active", f"hwnd:{self.hwnd:x}").returncode == 0

    def wait_closed(self, timeout: float = DEFAULT_BOX_TIMEOUT) -> None:
        """Waits until the window has gone."""
        self.prefix.uidriver("-a", "-w", str(int(timeout * 1000)), "gone", f"hwnd:{self.hwnd:x}",
                             expect=0)


# --------------------------------------------------------------------------- prefix


class Artefacts:
    """Numbered screenshots of one test: <root>/<test>/<n>-<caption>.png."""

    def __init__(self, folder: Path):
        self.folder = folder
        shutil.rmtree(folder, ignore_errors=True)
        self._counter = itertools.count(1)

    def next_path(self, label: str) -> Path:
        self.folder.mkdir(parents=True, exist_ok=True)
        return self.folder / f"{next(self._counter):02d}-{_safe_name(label)}.png"


# ---- booted prefixes kept for the next boots

# Bump when WinePrefix._boot_afresh changes what a boot writes: the copies made by the
# old steps are then left unused (and go after PREFIX_COPY_UNUSED_DAYS).
PREFIX_BOOT_STEPS = 1
PREFIX_COPY_UNUSED_DAYS = 7


def booted_prefix_copy(arch: str) -> Optional[Path]:
    """Where this machine keeps a copy of a freshly booted ``arch`` prefix (it may not
    exist yet), or None where none is kept.

    $KORVANA_PREFIX_CACHE names the folder (default: ~/.cache/korvana/wine-prefixes,
    under $XDG_CACHE_HOME when set); 0 or off keeps none, so every prefix boots.  The
    copies are filed under Wine's version and its wineserver's file (a new package
    installs a new one) and PREFIX_BOOT_STEPS; Wine itself brings a prefix up to date
    when its files are newer than the prefix, as after any upgrade.
    """
    setting = os.environ.get("KORVANA_PREFIX_CACHE", "")
    if setting.lower() in ("0", "off", "no", "false"):
        return None
    if setting:
        base = Path(setting)
    else:
        cache_home = os.environ.get("XDG_CACHE_HOME") or (Path.home() / ".cache")
        base = Path(cache_home) / "korvana" / "wine-prefixes"
    server = shutil.which("wineserver")
    if server is None:
        return None
    try:
        version = subprocess.run(["wine", "--version"], capture_output=True, text=True,
                                 timeout=60).stdout.strip()
        binary = Path(server).resolve()
        stat = binary.stat()
    except (OSError, subprocess.SubprocessError):
        return None
    key = f"{version}|{binary}|{stat.st_size}|{stat.st_mtime_ns}|{PREFIX_BOOT_STEPS}"
    return base / hashlib.sha256(key.encode("utf-8")).hexdigest()[:16] / arch


def _copy_prefix(source: Path, target: Path) -> bool:
    """Copies a kept prefix to ``target`` (which must not exist); False, and nothing
    left behind, when there is none or the copy failed."""
    if not source.is_dir():
        return False
    completed = subprocess.run(["cp", "-a", "--reflink=auto", str(source), str(target)],
                               stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, timeout=600)
    if completed.returncode != 0:
        shutil.rmtree(target, ignore_errors=True)
        return False
    try:
        os.utime(source.parent)  # in use: not to be cleared away as unused
    except OSError:
        pass
    return True


def _keep_prefix(source: Path, kept: Path) -> None:
    """Keeps a copy of a freshly booted prefix (its server ended) at ``kept`` for the
    next boots, and clears away copies unused for PREFIX_COPY_UNUSED_DAYS.  Another
    process may be doing the same: the copy appears whole or not at all, and the first
    one stays.  Failing costs only the next boots' time."""
    base = kept.parent.parent
    try:
        kept.parent.mkdir(parents=True, exist_ok=True)
        limit = time.time() - PREFIX_COPY_UNUSED_DAYS * 86400
        for other in base.iterdir():
            if other != kept.parent and other.is_dir() and other.stat().st_mtime < limit:
                shutil.rmtree(other, ignore_errors=True)
        # Half-made copies of a process that was killed while copying.
        for other in kept.parent.glob(".*"):
            if other.stat().st_mtime < time.time() - 86400:
                shutil.rmtree(other, ignore_errors=True)
        if kept.exists():
            return
        partial = Path(tempfile.mkdtemp(prefix=f".{kept.name}-", dir=kept.parent)) / "prefix"
        try:
            completed = subprocess.run(["cp", "-a", "--reflink=auto", str(source), str(partial)],
                                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                                       timeout=600)
            if completed.returncode == 0:
                os.rename(partial, kept)
        except OSError:
            pass  # another process kept its copy first
        finally:
            shutil.rmtree(partial.parent, ignore_errors=True)
    except (OSError, subprocess.SubprocessError):
        pass


def keep_booted_prefixes(arches: Sequence[str]) -> None:
    """Boots a prefix of each architecture that this machine keeps no copy of yet, and
    keeps it (scripts/test-all runs this while the builds run: wineboot spends most of
    its time waiting)."""
    for arch in arches:
        kept = booted_prefix_copy(arch)
        if kept is None or kept.is_dir():
            continue
        prefix = WinePrefix(Path(tempfile.mkdtemp(prefix=f"korvana-e2e-{arch}-")), arch)
        try:
            prefix._start_xvfb()
            prefix._boot_afresh()
            _keep_prefix(prefix.path, kept)
        finally:
            prefix.close()


class WinePrefix:
    """A fresh Wine prefix on its own Xvfb display, with one wineserver kept alive.

    Create with ``WinePrefix.create(arch)``; end with ``close()``.  ``env`` is the
    environment every Wine command of this prefix runs with; ``artefacts`` is set per
    test by the fixtures (screenshots land there).
    """

    def __init__(self, root: Path, arch: str):
        self.root = root
        self.arch = arch
        self.path = root / "prefix"
        self.display: Optional[str] = None
        self._xvfb: Optional[subprocess.Popen] = None
        self._desktop_user: Optional[subprocess.Popen] = None
        self._server_started = False
        self._scratch = itertools.count(1)
        self.artefacts: Optional[Artefacts] = None
        self.env = dict(os.environ)
        for name in ("WINEARCH", "WINELOADER", "WINESERVER", "WINEDLLPATH"):
            self.env.pop(name, None)
        self.env.update({
            "WINEPREFIX": str(self.path),
            "WINEDEBUG": "-all",
            # No Mono or Gecko installer prompts.
            "WINEDLLOVERRIDES": "mscoree,mshtml=",
            # wine turns Unix arguments into Windows ones through the locale.
            "LANG": "C.UTF-8",
            "LC_ALL": "C.UTF-8",
        })
        if arch == "win32":
            self.env["WINEARCH"] = "win32"

    # ---- life cycle

    @classmethod
    def create(cls, arch: str = "win64", tools_from: Optional[Path] = None) -> "WinePrefix":
        """Starts Xvfb, makes the prefix (wineboot -i), installs our tools into it."""
        root = Path(tempfile.mkdtemp(prefix=f"korvana-e2e-{arch}-"))
        prefix = cls(root, arch)
        try:
            prefix._start_xvfb()
            prefix._boot()
            prefix._install_tools(tools_from or build_dir())
            prefix._start_desktop()
        except BaseException:
            prefix.close()
            raise
        return prefix

    def _start_xvfb(self) -> None:
        # -displayfd lets the server pick a free display number and tell us which.
        read_end, write_end = os.pipe()
        self._xvfb = subprocess.Popen(
            ["Xvfb", "-displayfd", str(write_end), "-screen", "0", "1024x768x24", "-nolisten", "tcp"],
            pass_fds=(write_end,), stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
            start_new_session=True)
        os.close(write_end)
        with os.fdopen(read_end) as pipe:
            number = pipe.readline().strip()
        if not number:
            raise HarnessError("Xvfb did not report a display number")
        self.display = f":{number}"
        self.env["DISPLAY"] = self.display

    def _boot(self) -> None:
        # A copy of the prefix that an earlier boot on this machine left, with this Wine
        # and these steps (see booted_prefix_copy): the same files, in a few seconds
        # instead of the 15-20 that wineboot takes.
        kept = booted_prefix_copy(self.arch)
        if kept is None or not _copy_prefix(kept, self.path):
            self._boot_afresh()
            if kept is not None:
                _keep_prefix(self.path, kept)
        # One server for the whole session: every wine command then attaches to it
        # instead of starting (and shutting down) its own.
        subprocess.run(["wineserver", "-p"], env=self.env, check=True, timeout=60)
        self._server_started = True

    def _boot_afresh(self) -> None:
        """wineboot in an empty folder; ends with the server gone and the files written."""
        self.path.mkdir()
        subprocess.run(["wineserver", "-p"], env=self.env, check=True, timeout=60)
        self._server_started = True
        subprocess.run(["wineboot", "-i"], env=self.env, check=True, timeout=300,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        # A virtual desktop: Wine then draws title bars itself, so screenshots show
        # captions even without a window manager.  wineboot has already started the
        # desktop without it, so the prefix's processes are ended (a new server then
        # starts them with it).
        self.reg_add("HKCU\\Software\\Wine\\Explorer", "Desktop", "Default")
        self.reg_add("HKCU\\Software\\Wine\\Explorer\\Desktops", "Default", "1024x768")
        for args in (["-k"], ["-w"]):
            subprocess.run(["wineserver", *args], env=self.env, timeout=60,
                           stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        self._server_started = False

    def _install_tools(self, source: Path) -> None:
        missing = [tool for tool in TOOLS if not (source / tool).is_file()]
        if missing:
            raise HarnessError(f"{', '.join(missing)} not found in {source}; build the win32 tree "
                               f"or set KORVANA_BUILD_DIR")
        tools = self.unix_path(TOOLS_DIR_WIN)
        tools.mkdir(parents=True, exist_ok=True)
        for tool in TOOLS:
            shutil.copy2(source / tool, tools / tool)
        self.unix_path(SCRATCH_DIR_WIN).mkdir(parents=True, exist_ok=True)

    def _start_desktop(self) -> None:
        # The first program that needs the desktop starts explorer.exe as its own Unix
        # child, in its process group and with its output pipes: bring the desktop up
        # now, detached, so that no later run shares anything with it.
        subprocess.run(["wine", f"{TOOLS_DIR_WIN}\\uidriver.exe", "list"], env=self.env,
                       timeout=120, stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                       stderr=subprocess.DEVNULL, start_new_session=True)
        # The server closes a desktop one second after its last user has gone, and the
        # next program then starts a new explorer.exe as its own child (inside its
        # launcher's job, holding its pipes); a run that raced that start was seen
        # stuck in ShowWindow for good. One idle user keeps the desktop up for the
        # whole session: a wait for a window that never comes (ended by close()).
        self._desktop_user = subprocess.Popen(
            ["wine", f"{TOOLS_DIR_WIN}\\uidriver.exe", "-w", "4000000000", "find",
             "hex:" + _hex("korvana-e2e: keeps the desktop")], env=self.env,
            stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
            start_new_session=True)

    def close(self) -> None:
        """Ends every process of the prefix, the server and Xvfb; deletes the prefix."""
        if self._server_started:
            subprocess.run(["wineserver", "-k"], env=self.env, timeout=60,
                           stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
            subprocess.run(["wineserver", "-w"], env=self.env, timeout=60,
                           stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
            self._server_started = False
        if self._desktop_user is not None:
            self._desktop_user.kill()
            self._desktop_user.wait()
            self._desktop_user = None
        if self._xvfb is not None:
            self._xvfb.terminate()
            try:
                self._xvfb.wait(timeout=10)
            except subprocess.TimeoutExpired:
                self._xvfb.kill()
                self._xvfb.wait()
            self._xvfb = None
        shutil.rmtree(self.root, ignore_errors=True)

    # ---- paths

    @property
    def drive_c(self) -> Path:
        return self.path / "drive_c"

    def unix_path(self, win_path: str) -> Path:
        """The Unix path of a C:\\ path; existing components are matched ignoring case,
        as Windows does."""
        if not re.match(r"^[cC]:\\", win_path):
            raise ValueError(f"not a C:\\ path: {win_path!r}")
        path = self.drive_c
        for part in [p for p in win_path[3:].split("\\") if p]:
            exact = path / part
            if not exact.exists() and path.is_dir():
                match = next((entry for entry in path.iterdir() if entry.name.lower() == part.lower()), None)
                exact = match if match is not None else exact
            path = exact
        return path

    def win_path(self, unix_path: Union[str, Path]) -> str:
        """The C:\\ path of a file inside the prefix's drive_c."""
        relative = Path(unix_path).resolve().relative_to(self.drive_c.resolve())
        return "C:\\" + "\\".join(relative.parts)

    # ---- plain wine commands

    def wine(self, *args: str, timeout: float = 60, check: bool = False,
             env: Optional[Mapping[str, str]] = None) -> subprocess.CompletedProcess:
        """Runs `wine args...` and captures stdout/stderr as text (UTF-8).

        Beware: `wine` quotes each argument on its own and truncates exit codes to
        8 bits; use ``run()`` for anything whose exact command line or code matters.
        """
        run_env = dict(self.env, **(env or {}))
        completed = subprocess.run(["wine", *args], env=run_env, capture_output=True, timeout=timeout)
        completed = subprocess.CompletedProcess(completed.args, completed.returncode,
                                                completed.stdout.decode("utf-8", "replace"),
                                                completed.stderr.decode("utf-8", "replace"))
        if check and completed.returncode != 0:
            raise HarnessError(f"wine {' '.join(args)} failed with {completed.returncode}: "
                               f"{completed.stdout}{completed.stderr}")
        return completed

    def uidriver(self, *args: str, expect: Optional[int] = None,
                 timeout: float = 120) -> subprocess.CompletedProcess:
        """Runs uidriver.exe (see tests/tools/uidriver.c for commands and output).

        With ``expect``, an exit code other than that one raises HarnessError.
        """
        try:
            completed = self.wine(f"{TOOLS_DIR_WIN}\\uidriver.exe", *args, timeout=timeout)
        except subprocess.TimeoutExpired:
            # Its output pipe stays open when it had to start a new explorer.exe
            # (which inherits it); the desktop user of _start_desktop prevents that,
            # but a prefix whose session was ended starts afresh. A command that only
            # reads is asked once more; one that acts is not repeated.
            if not READ_ONLY_UIDRIVER_COMMANDS.intersection(args):
                raise
            completed = self.wine(f"{TOOLS_DIR_WIN}\\uidriver.exe", *args, timeout=timeout)
        if expect is not None and completed.returncode != expect:
            meaning = {1: "no such window", 2: "usage", 3: "no such control",
                       4: "the control refused (disabled, hidden or no reply)"}
            raise HarnessError(f"uidriver {' '.join(args)}: exit {completed.returncode} "
                               f"({meaning.get(completed.returncode, 'failed')}); windows now: "
                               f"{self.windows()}")
        return completed

    def windows(self, include_hidden: bool = False) -> list[WindowInfo]:
        """The top-level windows of the prefix's desktop (visible ones by default)."""
        args = ["-a", "list"] if include_hidden else ["list"]
        return _parse_records(self.uidriver(*args).stdout)[0]

    def window(self, hwnd: int) -> Optional[WindowInfo]:
        """A window by handle, hidden or not; None once it has gone."""
        completed = self.uidriver("-a", "-w", "0", "find", f"hwnd:{hwnd:x}")
        windows = _parse_records(completed.stdout)[0] if completed.returncode == 0 else []
        return windows[0] if windows else None

    def screenshot(self, label: str) -> Optional[Path]:
        """Saves the whole screen as the test's next artefact; returns its path."""
        if self.artefacts is None:
            return None
        path = self.artefacts.next_path(label)
        subprocess.run(["import", "-display", self.display, "-window", "root", str(path)],
                       timeout=60, check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        return path

    # ---- registry

    def reg_query(self, key: str, view: Optional[int] = None) -> Optional[dict]:
        """The values of a key as {name: (type, data)}, or None when the key is absent.

        Texts come back as str (REG_MULTI_SZ items joined by "\\0"), REG_DWORD and
        REG_QWORD as int, anything else as bytes.  The default value has the name "".
        ``view`` 32 or 64 picks the registry view (KEY_WOW64_32KEY / _64KEY).
        """
        found = self.reg_read([(key, view)])[0]
        return None if found is None else found.values

    def reg_subkeys(self, key: str, view: Optional[int] = None) -> Optional[list[str]]:
        """The names of a key's subkeys, or None when the key is absent."""
        found = self.reg_read([(key, view)])[0]
        return None if found is None else found.subkeys

    def reg_read(self, keys: Sequence[tuple[str, Optional[int]]]) -> list[Optional[RegKey]]:
        """Several keys, each (key, view) as for ``reg_query``, in one regtool run (one
        Wine process start, the larger part of a read's cost): a RegKey for each, or
        None where the key is absent."""
        args = []
        for key, view in keys:
            args += [f"-{view}", key] if view else [key]
        completed = self.wine(f"{TOOLS_DIR_WIN}\\regtool.exe", *args)
        if completed.returncode not in (0, 1):
            raise HarnessError(f"regtool {' '.join(args)}: exit {completed.returncode}")
        found: list[Optional[RegKey]] = []
        for line in completed.stdout.splitlines():
            fields = line.split("\t")
            if fields[0] == "key":
                found.append(RegKey({}, []) if fields[2] == "1" else None)
            elif fields[0] == "value" and found and found[-1] is not None:
                name, kind, data = _unescape(fields[1]), fields[2], fields[3]
                if kind in ("REG_SZ", "REG_EXPAND_SZ", "REG_MULTI_SZ", "REG_LINK"):
                    found[-1].values[name] = (kind, _unescape(data))
                elif kind in ("REG_DWORD", "REG_QWORD"):
                    found[-1].values[name] = (kind, int(data))
                else:
                    found[-1].values[name] = (kind, bytes.fromhex(data))
            elif fields[0] == "subkey" and found and found[-1] is not None:
                found[-1].subkeys.append(_unescape(fields[1]))
        if len(found) != len(keys):
            raise HarnessError(f"regtool output not understood (a stale build of tests/tools?): "
                               f"{completed.stdout!r}")
        return found

    def reg_key_exists(self, key: str, view: Optional[int] = None) -> bool:
        return self.reg_query(key, view) is not None

    def reg_add(self, key: str, name: Optional[str] = None, data: Union[str, int, None] = None,
                kind: str = "REG_SZ", view: Optional[int] = None) -> None:
        """Creates a key, and with ``name`` sets a value (``wine reg add``)."""
        args = ["reg", "add", key, "/f"]
        if name is not None:
            args += ["/ve"] if name == "" else ["/v", name]
            if data is not None:
                args += ["/t", kind, "/d", str(data)]
        if view:
            args.append(f"/reg:{view}")
        self.wine(*args, check=True)

    def reg_delete(self, key: str, name: Optional[str] = None, view: Optional[int] = None) -> bool:
        """Deletes a key (with its subkeys) or one value; False when it was not there."""
        args = ["reg", "delete", key, "/f"]
        if name is not None:
            args += ["/ve"] if name == "" else ["/v", name]
        if view:
            args.append(f"/reg:{view}")
        return self.wine(*args).returncode == 0

    # ---- running programs through launcher.exe

    def _prepare_launch(self, command_line: str, env: Optional[Mapping[str, Optional[str]]],
                        cwd: Optional[str], timeout: float, unattended: bool) -> list[str]:
        scratch = f"{SCRATCH_DIR_WIN}\\{next(self._scratch)}"
        scratch_unix = self.unix_path(scratch)
        scratch_unix.mkdir(parents=True, exist_ok=True)
        # Written as bytes: the command line must arrive exactly, with no newline added.
        (scratch_unix / "cmdline.txt").write_bytes(command_line.encode("utf-8"))
        # The launcher's own limit is only a backstop for a harness that died: the
        # harness gives up first, so that it can screenshot what blocked the run.
        args = [f"{TOOLS_DIR_WIN}\\launcher.exe", "-f", f"{scratch}\\cmdline.txt",
                "-t", str(int((timeout + LAUNCHER_GRACE) * 1000))]
        if env:
            lines = []
            for name, value in env.items():
                if "\n" in name or (value is not None and "\n" in value):
                    raise ValueError("environment values cannot hold line feeds")
                lines.append(f"-{name}" if value is None else f"{name}={value}")
            (scratch_unix / "env.txt").write_bytes(("\n".join(lines) + "\n").encode("utf-8"))
            args += ["-e", f"{scratch}\\env.txt"]
        if cwd:
            args += ["-d", cwd]
        if unattended:
            args.append("-u")
        return args

    def start(self, command_line: str, *, env: Optional[Mapping[str, Optional[str]]] = None,
              cwd: Optional[str] = None, timeout: float = DEFAULT_RUN_TIMEOUT,
              unix_env: Optional[Mapping[str, str]] = None, unattended: bool = False) -> "Running":
        """Starts a program with an exact Windows command line; returns at once.

        command_line  the whole command line, program included, byte for byte
        env           changes to the program's Windows environment: {"TMP": None}
                      removes TMP, {"X": "1"} sets X
        cwd           the program's current folder (Windows path)
        timeout       seconds after which the program and its children are terminated
        unix_env      changes to the Unix environment of the `wine` process; Wine's
                      locale comes from LC_ALL, which the prefix sets to C.UTF-8
                      (this machine has no other UTF-8 locale: see `locale -a`)
        unattended    on a window station of its own without WSF_VISIBLE, as a
                      deployment agent's service runs it (launcher -u): no window
                      there is ever seen, by a user or by uidriver, so a box waits
                      until ``timeout`` ends the run
        """
        args = self._prepare_launch(command_line, env, cwd, timeout, unattended)
        run_env = dict(self.env, **(unix_env or {}))
        process = subprocess.Popen(["wine", *args], env=run_env, stdout=subprocess.PIPE,
                                   stderr=subprocess.PIPE, start_new_session=True)
        return Running(self, process, command_line, timeout)

    def run(self, command_line: str, *, env: Optional[Mapping[str, Optional[str]]] = None,
            cwd: Optional[str] = None, timeout: float = DEFAULT_RUN_TIMEOUT,
            unix_env: Optional[Mapping[str, str]] = None, unattended: bool = False) -> Result:
        """Runs a program with an exact Windows command line and waits for its end.

        Arguments as for ``start()``.  The program must not show a window of its own
        (windows of other processes, such as an installer's progress, are fine): as
        soon as it does, the harness screenshots the screen, terminates the program
        and raises HarnessError naming the window.  (An unattended run's windows
        cannot be seen: a box there shows as a run terminated at ``timeout``.)
        """
        return self.start(command_line, env=env, cwd=cwd, timeout=timeout, unix_env=unix_env,
                          unattended=unattended).wait(fail_on_window=True)


class Running:
    """A program started through launcher.exe that is still (possibly) running.

    Use as a context manager: leaving the block terminates the program if it is still
    alive (for instance when an assertion failed mid-dialogue).
    """

    def __init__(self, prefix: WinePrefix, process: subprocess.Popen, command_line: str, timeout: float):
        self.prefix = prefix
        self.process = process
        self.command_line = command_line
        self.timeout = timeout
        self.boxes: list[Box] = []
        self._stdout = bytearray()
        self._stderr = bytearray()
        self._pid: Optional[int] = None
        self._pid_known = threading.Event()
        self._result: Optional[Result] = None
        self._readers = [threading.Thread(target=self._read_stdout, daemon=True),
                         threading.Thread(target=self._read_stderr, daemon=True)]
        for reader in self._readers:
            reader.start()

    def _read_stdout(self) -> None:
        for chunk in iter(lambda: self.process.stdout.read1(65536), b""):
            self._stdout += chunk

    def _read_stderr(self) -> None:
        for line in self.process.stderr:
            self._stderr += line
            # Searched, not matched: Wine's own diagnostics of the child (a process
            # that used WinINet may say "wine client error:<tid>: sendmsg: ..." as it
            # ends, in two writes) share this pipe and can precede our line.
            match = re.search(rb"launcher: pid (\d+)", line)
            if match:
                self._pid = int(match.group(1))
                self._pid_known.set()
        self._pid_known.set()

    @property
    def pid(self) -> Optional[int]:
        """The program's Windows process id (waits until the launcher has said it)."""
        self._pid_known.wait(timeout=self.timeout)
        return self._pid

    def wait_window(self, caption: Optional[str], *, cls: Optional[str] = None,
                    any_process: bool = False, timeout: float = DEFAULT_BOX_TIMEOUT) -> Box:
        """Waits for a visible top-level window of this program with that exact caption
        (None: any caption) and, if given, that class; screenshots it; returns it.

        any_process: accept the window from any process (installers, script host).
        """
        args = ["-w", str(int(timeout * 1000))]
        if cls:
            args += ["-c", cls]
        if not any_process:
            if self.pid is None:
                raise HarnessError(f"the program did not start: {self._stderr.decode(errors='replace')}")
            args += ["-p", str(self.pid)]
        selector = "*" if caption is None else f"hex:{_hex(caption)}"
        completed = self.prefix.uidriver(*args, "texts", selector)
        if completed.returncode != 0:
            shot = self.prefix.screenshot(f"missing-{caption}")
            state = "still running" if self.process.poll() is None else "ended"
            if state == "ended":
                for reader in self._readers:
                    reader.join(timeout=5)
                state += (f" (launcher said {self._stderr.decode('utf-8', 'replace')[-2000:]!r}, "
                          f"printed {bytes(self._stdout).decode('utf-8', 'replace')!r})")
            state += self._own_log_tail()
            raise HarnessError(f"no window {caption!r} (class {cls}) within {timeout}s; program "
                               f"{state}; windows now: {self.prefix.windows()}; screenshot {shot}")
        windows, controls = _parse_records(completed.stdout)
        if not windows:
            raise HarnessError(f"uidriver output not understood (a stale build of tests/tools?): "
                               f"{completed.stdout!r}")
        window = windows[0]
        box = Box(self.prefix, window.hwnd, window.pid, window.cls, window.caption, window.owner,
                  window.exstyle, controls)
        box.screenshot = self.prefix.screenshot(window.caption)
        self.boxes.append(box)
        return box

    def _own_log_tail(self) -> str:
        """The end of the newest bootstrapper log in the prefix, to say how far a run got."""
        logs = sorted(self.prefix.drive_c.glob(f"t/**/{OWN_LOG_PREFIX}*.log"), key=lambda p: p.stat().st_mtime)
        if not logs:
            return "; no bootstrapper log"
        return f"; its log {logs[-1].name} ends: {logs[-1].read_text('utf-8', 'replace')[-1500:]!r}"

    def wait_box(self, caption: str, *, any_process: bool = False,
                 timeout: float = DEFAULT_BOX_TIMEOUT) -> Box:
        """Waits for a message box or dialog (class #32770) with that exact caption."""
        return self.wait_window(caption, cls=DIALOG_CLASS, any_process=any_process, timeout=timeout)

    def wait(self, timeout: Optional[float] = None, *, fail_on_window: bool = False) -> Result:
        """Waits for the program's end and returns its Result.

        If it is still running after ``timeout`` (default: the run's own limit), the
        screen is saved, the program and its children are terminated, and
        HarnessError is raised naming the windows that were open.  With
        ``fail_on_window``, the same happens as soon as the program itself shows any
        window (a box in a run that should show none), instead of at the time limit.
        """
        if self._result is not None:
            return self._result
        limit = self.timeout if timeout is None else timeout
        watcher = None
        if fail_on_window and self.pid is not None:
            watcher = subprocess.Popen(
                ["wine", f"{TOOLS_DIR_WIN}\\uidriver.exe", "-p", str(self.pid), "-w",
                 str(int(limit * 1000)), "find", "*"],
                env=self.prefix.env, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL)
        deadline = time.monotonic() + limit
        try:
            while True:
                try:
                    self.process.wait(timeout=0.2 if watcher else max(0.0, deadline - time.monotonic()))
                    break
                except subprocess.TimeoutExpired:
                    if watcher is not None and watcher.poll() == 0:
                        shown = _parse_records(watcher.stdout.read().decode("utf-8", "replace"))[0]
                        self._abandon(f"showed a window it should not: {shown}", "unexpected-window")
                    if time.monotonic() >= deadline:
                        self._abandon(f"still ran after {limit}s and was terminated")
        finally:
            if watcher is not None:
                if watcher.poll() is None:
                    watcher.kill()
                watcher.wait()
                watcher.stdout.close()
        for reader in self._readers:
            reader.join(timeout=30)
        stderr = self._stderr.decode("utf-8", "replace")
        match = re.search(r"launcher: exit-code (\d+)", stderr)  # see _read_stderr
        timed_out = "launcher: timeout" in stderr
        self._result = Result(int(match.group(1)) if match else None,
                              bytes(self._stdout).decode("utf-8", "replace"), bytes(self._stdout),
                              self._pid, timed_out, stderr)
        if timed_out:
            raise HarnessError(f"{self.command_line!r} still ran after {self.timeout}s and was "
                               f"terminated; stdout so far: {self._result.stdout!r}")
        if match is None:
            raise HarnessError(f"launcher gave no exit code for {self.command_line!r}: {stderr!r}")
        return self._result

    def _abandon(self, why: str, label: str = "timeout") -> None:
        windows = self.prefix.windows()
        shot = self.prefix.screenshot(label)
        self.kill()
        raise HarnessError(f"{self.command_line!r} {why}; windows: {windows}; screenshot {shot}")

    def kill(self) -> None:
        """Ends the launcher; its job object takes the program and its children along."""
        # Only the launcher's own Unix process: its process group may also hold Wine
        # system processes that it happened to start.
        if self.process.poll() is None:
            self.process.kill()
            self.process.wait()

    def __enter__(self) -> "Running":
        return self

    def __exit__(self, kind, value, traceback) -> None:
        if self.process.poll() is None:
            if kind is None:
                self.wait()
            else:
                self.prefix.screenshot("left-running")
                self.kill()


# --------------------------------------------------------------------------- setup folder


class SetupFolder:
    """A fresh folder in the prefix with a copy of korvana-setup.exe in it.

    win / unix     the folder's Windows and Unix paths
    exe_win        the Windows path of the copied korvana-setup.exe
    """

    EXE = "korvana-setup.exe"

    def __init__(self, prefix: WinePrefix, win: str, exe_source: Path):
        self.prefix = prefix
        self.win = win.rstrip("\\")
        self.unix = prefix.unix_path(self.win)
        shutil.rmtree(self.unix, ignore_errors=True)
        self.unix.mkdir(parents=True)
        shutil.copy2(exe_source, self.unix / self.EXE)
        self.exe_win = f"{self.win}\\{self.EXE}"

    def add_file(self, source: Union[str, Path], name: Optional[str] = None, subfolder: str = "") -> Path:
        """Copies a file beside the executable (or into a subfolder); returns its path."""
        target_dir = self.unix / subfolder if subfolder else self.unix
        target_dir.mkdir(parents=True, exist_ok=True)
        target = target_dir / (name or Path(source).name)
        shutil.copy2(source, target)
        return target

    def command_line(self, args: Union[str, Sequence[str], None] = None, quote_exe: bool = True) -> str:
        """The bootstrapper's command line: the quoted program path, then ``args``.

        ``args`` as a str is the exact tail after one blank; a sequence is quoted
        argument by argument (an empty string becomes ""); None gives no tail.
        """
        exe = f'"{self.exe_win}"' if quote_exe else self.exe_win
        if args is None:
            return exe
        tail = args if isinstance(args, str) else windows_command_line(args)
        return f"{exe} {tail}"

    def run_setup(self, args: Union[str, Sequence[str], None] = None, *,
                  env: Optional[Mapping[str, Optional[str]]] = None, cwd: Optional[str] = None,
                  timeout: float = DEFAULT_RUN_TIMEOUT, unix_env: Optional[Mapping[str, str]] = None,
                  unattended: bool = False) -> Result:
        """Runs the bootstrapper to its end (see WinePrefix.run); cwd defaults to the folder."""
        return self.prefix.run(self.command_line(args), env=env, cwd=cwd or self.win, timeout=timeout,
                               unix_env=unix_env, unattended=unattended)

    def start_setup(self, args: Union[str, Sequence[str], None] = None, *,
                    env: Optional[Mapping[str, Optional[str]]] = None, cwd: Optional[str] = None,
                    timeout: float = DEFAULT_RUN_TIMEOUT, unix_env: Optional[Mapping[str, str]] = None,
                    unattended: bool = False) -> Running:
        """Starts the bootstrapper for a dialogue (see WinePrefix.start)."""
        return self.prefix.start(self.command_line(args), env=env, cwd=cwd or self.win, timeout=timeout,
                                 unix_env=unix_env, unattended=unattended)


if __name__ == "__main__":
    import argparse
    import signal
    import sys

    parser = argparse.ArgumentParser(description="Boots and keeps a prefix of each given "
                                     "architecture that this machine keeps no copy of yet.")
    parser.add_argument("arch", nargs="+", choices=("win64", "win32"))
    arguments = parser.parse_args()
    # Ended by a signal, the prefix and its Xvfb still go (close() in a finally).
    signal.signal(signal.SIGTERM, lambda *_: sys.exit(1))
    keep_booted_prefixes(arguments.arch)
