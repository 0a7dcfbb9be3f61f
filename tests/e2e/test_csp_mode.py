"""CSP mode end to end: the CSP's setup program (a stand-in that records how it was
started and ends with a chosen code) runs first from the folder "csp" of the current
directory, with its composed command line and log, then the plug-in is installed; the
configuration dialog chooses the CSP's KC level and language."""

from __future__ import annotations

from typing import Optional

import pytest

from browser_offer import STUB, TRUST_E_BAD_DIGEST, read_stub_runs, tamper
from test_completion_dialog import MESSAGE
from test_plugin_install import (  # noqa: F401 - machine is a fixture
    BROWSER_BOX,
    COMPLETION_CAPTION,
    RESTART_BOX,
    STAMP,
    TRUST_E_NOSIGNATURE,
    TRUST_E_SUBJECT_NOT_TRUSTED,
    V13,
    V13_RESTART,
    check_line,
    machine,
)
from wine_harness import IDCANCEL, IDOK, RESOURCE_IDS, build_dir

CSP_CAPTION = "Установка Корвана"
CONFIG_CAPTION = "CSPSetup"
NEXT, OPTIONS, RUSSIAN, ENGLISH, KC1, KC2, KC3 = (RESOURCE_IDS[f"IDC_{name}"] for name in (
    "NEXT", "OPTIONS", "RUSSIAN", "ENGLISH", "KC1", "KC2", "KC3"))
WELCOME = (RESOURCE_IDS["IDC_WELCOME_GROUP"], RESOURCE_IDS["IDC_WELCOME_TEXT"])
OPTIONS_PANEL = (RUSSIAN, ENGLISH, KC1, KC2, KC3, RESOURCE_IDS["IDC_LANGUAGE_GROUP"],
                 RESOURCE_IDS["IDC_KC_GROUP"])
FIXED = " -root -restartkorvctrl -disablerm -skipinstallvalidate "
CSP_FAILED = "В процессе установки Корвана CSP возникла ошибка"
INSTALLED_CSP = ("Корвана ЭЦП Browser plug-in и CSP успешно установлены.\nДля корректной работы "
                 "Корвана ЭЦП Browser plug-in и CSP может потребоваться перезапустить браузер.")
INSTALLED_CSP_RESTART = ("Корвана ЭЦП Browser plug-in и CSP успешно установлены.\nДля корректной "
                         "работы Корвана ЭЦП Browser plug-in и CSP необходимо перезагрузить компьютер.")


class Csp:
    """The stand-in CSP setup program beside the bootstrapper, and what it recorded."""

    def __init__(self, machine):  # noqa: F811
        self.machine = machine
        self.record_win = f"{machine.folder.win}\\csp-runs.txt"

    def put(self, program: bool = True, where: str = "", signed_by: Optional[str] = None,
            tampered: bool = False) -> None:
        """Makes the folder "csp" beside the bootstrapper (or in its subfolder `where`),
        with Setup.exe in it unless ``program`` is false: signed by ``signed_by`` (a
        publisher of the test PKI) when given, and then one byte of its code changed
        when ``tampered``."""
        csp = f"{where}/csp" if where else "csp"
        (self.machine.folder.unix / csp).mkdir(parents=True, exist_ok=True)
        if program and signed_by is None:
            self.machine.folder.add_file(build_dir() / STUB, name="Setup.exe", subfolder=csp)
        elif program:
            signed = self.machine.sign(build_dir() / STUB, self.machine.folder.unix / csp / "Setup.exe",
                                       signed_by)
            if tampered:
                tamper(signed)

    def fixed(self, where: str = "") -> str:
        """The line's start: the setup program's full path, quoted, and the fixed options."""
        folder = f"{self.machine.folder.win}\\{where}" if where else self.machine.folder.win
        return f'"{folder}\\csp\\Setup.exe"{FIXED}'

    def env(self, exit_code: int = 0) -> dict:
        return self.machine.env(KORVANA_STUB_RECORD=self.record_win, KORVANA_STUB_EXIT=str(exit_code))

    def runs(self):
        return read_stub_runs(self.machine.prefix.unix_path(self.record_win))

    def command_lines(self) -> list[str]:
        return [run.command_line for run in self.runs()]

    def log_switch(self, stamp: str) -> str:
        return f'/Lv """{self.machine.tmp_win}\\csp_{stamp}.log""" '


