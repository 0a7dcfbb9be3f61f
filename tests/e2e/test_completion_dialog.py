"""The completion dialog and the browser offer, end to end: a real interactive
installation ends in the dialog, whose browser download goes to the local HTTPS site of
browser_offer.py, is checked by Wine's WinVerifyTrust and runs a signed stand-in
installer that records how it was started."""

from __future__ import annotations

import time

import pytest

from browser_offer import DOWNLOAD_FOLDER
from test_plugin_install import (  # noqa: F401 - machine is a fixture
    BROWSER_BOX,
    COMPLETION_CAPTION,
    RESTART_BOX,
    V13,
    V13_RESTART,
    answer_install_question,
    machine,
)
from wine_harness import IDCANCEL, IDOK, RESOURCE_IDS, HarnessError

# The dialog's text; its check boxes are test_plugin_install's.
MESSAGE = RESOURCE_IDS["IDC_COMPLETION_MESSAGE"]

OFFER = "Установить Яндекс Браузер для работы по ГОСТ-TLS"
RESTART = "Перезагрузить компьютер"
INSTALLED = ("Корвана ЭЦП Browser plug-in успешно установлен.\nДля корректной работы Корвана ЭЦП "
             "Browser plug-in может потребоваться перезапустить браузер.")
INSTALLED_RESTART = ("Корвана ЭЦП Browser plug-in успешно установлен.\nДля корректной работы "
                     "Корвана ЭЦП Browser plug-in необходимо перезагрузить компьютер.")
DOWNLOADING = "Загрузка – Яндекс Браузер"
INSTALLING = "Установка – Яндекс Браузер"
DOWNLOAD_FAILED = "Ошибка загрузки – Яндекс Браузер"
CHECK_FAILED = "Ошибка проверки – Яндекс Браузер"
INSTALL_FAILED = "Ошибка установки – Яндекс Браузер"
OPTIONS = " --program-files-installation --silent --do-not-launch-browser"

SESSION_KEY = "HKCU\\SOFTWARE\\Yandex\\YandexBrowser\\Session"
SERVICE = "YandexBrowserService"


def open_dialog(machine, offer=None, package=V13, env=None, signed_by=None, **options):  # noqa: F811
    """Installs `package` (signed by `signed_by`, a publisher of the test PKI, when
    given) interactively up to the completion dialog: (run, dialog)."""
    machine.put(package, signed_by=signed_by)
    run = machine.start(env=machine.env(**(offer.env(**(env or {})) if offer else {})), **options)
    answer_install_question(run)
    return run, run.wait_box(COMPLETION_CAPTION)


def wait_label(dialog, text: str, timeout: float = 60):
    """Waits until the browser box's label reads `text`; the dialog read afresh."""
    deadline = time.monotonic() + timeout
    while True:
        label = dialog.refresh().control(BROWSER_BOX).text
        if label == text:
            return dialog
        if time.monotonic() > deadline:
            raise HarnessError(f"the browser box still reads {label!r}, not {text!r}")
        time.sleep(0.1)


def download_folders(machine) -> list[str]:  # noqa: F811
    """The download folders the run's own log names, one per attempt, in order."""
    return [e[len("browser folder: "):] for e in machine.own_log_events() if e.startswith("browser folder: ")]


def states(dialog) -> tuple:
    """(browser box checked, browser box enabled, OK enabled, restart box enabled)."""
    browser, ok, restart = (dialog.control(i) for i in (BROWSER_BOX, IDOK, RESTART_BOX))
    return browser.check, browser.enabled, ok.enabled, restart.enabled


# --------------------------------------------------------------------------- first look


@pytest.mark.parametrize("case,package,browser_present,text,restart_box,browser_box", [
    ("nothing installed", V13, None, INSTALLED, 0, 1),
    ("restart due", V13_RESTART, None, INSTALLED_RESTART, 1, 1),
    ("browser's session key", V13, "key", INSTALLED, 0, 0),
    ("browser's service", V13, "service", INSTALLED, 0, 0),
])
def test_dialog_as_it_opens(machine, case, package, browser_present, text, restart_box,  # noqa: F811
                            browser_box):
    prefix = machine.prefix
    if browser_present == "key":
        prefix.reg_add(SESSION_KEY)
    if browser_present == "service":
        created = prefix.wine("sc", "create", SERVICE, "binpath=", "C:\\windows\\system32\\notepad.exe")
        assert created.returncode == 0, created
    try:
        run, dialog = open_dialog(machine, package=package)
        assert (dialog.cls, dialog.owner, dialog.exstyle & 0x8) == ("#32770", 0, 0)
        assert [(c.id, c.text) for c in dialog.controls] == [
            (MESSAGE, text), (BROWSER_BOX, OFFER), (RESTART_BOX, RESTART), (IDOK, "OK")]
        assert (dialog.control(RESTART_BOX).check, dialog.control(BROWSER_BOX).check) == \
            (restart_box, browser_box)
        assert states(dialog)[1:] == (True, True, True)
        # The close box is Cancel: no restart, no download, and the run succeeded.
        prefix.uidriver("close", f"hwnd:{dialog.hwnd:x}", expect=0)
        assert run.wait().exit_code == 0
        assert not machine.marker_exists()
    finally:
        prefix.reg_delete(SESSION_KEY)
        if browser_present == "service":
            prefix.wine("sc", "delete", SERVICE)


