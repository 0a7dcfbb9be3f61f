"""Hostile packages, command lines and environments, end to end: every run must end
(the harness's time limit catches a hang, its window watch a crash box or a box in a
silent run) with a code the README documents, and nothing may be installed from a
package that could not be read.

Each row is run with "-silent" and, where the run has something to say, also
interactively: then every box must come in order with its exact text, and is answered.
The machine starts without test products each time (the `machine` fixture); a row
may install an older version first.

What Wine does here, as found (Wine 8):
  * msi.dll copies a package into the temporary folder to open it, so an unusable TMP
    fails the package's first read, like a damaged package: 1627.
  * msiexec goes on without its log when the log cannot be created (Windows' ends
    with 1622).  A TMP longer than MAX_PATH is passed over by GetTempPath, so the
    package still opens.
  * Wine does not keep the read-only attribute on a folder (Windows keeps it but does
    not stop writes into the folder either); running as root, no Unix mode stops one.
"""

from __future__ import annotations

import re
from dataclasses import dataclass, field
from pathlib import Path
from typing import Callable, Optional

import pytest

import msi_packages as msi
from test_bootstrap import HELP_CAPTION, HELP_TEXT
from test_plugin_install import (  # noqa: F401 - machine is a fixture
    ERROR_CAPTION,
    INSTALL_FAILED,
    INSTALL_QUESTION,
    NEWER_INSTALLED,
    NO_PRODUCT_CODE,
    PLUGIN_CAPTION,
    UPDATE_CAPTION,
    V12,
    V13,
    Machine,
    machine,
)
from wine_harness import IDNO, IDOK, IDYES

VERSION_UNREADABLE = "Невозможно узнать версию нового msi-пакета."

# Exit codes met here beyond those of the other tables.
PACKAGE_INVALID = 1620  # a package without ProductCode, or without ProductVersion to compare
UNOPENABLE = msi.ERROR_FUNCTION_FAILED  # Wine's answer for a package it cannot open (1627)
NEWER = 1638
UPDATE_DECLINED = 1

LONG = 32000  # characters: near the 32,767 of a Windows command line or variable


def variant(name: str, **properties: Optional[str]) -> msi.PackageSpec:
    """Version 2.0.13 with Property table rows changed (None: removed)."""
    return msi.plugin_package("2.0.13", variant=name, properties=tuple(properties.items()))


def failed(code: int) -> tuple[str, str, int]:
    # No log was named before these failures, so the box names none.
    return (PLUGIN_CAPTION, f"{INSTALL_FAILED}: {code}.\n", IDOK)


def unreadable(code: int) -> tuple:
    return ((ERROR_CAPTION, NO_PRODUCT_CODE, IDOK), failed(code))


def write(name: str, data: Callable[[], bytes]) -> Callable[[Path], None]:
    return lambda folder: (folder / name).write_bytes(data())


def five_thousand_files(folder: Path) -> None:
    for n in range(5000):
        (folder / f"file-{n:04}.dat").write_bytes(b"")


def read_only_tmp(machine: Machine) -> str:
    machine.prefix.wine("cmd", "/c", "attrib", "+r", machine.tmp_win, check=True)
    return machine.tmp_win


@dataclass(frozen=True)
class Row:
    id: str
    exit: int  # of the silent run
    left: str  # "nothing" (no test product), "old" (what was installed), "new" (package)
    package: Optional[msi.PackageSpec] = None  # a real package beside the executable
    name: Optional[str] = None  # its file name, if not its own
    subfolder: str = ""
    files: Optional[Callable[[Path], None]] = None  # hostile files beside the executable
    installed: Optional[msi.PackageSpec] = None  # installed before the run
    tail: str = ""  # the command line after "-silent"
    tmp: Optional[Callable[[Machine], str]] = None  # TMP, if not the machine's own
    log: bool = False  # the installer's log lies in the machine's TMP
    logged: dict = field(default_factory=dict)  # properties that log must show
    boxes: Optional[tuple] = None  # interactive: the boxes after the first question
    interactive_exit: Optional[int] = None
    silent_boxes: tuple = ()  # boxes even a silent run shows (the help)


