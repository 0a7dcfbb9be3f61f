"""The bootstrapper's own log, end to end: %TMP%\\korvana-setup_<stamp>.log, UTF-8, a
timed line per event, for a fresh install, an update and a failed install; and no log
at all, with the run unchanged, where TMP cannot take one."""

from __future__ import annotations

import pytest

from test_plugin_install import V12, V13, V13_FAILS_QUIETLY, V14, machine  # noqa: F401


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
        "its exit code: 0", "installed: Korvana EDS Browser plug-in 2.0.13", "no restart needed",
        "exit code 0"]),
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
    events = machine.own_log_events()
    assert in_order(events, expected), "\n".join(events)
    assert events[-1] == f"exit code {exit_code}"
    assert any(e.startswith("Windows NT ") and e.endswith(", package architecture x64") for e in events)
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