# --------------------------------------------------------------------------- the offer taken


def test_browser_installed_by_its_full_quoted_path(machine, browser_offer, make_setup_folder):  # noqa: F811
    """The installer that runs is the one downloaded into a folder made for it below the
    Windows folder's Temp and checked there, started by its full path in quotes, although
    a file of the same name lies beside the executable, where Windows would look for a
    bare name first, and another in the current directory. Nothing is written to the
    current directory, and neither the installer nor its folder outlives the run."""
    name = "Yandex Browser.exe"
    browser_offer.serve("signed", name=name)
    elsewhere = make_setup_folder("current dir")
    machine.folder.add_file(browser_offer.installer("signed"), name=name)  # the planted ones
    elsewhere.add_file(browser_offer.installer("unsigned"), name=name)
    run, dialog = open_dialog(machine, browser_offer, env={"stub_sleep_ms": 4000}, cwd=elsewhere.win)
    assert dialog.control(BROWSER_BOX).check == 1
    dialog.press(IDOK)
    wait_label(dialog, INSTALLING)
    assert states(dialog) == (1, False, False, True)
    machine.prefix.screenshot("working")
    [while_running] = browser_offer.download_folders_left()
    result = run.wait()
    assert result.exit_code == 0
    [folder] = download_folders(machine)
    assert DOWNLOAD_FOLDER.fullmatch(folder), folder
    downloaded = f"{folder}\\{name}"
    assert while_running == f"{folder}: {name}"
    runs = browser_offer.stub_runs()
    assert [(r.module.lower(), r.command_line, r.cwd) for r in runs] == [
        (downloaded.lower(), f'"{downloaded}"{OPTIONS}', elsewhere.win)]
    # Alone in its folder: nothing beside it that it could load in its own place.
    assert runs[0].neighbours == ""
    # Held by the bootstrapper from before the check until it ended: the installer that
    # ran could neither be renamed nor written over.
    assert runs[0].tampering == "rename refused, overwrite refused"
    # Deleted with its folder; the files of that name elsewhere untouched.
    assert browser_offer.download_folders_left() == []
    assert not machine.prefix.unix_path(folder).exists()
    assert (elsewhere.unix / name).read_bytes() == browser_offer.installer("unsigned").read_bytes()
    assert (machine.folder.unix / name).read_bytes() == browser_offer.installer("signed").read_bytes()
    [request] = browser_offer.requests
    assert (request.method, request.path, request.user_agent) == (
        "GET", "/download/yandex-browser", "Korvana Setup")


@pytest.mark.parametrize("pinned", [False, True])
def test_a_pinned_build_runs_only_its_publishers_installer(machine, browser_offer, pinned):  # noqa: F811
    """An installer signed by a second publisher under the same trusted CA: a build
    without a pinned publisher runs it; one pinned to the test publisher refuses it as
    it refuses an unsigned file, and then runs the test publisher's."""
    if pinned:
        machine.pin()  # the package then must be the test publisher's too
    browser_offer.serve("other-publisher")
    run, dialog = open_dialog(machine, browser_offer, env={"stub_exit": 0},
                              signed_by="publisher" if pinned else None)
    dialog.press(IDOK)
    if pinned:
        wait_label(dialog, CHECK_FAILED)
        assert states(dialog) == (1, True, True, True)
        assert browser_offer.stub_runs() == []
        browser_offer.serve("signed")
        dialog.press(IDOK)
    assert run.wait().exit_code == 0
    assert len(browser_offer.stub_runs()) == 1
    signers = [e for e in machine.own_log_events() if e.startswith("signature of ")]
    assert [e.rsplit(", signer: ", 1)[1] for e in signers] == (
        ["Korvana Other Publisher", "Korvana Test Publisher"] if pinned else ["Korvana Other Publisher"])