@pytest.fixture
def csp(machine):  # noqa: F811
    return Csp(machine)


def stamps(result) -> list[str]:
    return [line for line in result.stdout_lines if STAMP.fullmatch(line)]


# --------------------------------------------------------------------------- silent runs


def test_silent_csp_then_plugin(machine, csp):  # noqa: F811
    csp.put()
    machine.put(V13)
    result = machine.run('-csp -silent -KC kc2 -Lang eng -CSPArgs "PROP=1"', env=csp.env())
    assert result.exit_code == 0
    # Two log names, the CSP's first; the stand-in got exactly the composed line.
    csp_stamp = stamps(result)[0]
    assert csp.command_lines() == [
        f'{csp.fixed()}-kc kc2 -lang eng -args "/qb {csp.log_switch(csp_stamp)}PROP=1 " -noreboot -silent']
    assert csp.runs()[0].cwd.rstrip("\\").lower() == machine.folder.win.lower()
    assert machine.version(V13) == "2.0.13"


@pytest.mark.parametrize("exit_code,setup,expected,plugin", [
    (0, "csp", 0, True),
    (3, "csp", 0, True),
    (4, "csp", 0, True),
    (1602, "csp", 0, True),
    (3010, "csp", 3010, False),
    (1603, "csp", 1603, False),
    (None, "no csp folder", 0, True),
    (None, "csp folder, no Setup.exe", 2, False),  # ERROR_FILE_NOT_FOUND
    # Looked for beside the executable, then in the current directory, never on PATH:
    # a user's folder on an elevated administrator's PATH brings no program in.
    (0, "only on PATH", 0, True),
    (0, "only in the current directory", 0, True),
])
def test_silent_csp_exit_codes(machine, csp, exit_code, setup, expected, plugin):  # noqa: F811
    env = csp.env(exit_code or 0)
    options = {}
    if setup in ("csp", "csp folder, no Setup.exe"):
        csp.put(program=setup == "csp")
    elif setup == "only on PATH":
        csp.put(where="onpath")
        env["PATH"] = f"{machine.folder.win}\\onpath;C:\\windows\\system32;C:\\windows"
    elif setup == "only in the current directory":
        csp.put(where="medium")
        options["cwd"] = f"{machine.folder.win}\\medium"
    machine.put(V13)
    result = machine.run("-csp -silent", env=env, **options)
    assert result.exit_code == expected
    started = setup in ("csp", "only in the current directory")
    assert len(csp.runs()) == (1 if started else 0)
    if started:  # by its full path
        where = "medium" if setup == "only in the current directory" else ""
        assert csp.command_lines()[0].startswith(csp.fixed(where))
    assert (machine.version(V13) == "2.0.13") == plugin