def first_half_of_v13() -> bytes:
    data = msi.build_package(V13).read_bytes()
    return data[:len(data) // 2]


TRUNCATED = write("sivetcom-x64.msi", first_half_of_v13)
JUNK_ARGS = " ".join(["junk"] * (LONG // 5))
HUGE_SIVET_ARGS = '-SivetArgs "/qn KORVANA_EXTRA=' + "x" * (LONG - 31) + '"'
NAME_10K = "N" * 10000

ROWS = [
    # Packages that cannot be opened: nothing installed, nothing run.
    Row("zero-byte package", UNOPENABLE, "nothing", files=write("sivetcom-x64.msi", bytes),
        boxes=unreadable(UNOPENABLE), interactive_exit=UNOPENABLE),
    Row("text file as package", UNOPENABLE, "nothing",
        files=write("sivetcom-x64.msi", lambda: b"This is not an installer package.\r\n" * 40),
        boxes=unreadable(UNOPENABLE), interactive_exit=UNOPENABLE),
    Row("package cut in half", UNOPENABLE, "nothing", files=TRUNCATED,
        boxes=unreadable(UNOPENABLE), interactive_exit=UNOPENABLE),
    Row("zero-byte package, older version installed", UNOPENABLE, "old", installed=V12,
        files=write("sivetcom-x64.msi", bytes), boxes=unreadable(UNOPENABLE),
        interactive_exit=UNOPENABLE),
    # Packages with missing or outlandish properties.
    Row("no ProductCode", PACKAGE_INVALID, "nothing", package=variant("no-code", ProductCode=None),
        boxes=unreadable(PACKAGE_INVALID), interactive_exit=PACKAGE_INVALID),
    Row("no ProductVersion, older version installed", PACKAGE_INVALID, "old", installed=V12,
        package=variant("no-version", ProductVersion=None),
        boxes=((ERROR_CAPTION, VERSION_UNREADABLE, IDOK), failed(PACKAGE_INVALID)),
        interactive_exit=PACKAGE_INVALID),
    # With nothing installed no version is compared: Windows Installer decides (Wine's
    # installs it).
    Row("no ProductVersion, nothing installed", 0, "new", package=variant("no-version", ProductVersion=None),
        log=True),
    # Compared by its first four fields; a field beyond 64 bits saturates and the
    # packed comparison wraps, so "2.0.111...1" counts as older than 2.0.12. A silent
    # run installs over a newer version anyway.
    Row("ProductVersion of 300 characters", 0, "new", installed=V12,
        package=variant("version-300", ProductVersion="2.0." + "1" * 296), log=True,
        boxes=((UPDATE_CAPTION, NEWER_INSTALLED, IDOK),), interactive_exit=NEWER),
    Row("ProductVersion 1.2.3.4.5.6", 0, "new", installed=V12,
        package=variant("version-6", ProductVersion="1.2.3.4.5.6"), log=True,
        boxes=((UPDATE_CAPTION, NEWER_INSTALLED, IDOK),), interactive_exit=NEWER),
    Row("ProductName of 10,000 characters", 0, "new", installed=V12,
        package=variant("name-10k", ProductName=NAME_10K), log=True,
        boxes=((UPDATE_CAPTION, f"Будет произведено обновление {NAME_10K} 2.0.12 до версии 2.0.13. Обновить?",
                IDNO),), interactive_exit=UPDATE_DECLINED),
    Row("UpgradeCode of 10,000 characters", 0, "new", package=variant("upgrade-10k", UpgradeCode="U" * 10000),
        log=True),
    # Where the package lies and what it is called.
    Row("5,000 files beside the executable, package one level down", 0, "new", package=V13,
        subfolder="pkgs", files=five_thousand_files, log=True),
    Row("non-ASCII package name", 0, "new", package=V13, name="sivetcom-x64-рус.msi", log=True),
    # Command lines.
    Row("-SivetArgs of 32,000 characters", 0, "new", package=V13, tail=HUGE_SIVET_ARGS, log=True,
        logged={"KORVANA_EXTRA": "x" * (LONG - 31)}),
    # Not an option: the help, even in a silent run (as documented), and nothing else.
    Row("32,000 characters of junk", 0, "nothing", package=V13, tail=JUNK_ARGS,
        silent_boxes=((HELP_CAPTION, HELP_TEXT, IDOK),)),
    # The open quote runs to the end: "/qn" is the value (UILevel 2: no interface).
    Row("unbalanced quote", 0, "new", package=V13, tail='-SivetArgs "/qn', log=True,
        logged={"UILevel": "2"}),
    # TMP.
    Row("TMP names no folder", UNOPENABLE, "nothing", package=V13,
        tmp=lambda m: f"{m.folder.win}\\no such folder", boxes=unreadable(UNOPENABLE),
        interactive_exit=UNOPENABLE),
    Row("TMP with the read-only attribute", 0, "new", package=V13, tmp=read_only_tmp,
        log=True),
    Row("TMP of 32,000 characters", 0, "new", package=V13, tmp=lambda m: "C:\\" + "t" * (LONG - 3)),
]


def lay_out(machine: Machine, row: Row) -> None:
    if row.installed:
        machine.install(row.installed)
    if row.files:
        row.files(machine.folder.unix)
    if row.package:
        machine.put(row.package, row.subfolder, row.name)


def play(machine: Machine, tail: Optional[str], env: dict, boxes) -> int:
    """Runs the bootstrapper, answers `boxes` in order, and allows no other box."""
    with machine.start(tail, env=env) as run:
        for caption, text, answer in boxes:
            box = run.wait_box(caption)
            assert box.text == text
            box.press(answer)
        return run.wait(fail_on_window=True).exit_code


def expected_products(row: Row) -> dict[str, str]:
    if row.left == "old":
        return {row.installed.product_code: row.installed.version}
    if row.left == "new":
        version = dict(row.package.properties).get("ProductVersion", row.package.version)
        return {row.package.product_code: version or ""}
    return {}


@pytest.mark.parametrize("row", ROWS, ids=[row.id for row in ROWS])
def test_hostile_input(machine, row):
    lay_out(machine, row)
    env = machine.env(**({"TMP": row.tmp(machine)} if row.tmp else {}))
    # Interactive first: none of these dialogues changes what is installed.
    if row.boxes is not None:
        boxes = ((PLUGIN_CAPTION, INSTALL_QUESTION, IDYES),) + row.boxes
        assert play(machine, row.tail or None, env, boxes) == row.interactive_exit
        assert machine.installed() == ({row.installed.product_code: row.installed.version}
                                       if row.installed else {})
    assert play(machine, f"-silent {row.tail}".strip(), env, row.silent_boxes) == row.exit
    assert machine.installed() == expected_products(row)
    package_name = row.name or "sivetcom-x64.msi"
    logs = [log.name for log in machine.tmp.glob("sivetcom*.log")]
    if row.log:
        assert len(logs) == 1 and re.fullmatch(re.escape(package_name) + r"_\d{4}(-\d\d){5}\.log", logs[0])
        properties = msi.log_properties(msi.read_log(machine.tmp / logs[0]))
        assert {name: properties.get(name) for name in row.logged} == row.logged
    else:
        assert logs == []
    # The hostile input itself is left as it was found.
    if row.package:
        placed = machine.folder.unix / row.subfolder / package_name
        assert placed.read_bytes() == msi.build_package(row.package).read_bytes()