def test_failures_then_retries_until_success(machine, browser_offer, prefix):  # noqa: F811
    """Each failed attempt names its step on the box's label and leaves box and OK
    enabled, the box still checked; the next OK downloads again. The TLS patch named
    in the registry is applied once in the process, however many attempts."""
    browser_offer.install_patch()
    parent = machine.folder.unix.parent
    attempts = [
        # (what the server answers, the label after the attempt)
        (dict(variant="unsigned"), CHECK_FAILED),
        (dict(variant="tampered"), CHECK_FAILED),
        (dict(variant="truncated"), CHECK_FAILED),
        (dict(variant="signed", drop_after=4096), CHECK_FAILED),  # the connection drops
        (dict(variant="signed", name=None), DOWNLOAD_FAILED),  # no Content-Disposition
        (dict(variant="signed", disposition='inline; filename="Yandex.exe"'), DOWNLOAD_FAILED),
        (dict(variant="signed", disposition='Attachment; filename="Yandex.exe"'), DOWNLOAD_FAILED),
        (dict(variant="signed", disposition="attachment; filename=Yandex.exe"), DOWNLOAD_FAILED),
        (dict(variant="signed", name="..\\escaped.exe"), DOWNLOAD_FAILED),
        (dict(variant="signed", name="C:\\escaped.exe"), DOWNLOAD_FAILED),
    ]
    run, dialog = open_dialog(machine, browser_offer, env={"stub_exit": 0})
    for number, (reply, label) in enumerate(attempts, 1):
        browser_offer.serve(**reply)
        dialog.press(IDOK)
        browser_offer.server.wait_request(number)
        wait_label(dialog, label)
        assert states(dialog) == (1, True, True, True), reply
        # A refused signature and a failed download alike leave no file and no folder.
        assert browser_offer.download_folders_left() == [], reply
        prefix.screenshot(label)
    assert len(browser_offer.requests) == len(attempts)
    assert not (parent / "escaped.exe").exists() and not prefix.unix_path("C:\\escaped.exe").exists()
    assert browser_offer.stub_runs() == []
    # An error status that still names the file: the signed body is saved and runs.
    browser_offer.serve("signed", status=500)
    dialog.press(IDOK)
    assert run.wait().exit_code == 0
    assert len(browser_offer.stub_runs()) == 1
    assert [what for what, _ in browser_offer.patch_events()] == ["call"]
    # A folder of its own for each attempt, each name new, none left.
    folders = download_folders(machine)
    assert len(set(folders)) == len(attempts) + 1 and all(DOWNLOAD_FOLDER.fullmatch(f) for f in folders), folders
    assert browser_offer.download_folders_left() == []


def test_an_installer_that_fails_is_reported(machine, browser_offer, prefix):  # noqa: F811
    browser_offer.serve("signed")
    run, dialog = open_dialog(machine, browser_offer, env={"stub_exit": 1603})
    dialog.press(IDOK)
    wait_label(dialog, INSTALL_FAILED)
    assert states(dialog) == (1, True, True, True)
    assert browser_offer.download_folders_left() == []
    prefix.screenshot("install failed")
    # Unticked, OK goes on to the restart choice and ends the run.
    dialog.set_check(BROWSER_BOX, False)
    dialog.press(IDOK)
    assert run.wait().exit_code == 0
    assert len(browser_offer.stub_runs()) == 1


@pytest.mark.parametrize("how", ["Esc", "close box"])
def test_cancel_during_a_slow_download(machine, browser_offer, prefix, how):  # noqa: F811
    """Cancel stops the download at once; the dialog closes, the installer never runs,
    and the ticked restart box is not acted on."""
    browser_offer.serve("signed", throttle=4096)
    # +process makes Wine trace process starts: a restart would show as wineboot.
    run, dialog = open_dialog(machine, browser_offer, unix_env={"WINEDEBUG": "+process"})
    dialog.set_check(RESTART_BOX, True)
    dialog.press(IDOK)
    browser_offer.server.wait_request(1)
    wait_label(dialog, DOWNLOADING)
    if how == "Esc":  # what the dialog manager makes of the Esc key
        prefix.uidriver("command", f"hwnd:{dialog.hwnd:x}", str(IDCANCEL), expect=0)
    else:
        prefix.uidriver("close", f"hwnd:{dialog.hwnd:x}", expect=0)
    result = run.wait()
    assert result.exit_code == 0
    assert browser_offer.stub_runs() == []
    assert not browser_offer.requests[0].finished
    assert "wineboot" not in result.launcher_stderr
    # Nothing written anywhere but into the run's own download folder. A worker blocked
    # in the network when the dialog gave up on it ends with the process, before it
    # can delete what it had written: then that folder, closed to all but
    # administrators and SYSTEM, stays with the partial file.
    [folder] = download_folders(machine)
    assert browser_offer.download_folders_left() in ([], [f"{folder}: Yandex.exe"])
    assert not (machine.folder.unix / "Yandex.exe").exists()