@pytest.mark.parametrize("signed_by,tampered,expected", [
    ("publisher", False, 0),
    (None, False, TRUST_E_NOSIGNATURE),
    ("other_publisher", False, TRUST_E_SUBJECT_NOT_TRUSTED),
    ("publisher", True, TRUST_E_BAD_DIGEST),  # a program's digest, Wine does check
])
def test_a_pinned_build_starts_only_its_publishers_setup_program(machine, csp, signed_by, tampered,  # noqa: F811
                                                                 expected):
    machine.pin()
    csp.put(signed_by=signed_by, tampered=tampered)
    machine.put(V13, signed_by="publisher")
    result = machine.run("-csp -silent", env=csp.env())
    assert result.exit_code == expected
    setup = f"{machine.folder.win}\\csp\\Setup.exe"
    checks = machine.package_checks()
    if expected:
        assert (csp.runs(), machine.version(V13)) == ([], None)
        [check] = checks
        # The signer Wine reads from a file whose digest is wrong is not looked at.
        assert check.startswith(check_line(setup, expected, signed_by if not tampered else None))
        return
    [run] = csp.runs()
    # Held from its check until it had ended: it could neither be renamed nor written over.
    assert run.tampering == "rename refused, overwrite refused"
    assert checks == [check_line(setup, 0, "publisher"),
                      check_line(f"{machine.folder.win}\\sivetcom-x64.msi", 0, "publisher")]
    assert machine.version(V13) == "2.0.13"


def test_unattended_csp_shows_no_dialog_and_no_installer_interface(machine, csp):  # noqa: F811
    csp.put()
    machine.put(V13)
    result = machine.run("-csp -selectDlg", env=csp.env(), unattended=True, timeout=120)
    assert (result.exit_code, result.timed_out) == (0, False)
    [line] = csp.command_lines()
    assert line.startswith(f'{csp.fixed()}-args "/qn /Lv ') and line.endswith('" -noreboot -silent')
    assert machine.version(V13) == "2.0.13"


@pytest.mark.parametrize("logdir", ["logs\\new\\nested", "{folder}\\collected logs"])
def test_logdir_holds_every_log_without_tmp(machine, csp, logdir):  # noqa: F811
    csp.put()
    machine.put(V13)
    logdir = logdir.format(folder=machine.folder.win)
    full = logdir if ":" in logdir else f"{machine.folder.win}\\{logdir}"
    result = machine.run(f'-csp -silent -logdir "{logdir}"', env=csp.env() | {"TMP": None})
    assert result.exit_code == 0
    folder = machine.prefix.unix_path(full)
    [csp_stamp, plugin_stamp] = stamps(result)
    names = sorted(path.name for path in folder.iterdir())
    assert names[0].startswith("korvana-setup_") and f"sivetcom-x64.msi_{plugin_stamp}.log" in names
    # The CSP's log is named there too; the stand-in writes none.
    assert f'/Lv """{full}\\csp_{csp_stamp}.log"""' in csp.command_lines()[0]
    own = (folder / names[0]).read_text(encoding="utf-8").splitlines()
    assert own[0].endswith(f"arguments: -csp -silent -logdir \"{logdir}\"")  # from its first line
    assert any(line.endswith(f"log folder: {full}") for line in own)


def test_logdir_that_cannot_be_made_ends_the_run_first(machine, csp):  # noqa: F811
    csp.put()
    machine.put(V13)
    (machine.folder.unix / "blocker").write_text("a file where a folder should go")
    result = machine.run("-csp -silent -logdir blocker\\logs", env=csp.env())
    assert result.exit_code == 3  # ERROR_PATH_NOT_FOUND
    assert csp.runs() == [] and machine.version(V13) is None
    assert machine.own_log_events()[-2:] == ["log folder blocker\\logs: error 3", "exit code 3"]


def test_interactive_failure_box(machine, csp):  # noqa: F811
    csp.put()
    machine.put(V13)
    with machine.start("-csp", env=csp.env(3010)) as run:
        box = run.wait_box(CSP_CAPTION)
        # The stand-in writes no log, so the box names none.
        assert box.text == f"{CSP_FAILED}: 3010.\n"
        assert box.buttons == [IDOK] and box.has_icon
        box.press(IDOK)
        assert run.wait().exit_code == 3010
    assert machine.version(V13) is None


# --------------------------------------------------------------------------- interactive


