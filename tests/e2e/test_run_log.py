"""The bootstrapper's own log, end to end: %TMP%\\korvana-setup_<stamp>.log, UTF-8, a
timed line per event, for a fresh install, an update and a failed install; and no log
at all, with the run unchanged, where TMP cannot take one."""

from __future__ import annotations

import datetime

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
    # Refused before anything starts: a quote would end the log path on msiexec's line.
    ("TMP with a quote", 'C:\\t\\x" TRANSFORMS=C:\\t\\y.mst', 161),
    ("TMP not a full path", "temp", 161),
])
def test_no_own_log_where_tmp_takes_none(machine, case, tmp, exit_code):  # noqa: F811
    """Without a usable TMP the run goes on exactly as before, only without its log."""
    machine.put(V13)
    result = machine.run("-silent", env={"TMP": tmp})
    if exit_code is not None:
        assert result.exit_code == exit_code
        assert machine.installed() == {} and "msiexec" not in result.launcher_stderr
    assert machine.own_logs() == []
    if exit_code is None:
        assert not machine.prefix.unix_path(tmp).exists()


def test_planted_own_log_names_are_never_written(machine):  # noqa: F811
    """Files planted under the names the next seconds' runs would take keep exactly their
    content; the run's log is created new under the first free name."""
    machine.put(V13)
    start = datetime.datetime.now()
    planted = {}
    for second in range(-1, 20):
        stamp = (start + datetime.timedelta(seconds=second)).strftime("%Y-%m-%d-%H-%M-%S")
        path = machine.tmp / f"korvana-setup_{stamp}.log"
        path.write_bytes(f"planted {stamp}\n".encode())
        planted[path] = path.read_bytes()
    result = machine.run("-silent")
    assert result.exit_code == 0
    assert all(path.read_bytes() == content for path, content in planted.items())
    [own] = [log for log in machine.own_logs() if log not in planted]
    assert own.name.endswith("_2.log")
    assert own.read_text(encoding="utf-8").splitlines()[0].endswith("arguments: -silent")
