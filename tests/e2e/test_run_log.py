"""The bootstrapper's own log, end to end: %TMP%\\korvana-setup_<stamp>.log, UTF-8, a
timed line per event, for a fresh install, an update and a failed install; and no log
at all, with the run unchanged, where TMP cannot take one."""

from __future__ import annotations

import re

import pytest

from test_plugin_install import STAMP, V12, V13, V13_FAILS_QUIETLY, V14, machine  # noqa: F401
from wine_harness import OWN_LOG_PREFIX

TIMED = re.compile(r"\d\d:\d\d:\d\d\.\d{3} (.*)")


def own_log_lines(machine) -> list[str]:  # noqa: F811
    """The one own log of the run: its name checked, its events without their times."""
    [log] = machine.own_logs()
    assert STAMP.fullmatch(log.name[len(OWN_LOG_PREFIX):-len(".log")]), log.name
    text = log.read_bytes().decode("utf-8")
    # Kept beside the screenshots, for a person to read.
    if machine.prefix.artefacts is not None:
        machine.prefix.artefacts.folder.mkdir(parents=True, exist_ok=True)
        (machine.prefix.artefacts.folder / log.name).write_text(text, encoding="utf-8")
    events = []
    for line in text.splitlines():
        match = TIMED.fullmatch(line)
        assert match, f"not a timed line: {line!r}"
        events.append(match.group(1))
    return events


def in_order(events: list[str], expected: list[str]) -> bool:
    """Whether each expected piece begins some event, in this order."""
    at = 0
    for piece in expected:
        while at < len(events) and not events[at].startswith(piece):
            at += 1
        if at == len(events):
            return False
    return True


MSIEXEC_RUN = 'run: "C:\\windows\\system32\\msiexec.exe" /i "'


@pytest.mark.parametrize("case,installed,package,exit_code,expected", [
    ("fresh install", None, V13, 0, [
        "korvana-setup 1.0.0.0, arguments: -silent", "options: silent;", "Windows NT ",
        "found C:\\t\\", "ProductCode: {", "decision: fresh installation", MSIEXEC_RUN,
        "its exit code: 0", "no restart needed", "exit code 0"]),
    ("update", V12, V14, 0, [
        "related product: {", "installed version: 2.0.12", "ProductVersion: 2.0.14",
        "decision: update", MSIEXEC_RUN, "its exit code: 0", "exit code 0"]),
    ("failed install", None, V13_FAILS_QUIETLY, 1627, [
        "decision: fresh installation", MSIEXEC_RUN, "its exit code: 1627",
        "exit code 1627"]),
])
def test_own_log_of_a_silent_run(machine, case, installed, package, exit_code, expected):  # noqa: F811
    if installed is not None:
        machine.install(installed)
    machine.put(package)
    result = machine.run("-silent")
    assert result.exit_code == exit_code
    events = own_log_lines(machine)
    assert in_order(events, expected), "\n".join(events)
    # The standard output still carries the installer log's stamp line alone.
    assert [line for line in result.stdout_lines if line] == [
        log.name.rsplit("_", 1)[1][:-len(".log")] for log in machine.logs()]


@pytest.mark.parametrize("case,tmp,exit_code", [
    ("TMP unset", None, 203),
    ("TMP names no folder", "C:\\no\\such\\folder", None),
])
def test_no_own_log_where_tmp_takes_none(machine, case, tmp, exit_code):  # noqa: F811
    """Without a usable TMP the run goes on exactly as before, only without its log."""
    machine.put(V13)
    result = machine.run("-silent", env={"TMP": tmp})
    if exit_code is not None:
        assert result.exit_code == exit_code
    assert machine.own_logs() == []
    if tmp is not None:
        assert not machine.prefix.unix_path(tmp).exists()