@pytest.mark.parametrize("package,text,restart", [
    (V13, INSTALLED_CSP, 0),
    (V13_RESTART, INSTALLED_CSP_RESTART, 1),
])
def test_interactive_csp_ends_in_the_completion_dialog(machine, csp, package, text, restart):  # noqa: F811
    csp.put()
    machine.put(package)
    with machine.start("-csp", env=csp.env()) as run:
        dialog = run.wait_box(COMPLETION_CAPTION)
        assert dialog.control(MESSAGE).text == text
        assert dialog.control(RESTART_BOX).check == restart
        dialog.set_check(RESTART_BOX, False)
        dialog.set_check(BROWSER_BOX, False)
        dialog.press(IDOK)
        assert run.wait().exit_code == 0
    assert len(csp.runs()) == 1


def visible(dialog, ids) -> set:
    return {i for i in ids if dialog.control(i).visible}


@pytest.mark.parametrize("locale,preselected", [("C.UTF-8", ENGLISH), ("ru_RU.UTF-8", RUSSIAN)])
def test_configuration_dialog_choice_reaches_the_csp(machine, csp, locale, preselected):  # noqa: F811
    csp.put()
    machine.put(V13)
    with machine.start("-csp -KC x -selectDlg", env=csp.env(),
                       unix_env={"LC_ALL": locale, "LANG": locale}) as run:
        dialog = run.wait_box(CONFIG_CAPTION)
        # The welcome panel first, the language of the interface and KC1 chosen.
        assert visible(dialog, WELCOME + OPTIONS_PANEL) == set(WELCOME)
        assert dialog.control(OPTIONS).text == "Опции"
        assert {i for i in (RUSSIAN, ENGLISH, KC1, KC2, KC3) if dialog.control(i).check} == {preselected, KC1}
        dialog.press(OPTIONS)
        dialog.refresh()
        assert visible(dialog, WELCOME + OPTIONS_PANEL) == set(OPTIONS_PANEL)
        assert dialog.control(OPTIONS).text == "Скрыть"
        machine.prefix.screenshot("options panel")
        dialog.set_check(KC3, True)
        dialog.set_check(ENGLISH if preselected == RUSSIAN else RUSSIAN, True)
        dialog.press(OPTIONS)
        dialog.refresh()
        assert visible(dialog, WELCOME + OPTIONS_PANEL) == set(WELCOME)
        dialog.press(NEXT)
        completion = run.wait_box(COMPLETION_CAPTION)
        completion.set_check(BROWSER_BOX, False)
        completion.press(IDOK)
        assert run.wait().exit_code == 0
    chosen = "eng" if preselected == RUSSIAN else "rus"
    [line] = csp.command_lines()
    assert line.startswith(f"{csp.fixed()}-kc xkc3 -lang {chosen} -args ")


@pytest.mark.parametrize("how", ["Отмена", "Esc", "close box"])
def test_configuration_dialog_cancel_ends_the_run(machine, csp, how):  # noqa: F811
    csp.put()
    machine.put(V13)
    with machine.start("-csp -selectDlg", env=csp.env()) as run:
        dialog = run.wait_box(CONFIG_CAPTION)
        if how == "Отмена":
            dialog.press(IDCANCEL)
        elif how == "Esc":  # what the dialog manager makes of the Esc key
            machine.prefix.uidriver("command", f"hwnd:{dialog.hwnd:x}", str(IDCANCEL), expect=0)
        else:
            machine.prefix.uidriver("close", f"hwnd:{dialog.hwnd:x}", expect=0)
        assert run.wait().exit_code == 0
    assert csp.runs() == []
    assert machine.version(V13) is None
    assert machine.own_log_events()[-2:] == ["configuration cancelled", "exit code 0"]


def test_silent_run_shows_no_configuration_dialog(machine, csp):  # noqa: F811
    csp.put()
    machine.put(V13)
    result = machine.run("-csp -selectDlg -silent", env=csp.env())
    assert result.exit_code == 0
    assert csp.command_lines()[0].startswith(f"{csp.fixed()}-args ")
