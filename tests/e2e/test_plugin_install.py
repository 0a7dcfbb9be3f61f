"""The plug-in installation end to end: real packages built by wixl, real msiexec, real
Windows Installer database, registry and message boxes, in the session's Wine prefix.

Every package records the properties msiexec received under
HKLM\\Software\\KorvanaTest\\<ProductCode> (see msi_packages.py), so a test can tell what
the bootstrapper passed without parsing its command line.  Each test starts from a
machine with no test product installed and no restart marker, and points TMP at a
folder of its own (with a blank in its name, so that the log path must be quoted).
"""

from __future__ import annotations

import re
import shutil
import subprocess
from pathlib import Path
from typing import Optional

import pytest

import browser_offer as offer
import msi_packages as msi
import pki as pki_module
from wine_harness import (
    IDNO,
    IDOK,
    IDYES,
    OWN_LOG_PREFIX,
    RESOURCE_IDS,
    TOOLS_DIR_WIN,
    SetupFolder,
    WinePrefix,
    build_dir,
)

PLUGIN_CAPTION = "Корвана ЭЦП Browser plug-in"
UPDATE_CAPTION = "Обновление"
ERROR_CAPTION = "Ошибка"
COMPLETION_CAPTION = "Установка Корвана"
INSTALL_QUESTION = "Установить Корвана ЭЦП Browser plug-in?"
REINSTALL_QUESTION = "Эта версия Корвана ЭЦП Browser plug-in уже установлена. Переустановить?"
NEWER_INSTALLED = "Более новая версия Корвана ЭЦП Browser plug-in уже установлена."
INSTALL_FAILED = "В процессе установки или обновления Корвана ЭЦП Browser plug-in возникла ошибка"
NO_PRODUCT_CODE = "Невозможно найти ProductCode msi-пакета."
NO_ENVIRONMENT_VARIABLE = "Невозможно узнать значение переменной окружения."


def update_question(new_version: str, installed_version: str) -> str:
    return (f"Будет произведено обновление {msi.PLUGIN_PRODUCT_NAME} {installed_version} "
            f"до версии {new_version}. Обновить?")


RESTART_BOX = RESOURCE_IDS["IDC_RESTART_BOX"]  # check boxes of the completion dialog
BROWSER_BOX = RESOURCE_IDS["IDC_BROWSER_BOX"]
COMPAT_FEATURE = "{316A4D11-D027-4C52-86B6-54D1FBC148E3}"
MSIEXEC = "C:\\windows\\system32\\msiexec.exe"
STAGE_WIN = "C:\\korvana-e2e\\packages"
MARKER = "HKCU\\Software\\NeedBstrReboot"
MARKERS = [(MARKER, view) for view in (32, 64)]
RECORDS = [(f"HKLM\\{msi.RECORD_KEY}", view) for view in (32, 64)]  # test products, by code
STAMP = re.compile(r"\d{4}-\d\d-\d\d-\d\d-\d\d-\d\d")
TIMED = re.compile(r"\d\d:\d\d:\d\d\.\d{3} (.*)")  # one line of the own log

# Exit codes.
ENVVAR_NOT_FOUND = 203
NO_PACKAGE = 232
USER_EXIT = 1602
ALREADY_RUNNING = 1618
INVALID_COMMAND_LINE = 1639
RESTART_STARTED = 1641
RESTART_DUE = 3010
PRODUCT_VERSION = 1638
TRUST_E_SUBJECT_NOT_TRUSTED = 0x800B0004  # a trusted signature, by another publisher
TRUST_E_NOSIGNATURE = offer.TRUST_E_NOSIGNATURE

# The test PKI's publishers (pki.py), by the name of their Pki field, as their
# certificates name them; korvana-setup-pinned.exe is pinned to the first.
PUBLISHERS = {"publisher": "Korvana Test Publisher", "other_publisher": "Korvana Other Publisher"}
PINNED_EXE = "korvana-setup-pinned.exe"
_trusting: set[Path] = set()  # prefixes whose Root store holds the test CA

# The packages of these tests.  Versions that share a product line get product codes of
# their own, derived from the version (and the variant where two builds of one version
# differ), as real packages do.
V12 = msi.plugin_package("2.0.12")
V13 = msi.plugin_package("2.0.13")
V14 = msi.plugin_package("2.0.14")
V13_RESTART = msi.plugin_package("2.0.13", variant="restart", reboot=True)
V13_NO_FEATURE = msi.plugin_package("2.0.13", variant="npsivet-off", npsivet="off")
V12_NO_FEATURE = msi.plugin_package("2.0.12", variant="npsivet-off", npsivet="off")
V13_FAILS = msi.plugin_package("2.0.13", variant="fails", fail="condition")
V13_FAILS_QUIETLY = msi.plugin_package("2.0.13", variant="fails-quietly", fail="action")
V13_WIN32 = msi.plugin_package("2.0.13", "win32")


# --------------------------------------------------------------------------- the machine


class Machine:
    """The prefix seen from one test: its setup folder, its TMP and the test products."""

    def __init__(self, prefix: WinePrefix, folder: SetupFolder):
        self.prefix = prefix
        self.folder = folder
        self.tmp_win = f"{folder.win}\\temp dir"
        self.tmp = prefix.unix_path(self.tmp_win)
        self.tmp.mkdir(parents=True, exist_ok=True)

    # ---- packages and products

    def put(self, pkg: msi.PackageSpec, subfolder: str = "", name: Optional[str] = None,
            signed_by: Optional[str] = None) -> Path:
        """Puts a package beside the bootstrapper (or into a subfolder of its folder),
        signed by ``signed_by`` (a key of PUBLISHERS) when given."""
        if signed_by is None:
            return self.folder.add_file(msi.build_package(pkg), name=name or pkg.file_name,
                                        subfolder=subfolder)
        folder = self.folder.unix / subfolder if subfolder else self.folder.unix
        return self.sign(msi.build_package(pkg), folder / (name or pkg.file_name), signed_by)

    def sign(self, source: Path, target: Path, signed_by: str) -> Path:
        """Signs ``source`` into ``target`` as that publisher of the test PKI (SHA-256,
        the CA's certificate carried along); the prefix trusts the test CA from then on."""
        pki = pki_module.ensure_pki()
        if self.prefix.path not in _trusting:
            offer.trust_ca(self.prefix, pki)
            _trusting.add(self.prefix.path)
        target.parent.mkdir(parents=True, exist_ok=True)
        return offer.sign(source, target, pki, getattr(pki, signed_by))

    def pin(self) -> None:
        """Puts the pinned build in the place of korvana-setup.exe: the browser
        installer, the plug-in's package and the CSP's setup program must then carry the
        test publisher's signature."""
        shutil.copy2(build_dir() / PINNED_EXE, self.folder.unix / SetupFolder.EXE)

    def install(self, pkg: msi.PackageSpec, properties: str = "") -> None:
        """Installs a package with plain msiexec, from outside the setup folder."""
        staged = f"{STAGE_WIN}\\{pkg.product_code}"
        msi.build_package(pkg, self.prefix.unix_path(staged))
        result = self.prefix.run(f'{MSIEXEC} /i "{staged}\\{pkg.file_name}" /qn {properties}')
        assert result.exit_code in (0, msi.ERROR_SUCCESS_REBOOT_REQUIRED), f"installing {pkg}: {result}"
        assert self.version(pkg) == pkg.version

    def record(self, pkg: msi.PackageSpec) -> Optional[dict[str, str]]:
        """The properties the installed product recorded, or None when it is not installed."""
        values = self.prefix.reg_query(pkg.record_key, pkg.registry_view)
        return None if values is None else {name: data for name, (_, data) in values.items()}

    def version(self, pkg: msi.PackageSpec) -> Optional[str]:
        record = self.record(pkg)
        return None if record is None else record["ProductVersion"]

    def installed(self) -> dict[str, str]:
        """{product code: version} of every test product installed."""
        return self._versions(self.prefix.reg_read(RECORDS))

    def _versions(self, records) -> dict[str, str]:
        """{product code: version} of the products below the RECORDS keys as read."""
        keys = [(f"{key}\\{code}", view) for (key, view), record in zip(RECORDS, records)
                if record is not None for code in record.subkeys]
        products = {}
        for (key, _), record in zip(keys, self.prefix.reg_read(keys) if keys else []):
            values = record.values if record is not None else {}
            products[key.rsplit("\\", 1)[1]] = values.get("ProductVersion", ("", "?"))[1]
        return products

    def clean(self) -> None:
        """Removes every test product and the restart marker. A machine that has
        neither costs one registry read."""
        found = self.prefix.reg_read(RECORDS + MARKERS)
        codes = list(self._versions(found[:len(RECORDS)]))
        for code in codes:
            result = self.prefix.run(f"{MSIEXEC} /x {code} /qn")
            assert result.exit_code == 0, f"removing {code}: {result}"
        markers = [view for (_, view), marker in zip(MARKERS, found[len(RECORDS):]) if marker]
        for view in markers:
            self.prefix.reg_delete(MARKER, view=view)
        if codes or markers:
            assert self.installed() == {} and not self.marker_exists()

    def marker_exists(self) -> bool:
        return any(self.prefix.reg_read(MARKERS))

    # ---- runs

    def env(self, **changes: Optional[str]) -> dict[str, Optional[str]]:
        return {"TMP": self.tmp_win, **changes}

    def run(self, args: Optional[str], env: Optional[dict] = None, **options):
        return self.folder.run_setup(args, env=env or self.env(), **options)

    def silent_install(self, package: str = "sivetcom-x64.msi") -> tuple[str, dict[str, str]]:
        """A "-silent" run that must succeed by installing `package`; its log (see the_log)."""
        result = self.run("-silent")
        assert result.exit_code == 0, result
        return self.the_log(result, package)

    def start(self, args: Optional[str] = None, env: Optional[dict] = None, **options):
        return self.folder.start_setup(args, env=env or self.env(), **options)

    # ---- logs

    def logs(self) -> list[Path]:
        """The installers' logs in TMP (the bootstrapper's own log left out)."""
        return sorted(log for log in self.tmp.glob("*.log") if not log.name.startswith(OWN_LOG_PREFIX))

    def own_logs(self) -> list[Path]:
        """The bootstrapper's own logs in TMP."""
        return sorted(self.tmp.glob(f"{OWN_LOG_PREFIX}*.log"))

    def own_log_events(self) -> list[str]:
        """The run's one own log: its name checked, its events without their times.
        A copy is kept beside the screenshots, for a person to read."""
        [log] = self.own_logs()
        assert STAMP.fullmatch(log.name[len(OWN_LOG_PREFIX):-len(".log")]), log.name
        text = log.read_bytes().decode("utf-8")
        if self.prefix.artefacts is not None:
            self.prefix.artefacts.folder.mkdir(parents=True, exist_ok=True)
            (self.prefix.artefacts.folder / log.name).write_text(text, encoding="utf-8")
        events = []
        for line in text.splitlines():
            match = TIMED.fullmatch(line)
            assert match, f"not a timed line: {line!r}"
            events.append(match.group(1))
        return events

    def package_checks(self) -> list[str]:
        """The own log's signature checks of packages and setup programs, in order."""
        return [e for e in self.own_log_events() if e.startswith("package check: ")]

    def the_log(self, result, package: str) -> tuple[str, dict[str, str]]:
        """The one log this run named: its Windows path and its properties.

        The run prints the time stamp it put into the log's name; the log must lie in
        TMP under "<package file name>_<stamp>.log", and no other log may be there.
        """
        stamps = [line for line in result.stdout_lines if line]
        assert len(stamps) == 1 and STAMP.fullmatch(stamps[0]), result.stdout
        name = f"{package}_{stamps[0]}.log"
        assert [log.name for log in self.logs()] == [name]
        return f"{self.tmp_win}\\{name}", msi.log_properties(msi.read_log(self.tmp / name))


@pytest.fixture
def machine(prefix, setup_folder):
    """A machine without test products, left without them for the tests after it."""
    machine = Machine(prefix, setup_folder)
    machine.clean()
    yield machine
    machine.clean()


def answer_install_question(run, answer: int = IDYES) -> None:
    box = run.wait_box(PLUGIN_CAPTION)
    assert box.text == INSTALL_QUESTION
    box.press(answer)


def owned_by_hidden_window(box) -> bool:
    owner = box.owner_window()
    return owner is not None and (owner.cls.lower(), owner.visible, owner.pid) == ("static", False, box.pid)


def finish_success(run, restart_box: bool = False, expected: int = 0):
    """Ends an interactive run whose installation succeeded; returns its Result.

    The run ends in the completion dialog, whose restart box must reflect the restart
    the installer asked for; both boxes are cleared (no restart, no browser download)
    and OK ends the run with `expected` (0; -restartcodes: 3010 for a restart left due).
    """
    dialog = run.wait_box(COMPLETION_CAPTION)
    assert dialog.control(RESTART_BOX).check == int(restart_box)
    dialog.set_check(RESTART_BOX, False)
    dialog.set_check(BROWSER_BOX, False)
    dialog.press(IDOK)
    result = run.wait()
    assert result.exit_code == expected
    return result


# --------------------------------------------------------------------------- fresh install


@pytest.mark.parametrize("args,expected", [
    # The bootstrapper's own properties, and the basic interface (/qb: UILevel 3).
    ("-silent", {"REBOOT": "R", "ADDNPSIVET": "1", "UILevel": "3"}),
    # The user's /qn replaces /qb; the user's own property reaches msiexec as well.
    ('-silent -SivetArgs "/qn KORVANA_EXTRA=yes"', {"REBOOT": "R", "ADDNPSIVET": "1", "UILevel": "2",
                                                    "KORVANA_EXTRA": "yes"}),
    ("-silent -disablerm /skipinstallvalidate", {"MSIRESTARTMANAGERCONTROL": "Disable",
                                                 "SKIPINSTALLVALIDATE": "1", "ADDNPSIVET": "1"}),
])
def test_fresh_silent_install(machine, args, expected):
    machine.put(V13)
    result = machine.run(args)
    assert result.exit_code == 0
    _, properties = machine.the_log(result, "sivetcom-x64.msi")
    assert {name: properties.get(name) for name in expected} == expected
    assert "REINSTALL" not in properties and "ADDLOCAL" not in properties
    record = machine.record(V13)
    assert (record["ADDNPSIVET"], record["REBOOT"], record["NPSIVET"]) == ("1", "R", "1")
    assert not machine.marker_exists()


def test_fresh_interactive_install(machine):
    machine.put(V13)
    with machine.start() as run:
        answer_install_question(run)
        finish_success(run)
    assert machine.version(V13) == "2.0.13"
    _, properties = machine.the_log(run.wait(), "sivetcom-x64.msi")
    assert (properties.get("ADDNPSIVET"), properties.get("REBOOT")) == ("1", "R")


# --------------------------------------------------------------------------- same version


def test_same_version_silent_does_nothing(machine):
    machine.install(V13)
    machine.put(V13)
    result = machine.run("-silent")
    assert (result.exit_code, result.stdout, machine.logs()) == (0, "", [])
    assert machine.record(V13)["REINSTALL"] == ""  # untouched since plain msiexec put it there


@pytest.mark.parametrize("installed,expected", [
    (V13, {"REINSTALL": "ALL", "REINSTALLMODE": "vomus", "COMPADDLOCAL": None}),
    # Feature NPSIVET absent in the installed product: it is added back.
    (V13_NO_FEATURE, {"REINSTALL": "ALL", "REINSTALLMODE": "vomus", "COMPADDLOCAL": COMPAT_FEATURE}),
])
def test_same_version_silent_reinstall(machine, installed, expected):
    machine.install(installed)
    machine.put(installed)
    result = machine.run("-silent -reinstall")
    assert result.exit_code == 0
    _, properties = machine.the_log(result, "sivetcom-x64.msi")
    assert {name: properties.get(name) for name in expected} == expected
    assert "ADDNPSIVET" not in properties and "ADDLOCAL" not in properties
    assert machine.record(installed)["REINSTALL"] == "ALL"


@pytest.mark.parametrize("answer", [IDNO, IDYES])
def test_same_version_interactive_asks_to_reinstall(machine, answer):
    machine.install(V13)
    machine.put(V13)
    with machine.start() as run:
        answer_install_question(run)
        box = run.wait_box(UPDATE_CAPTION)
        assert (box.text, box.buttons, box.has_icon) == (REINSTALL_QUESTION, [IDYES, IDNO], False)
        assert owned_by_hidden_window(box)
        box.press(answer)
        if answer == IDNO:
            result = run.wait()
            assert (result.exit_code, result.stdout) == (USER_EXIT, "")
        else:
            result = finish_success(run)
    if answer == IDNO:
        assert machine.logs() == [] and machine.record(V13)["REINSTALL"] == ""
    else:
        _, properties = machine.the_log(result, "sivetcom-x64.msi")
        assert (properties.get("REINSTALL"), properties.get("REINSTALLMODE")) == ("ALL", "vomus")
        assert machine.record(V13)["REINSTALL"] == "ALL"


# --------------------------------------------------------------------------- update


@pytest.mark.parametrize("answer", [IDNO, IDYES])
def test_update_interactive(machine, answer):
    machine.install(V12)
    machine.put(V13)
    with machine.start() as run:
        answer_install_question(run)
        box = run.wait_box(UPDATE_CAPTION)
        assert (box.text, box.buttons, box.has_icon) == (update_question("2.0.13", "2.0.12"), [IDYES, IDNO], False)
        assert box.owner == 0
        box.press(answer)
        if answer == IDNO:
            result = run.wait()
            assert (result.exit_code, result.stdout) == (1, "")
            assert machine.own_log_events()[-2:] == ["update declined", "exit code 1"]
        else:
            result = finish_success(run)
    if answer == IDNO:
        assert (machine.installed(), machine.logs()) == ({V12.product_code: "2.0.12"}, [])
    else:
        # The new package's upgrade rule removed the old product.
        assert machine.installed() == {V13.product_code: "2.0.13"}
        _, properties = machine.the_log(result, "sivetcom-x64.msi")
        assert properties.get("REBOOT") == "R"
        assert not {"ADDNPSIVET", "REINSTALL", "ADDLOCAL"} & properties.keys()


def packed(code: str) -> str:
    """A product code as Windows Installer's registry keys spell it."""
    hex_digits = code.strip("{}").replace("-", "")
    pairs = hex_digits[16:]
    return (hex_digits[7::-1] + hex_digits[11:7:-1] + hex_digits[15:11:-1]
            + "".join(pairs[i + 1] + pairs[i] for i in range(0, 16, 2)))


RUN_LOCK = "Global\\KorvanaSetupRun"
MSGBOX = f"{TOOLS_DIR_WIN}\\msgbox.exe"


def test_one_run_at_a_time(machine):
    """A second run while the first waits at its first question ends with 1618 before
    any msiexec, leaving the installed product's source list and the new product's
    cached source hash alone; the first then completes. The lock the first holds is
    owned by Administrators. A run killed while it held the lock does not block the
    next."""
    machine.install(V12)
    machine.put(V13)
    sources = f"HKLM\\Software\\Classes\\Installer\\Products\\{packed(V12.product_code)}\\SourceList\\Net"
    net_before = machine.prefix.reg_query(sources)
    assert net_before, "the installed product has a source"
    source_hash = machine.prefix.unix_path(f"C:\\windows\\Installer\\SourceHash{V13.product_code}")
    source_hash.write_bytes(b"hash")
    try:
        with machine.start() as first:
            first.wait_box(PLUGIN_CAPTION)
            owner = machine.prefix.run(f"{MSGBOX} -noshow -mutexowner {RUN_LOCK}")
            assert owner.stdout_lines == ["owner S-1-5-32-544"]
            # The second run's logs go to a TMP of its own.
            (machine.folder.unix / "second").mkdir()
            second = machine.run("-silent", env=machine.env(TMP=f"{machine.folder.win}\\second"))
            assert (second.exit_code, second.stdout) == (ALREADY_RUNNING, "")
            [log] = (machine.folder.unix / "second").glob("*.log")  # its own; no msiexec ran
            events = [TIMED.fullmatch(line).group(1) for line in log.read_text("utf-8").splitlines()]
            assert events[-3:] == ["another run is in progress",
                                   "box not shown (silent): text 106: 1618", "exit code 1618"]
            assert machine.prefix.reg_query(sources) == net_before and source_hash.exists()
            answer_install_question(first)
            first.wait_box(UPDATE_CAPTION).press(IDYES)
            finish_success(first)
        assert machine.installed() == {V13.product_code: "2.0.13"}
        # The same again, but the first run is killed while it waits.
        machine.install(V12)
        with machine.start() as killed:
            killed.wait_box(PLUGIN_CAPTION)
            killed.kill()
        assert machine.run("-silent").exit_code == 0
        assert machine.installed() == {V13.product_code: "2.0.13"}
    finally:
        source_hash.unlink(missing_ok=True)


@pytest.mark.parametrize("security, logged", [
    # Open to everybody: its owner, another account (Users), is read and not ours.
    ("O:BUD:(A;;GA;;;WD)", "run lock: owned by S-1-5-32-545, ignored"),
    # Open to SYSTEM alone (and, as owner, to its reading): no run can have made it.
    ("O:BUD:(A;;GA;;;SY)", "run lock: error 5"),
], ids=["open", "shut"])
def test_one_run_at_a_time_ignores_a_lock_another_account_made(machine, security, logged):
    """Any account can make the lock's mutex before every run and hold it: a run then
    goes on without the lock, installs, and says so in its log."""
    machine.put(V13)
    with machine.prefix.start(f"{MSGBOX} -mutex {RUN_LOCK} {security} -caption squatter") as squatter:
        box = squatter.wait_box("squatter")
        machine.silent_install()
        assert logged in machine.own_log_events()
        assert machine.installed() == {V13.product_code: "2.0.13"}
        box.press(IDOK)
    assert squatter.wait().stdout_lines == ["mutex created"]


def test_update_adds_a_missing_feature(machine):
    # Neither package installs NPSIVET by default: only ADDLOCAL=ALL brings it in.
    machine.install(V12_NO_FEATURE)
    assert "NPSIVET" not in machine.record(V12_NO_FEATURE)
    machine.put(V13_NO_FEATURE)
    _, properties = machine.silent_install()
    assert (properties.get("ADDLOCAL"), properties.get("REINSTALL")) == ("ALL", None)
    assert machine.installed() == {V13_NO_FEATURE.product_code: "2.0.13"}
    assert machine.record(V13_NO_FEATURE)["NPSIVET"] == "1"


# --------------------------------------------------------------------------- newer installed


def test_newer_installed_interactive_refuses(machine):
    machine.install(V14)
    machine.put(V13)
    with machine.start() as run:
        answer_install_question(run)
        box = run.wait_box(UPDATE_CAPTION)
        assert (box.text, box.buttons, box.has_icon) == (NEWER_INSTALLED, [IDOK], True)
        assert owned_by_hidden_window(box)
        box.press(IDOK)
        result = run.wait()
    assert (result.exit_code, result.stdout) == (PRODUCT_VERSION, "")
    assert (machine.installed(), machine.logs()) == ({V14.product_code: "2.0.14"}, [])


def test_newer_installed_silent_installs_anyway(machine):
    machine.install(V14)
    machine.put(V13)
    # The test package's upgrade rule replaces any other version, newer ones too.
    machine.silent_install()
    assert machine.installed() == {V13.product_code: "2.0.13"}


# --------------------------------------------------------------------------- failures


def test_installer_failure_is_reported_with_its_log(machine):
    machine.install(V12)
    machine.prefix.reg_add(MARKER)  # a failed run neither reads nor deletes the marker
    machine.put(V13_FAILS)
    with machine.start() as run:
        answer_install_question(run)
        box = run.wait_box(UPDATE_CAPTION)
        assert box.text == update_question("2.0.13", "2.0.12")
        box.press(IDYES)
        # msiexec's own box for the launch condition (its basic interface, /qb).
        refusal = run.wait_box(msi.FAIL_BOX_CAPTION, any_process=True)
        assert refusal.pid != run.pid
        refusal.press(IDOK)
        error = run.wait_box(PLUGIN_CAPTION)
        logs = machine.logs()  # the name is checked against the printed stamp below
        assert len(logs) == 1
        log_win = f"{machine.tmp_win}\\{logs[0].name}"
        assert error.text == f"{INSTALL_FAILED}: 1603.\nInstall log: {log_win}"
        assert (error.buttons, error.has_icon) == ([IDOK], True)
        assert owned_by_hidden_window(error)
        error.press(IDOK)
        result = run.wait()
    assert result.exit_code == msi.ERROR_INSTALL_FAILURE
    assert machine.the_log(result, "sivetcom-x64.msi")[0] == log_win
    assert machine.installed() == {V12.product_code: "2.0.12"}
    assert machine.marker_exists()


def test_installer_failure_silent(machine):
    machine.prefix.reg_add(MARKER)
    machine.put(V13_FAILS_QUIETLY)
    result = machine.run("-silent")
    # msiexec's code comes back unchanged (Wine reports a failed custom action as 1627).
    assert result.exit_code == msi.ERROR_FUNCTION_FAILED
    machine.the_log(result, "sivetcom-x64.msi")
    assert machine.installed() == {} and machine.marker_exists()


def test_silent_run_still_meets_the_installers_own_box(machine):
    # "-silent" silences the bootstrapper, not msiexec: without a /q of the user's the
    # installer runs with /qb, whose error box waits for an answer.
    machine.put(V13_FAILS)
    with machine.start("-silent") as run:
        refusal = run.wait_box(msi.FAIL_BOX_CAPTION, any_process=True)
        assert refusal.pid != run.pid
        refusal.press(IDOK)
        result = run.wait(fail_on_window=True)
    assert result.exit_code == msi.ERROR_INSTALL_FAILURE
    machine.the_log(result, "sivetcom-x64.msi")


def test_failure_without_our_log_has_no_log_line(machine):
    own_log = f"{machine.folder.win}\\own.log"
    machine.put(V13_FAILS_QUIETLY)
    with machine.start(f'-SivetArgs "/l*v {own_log}"') as run:
        answer_install_question(run)
        error = run.wait_box(PLUGIN_CAPTION)
        assert error.text == f"{INSTALL_FAILED}: {msi.ERROR_FUNCTION_FAILED}.\n"
        error.press(IDOK)
        result = run.wait()
    assert (result.exit_code, result.stdout, machine.logs()) == (msi.ERROR_FUNCTION_FAILED, "", [])
    assert machine.prefix.unix_path(own_log).is_file()


# --------------------------------------------------------------------------- restart request


def test_restart_request_silent_norestart(machine):
    machine.put(V13_RESTART)
    # +process makes Wine trace process starts: a restart would show as wineboot.
    result = machine.run("-silent -norestart", unix_env={"WINEDEBUG": "+process"})
    assert result.exit_code == 0
    assert machine.version(V13_RESTART) == "2.0.13"
    assert not machine.marker_exists()
    assert "msiexec.exe" in result.launcher_stderr and "wineboot" not in result.launcher_stderr
    # The exit code says nothing of the restart still due: the own log does.
    assert machine.own_log_events()[-2:] == ["restart needed, not made (-norestart)", "exit code 0"]


@pytest.mark.parametrize("args,expected", [(None, 0), ("-restartcodes", RESTART_DUE)])
def test_restart_request_interactive(machine, args, expected):
    # The restart box starts ticked; the user clears it: no restart, which only
    # -restartcodes tells the deployment system.
    machine.put(V13_RESTART)
    with machine.start(args) as run:
        answer_install_question(run)
        finish_success(run, restart_box=True, expected=expected)
    assert machine.version(V13_RESTART) == "2.0.13"
    assert not machine.marker_exists()


@pytest.mark.parametrize("args,expected", [
    ("-silent -norestart -restartcodes", RESTART_DUE),
    ("-silent -norestart -RestartCodes", RESTART_DUE),
])
def test_restart_codes_tell_a_restart_left_due(machine, args, expected):
    machine.put(V13_RESTART)
    result = machine.run(args, unix_env={"WINEDEBUG": "+process"})
    assert result.exit_code == expected
    assert "wineboot" not in result.launcher_stderr
    assert not machine.marker_exists()


# --------------------------------------------------------------------------- nobody watching


@pytest.mark.parametrize("args,package,expected,installs", [
    (None, V13, 0, True),  # the install question takes a silent run's answer
    ("-bogus", V13, INVALID_COMMAND_LINE, False),
    ("-silent -bogus", V13, INVALID_COMMAND_LINE, False),
    ("-SivetArgs", V13, INVALID_COMMAND_LINE, False),
    ("-help", V13, 0, False),
    (None, V13_RESTART, RESTART_DUE, True),  # never a restart of its own
    (None, V13_FAILS, 1603, False),  # no failure box waits for a click
])
def test_unattended_session(machine, args, package, expected, installs):
    """Started as a service's or SYSTEM's session 0 starts it: a window station without
    visible surfaces, where a box would wait for ever (the harness's time limit would
    end the run)."""
    machine.put(package)
    result = machine.run(args, unattended=True, unix_env={"WINEDEBUG": "+process"}, timeout=120)
    assert (result.exit_code, result.timed_out) == (expected, False)
    events = machine.own_log_events()
    assert [e for e in events if e.startswith("no visible desktop")] == [
        "no visible desktop"]
    assert "wineboot" not in result.launcher_stderr and not machine.marker_exists()
    assert ("msiexec.exe" in result.launcher_stderr) == (installs or package is V13_FAILS)
    if installs:
        assert machine.version(package) == "2.0.13"
        _, properties = machine.the_log(result, "sivetcom-x64.msi")
        assert properties.get("UILevel") == "2"  # /qn, not /qb


def test_marker_of_someone_else_is_deleted_after_success(machine):
    machine.prefix.reg_add(MARKER)
    machine.put(V13)
    result = machine.run("-silent -norestart")
    assert result.exit_code == 0
    assert not machine.marker_exists()


@pytest.fixture(scope="module")
def restart_prefix():
    # A silent run restarts the computer; under Wine that ends the session of the
    # prefix (wineboot --end-session), so it gets a prefix of its own.
    prefix = WinePrefix.create("win64")
    yield prefix
    prefix.close()


@pytest.mark.parametrize("args,expected", [("-silent", 0), ("-silent -restartcodes", RESTART_STARTED)])
def test_restart_request_silent_restarts(restart_prefix, artefacts, setup_exe, args, expected):
    restart_prefix.artefacts = artefacts
    machine = Machine(restart_prefix, SetupFolder(restart_prefix, "C:\\t\\restart", setup_exe))
    machine.clean()
    machine.put(V13_RESTART)
    result = machine.run(args, unix_env={"WINEDEBUG": "+process"})
    assert result.exit_code == expected
    assert machine.version(V13_RESTART) == "2.0.13"
    assert not machine.marker_exists()
    # Wine's ExitWindowsEx with EWX_REBOOT starts wineboot to end the session.
    assert re.search(r'wineboot\.exe" cmdline L"[^"]*--end-session', result.launcher_stderr)


# --------------------------------------------------------------------------- finding the package


@pytest.mark.parametrize("placement,expected", [
    ({"": V13}, V13),
    ({"pkgs": V13}, V13),
    ({"pkgs\\deeper": V13}, None),  # two levels down: not searched
    ({".hidden": V13}, None),  # folders whose names begin with a dot are skipped
    ({"": V13, "pkgs": V14}, V13),  # the executable's own folder wins
])
def test_package_search(machine, placement, expected):
    for subfolder, pkg in placement.items():
        machine.put(pkg, subfolder)
    result = machine.run("-silent")
    if expected is None:
        assert (result.exit_code, result.stdout, machine.installed()) == (NO_PACKAGE, "", {})
    else:
        assert result.exit_code == 0
        assert machine.installed() == {expected.product_code: expected.version}


def expect_errors(run, *boxes: tuple[str, str]) -> None:
    """Answers the error boxes that must come, in this order: (caption, text) each."""
    for caption, text in boxes:
        box = run.wait_box(caption)
        assert (box.text, box.buttons, box.has_icon) == (text, [IDOK], True)
        assert owned_by_hidden_window(box)
        box.press(IDOK)


def test_no_package_two_levels_down_interactive(machine):
    machine.put(V13, "pkgs\\deeper")
    with machine.start() as run:
        answer_install_question(run)
        # The plug-in step names the missing package; the run then reports its code,
        # with no log line (no log was named).
        expect_errors(run, (ERROR_CAPTION, NO_PRODUCT_CODE), (PLUGIN_CAPTION, f"{INSTALL_FAILED}: {NO_PACKAGE}.\n"))
        assert run.wait().exit_code == NO_PACKAGE


# --------------------------------------------------------------------------- TMP and the log


@pytest.mark.parametrize("tmp", [None, ""])
def test_tmp_unset_interactive(machine, tmp):
    machine.put(V13)
    with machine.start(env={"TMP": tmp}) as run:
        answer_install_question(run)
        expect_errors(run, (ERROR_CAPTION, NO_ENVIRONMENT_VARIABLE),
                      (PLUGIN_CAPTION, f"{INSTALL_FAILED}: {ENVVAR_NOT_FOUND}.\n"))
        result = run.wait()
    assert (result.exit_code, result.stdout, machine.installed()) == (ENVVAR_NOT_FOUND, "", {})


def test_tmp_unset_silent(machine):
    machine.put(V13)
    result = machine.run("-silent", env={"TMP": None})
    assert (result.exit_code, result.stdout, machine.installed()) == (ENVVAR_NOT_FOUND, "", {})


@pytest.mark.parametrize("option", ["/l*v", "/L*V"])
def test_own_log_option_needs_no_tmp(machine, option):
    own_log = f"{machine.folder.win}\\x.log"
    machine.put(V13)
    result = machine.run(f'-silent -SivetArgs "{option} {own_log}"', env={"TMP": None})
    assert (result.exit_code, result.stdout) == (0, "")
    properties = msi.log_properties(msi.read_log(machine.prefix.unix_path(own_log)))
    assert (properties.get("REBOOT"), properties.get("ADDNPSIVET")) == ("R", "1")
    assert machine.version(V13) == "2.0.13"


def test_folders_with_cyrillic_names_and_blanks(prefix, make_setup_folder):
    # The package path and the log path reach msiexec quoted and in full Unicode.
    machine = Machine(prefix, make_setup_folder("Дистрибутив плагина"))
    machine.clean()
    machine.tmp_win = f"{machine.folder.win}\\временные файлы"
    machine.tmp = prefix.unix_path(machine.tmp_win)
    machine.tmp.mkdir()
    machine.put(V13)
    # (Wine writes the log in the ANSI code page: the Cyrillic in the paths it records
    # comes out as question marks, so the log's text is not compared here.)
    machine.silent_install()
    assert machine.installed() == {V13.product_code: "2.0.13"}


# --------------------------------------------------------------------------- a pinned publisher


def check_line(path_win: str, code: int, signed_by: Optional[str]) -> str:
    """The own log's line of a signature check that came to `code`."""
    return f"package check: {path_win}: 0x{code:08X}, signer {PUBLISHERS.get(signed_by, '')}"


@pytest.mark.parametrize("pinned,signed_by,expected", [
    (True, "publisher", 0),
    (True, None, TRUST_E_NOSIGNATURE),
    (True, "other_publisher", TRUST_E_SUBJECT_NOT_TRUSTED),
    (False, None, 0),  # the build as shipped by default checks nothing
])
def test_a_pinned_build_installs_only_its_publishers_package(machine, pinned, signed_by, expected):
    if pinned:
        machine.pin()
    machine.put(V13, signed_by=signed_by)
    result = machine.run("-silent")
    assert result.exit_code == expected
    package = f"{machine.folder.win}\\sivetcom-x64.msi"
    assert machine.package_checks() == ([check_line(package, expected, signed_by)] if pinned else [])
    if expected == 0:
        assert machine.installed() == {V13.product_code: "2.0.13"}
        machine.the_log(result, "sivetcom-x64.msi")
    else:
        # Refused before anything else of the installation: no log named, no msiexec.
        assert (result.stdout, machine.logs(), machine.installed()) == ("", [], {})
        assert machine.own_log_events()[-2:] == [f"box not shown (silent): text 106: {expected}",
                                                 f"exit code {expected}"]


def test_a_refused_package_ends_in_the_plugins_failure_box(machine):
    machine.pin()
    machine.put(V13, signed_by="other_publisher")
    with machine.start() as run:
        answer_install_question(run)
        box = run.wait_box(PLUGIN_CAPTION)
        machine.prefix.screenshot("package refused")
        assert (box.text, box.buttons, box.has_icon) == (
            f"{INSTALL_FAILED}: {TRUST_E_SUBJECT_NOT_TRUSTED}.\n", [IDOK], True)
        box.press(IDOK)
        assert run.wait().exit_code == TRUST_E_SUBJECT_NOT_TRUSTED
    assert (machine.installed(), machine.logs()) == ({}, [])


def test_what_wine_checks_of_a_packages_signature(machine):
    """Wine's WinVerifyTrust on a signed package checks the signature itself (its
    certificates and signed bytes) and the signer's chain, but not the digest of the
    package's contents: a package changed after signing still verifies, though
    osslsigncode (as Windows, with TRUST_E_BAD_DIGEST) refuses it. So no test here
    claims that the program refuses a changed package; it would, where Windows reports
    one, as it refuses any result but 0."""
    signed = machine.put(V13, signed_by="publisher")
    changed = msi.change_cabinet(shutil.copy2(signed, signed.with_name("changed.msi")))
    broken = msi.change_signature(shutil.copy2(signed, signed.with_name("broken.msi")))
    names = [f"{machine.folder.win}\\{path.name}" for path in (signed, changed, broken)]
    verdicts = offer.trust_verdicts(machine.prefix, names)
    assert verdicts[:2] == [offer.TRUST_OK, offer.TRUST_OK] and verdicts[2] != offer.TRUST_OK
    ca = pki_module.ensure_pki().ca.cert
    outcomes = [subprocess.run(["osslsigncode", "verify", "-CAfile", str(ca), "-in", str(path)],
                               capture_output=True).returncode for path in (signed, changed)]
    assert outcomes[0] == 0 and outcomes[1] != 0


# --------------------------------------------------------------------------- architecture


def test_64bit_prefix_takes_the_x64_package(machine):
    machine.put(V13_WIN32)
    machine.put(V13)
    machine.silent_install()
    assert machine.installed() == {V13.product_code: "2.0.13"}
    assert machine.prefix.unix_path(V13.payload_path()).read_text() == V13.payload_text()


def test_32bit_prefix_takes_the_win32_package(prefix32, setup_folder32):
    machine = Machine(prefix32, setup_folder32)
    machine.put(V13_WIN32)
    machine.put(V13)
    machine.silent_install("sivetcom-win32.msi")
    assert machine.installed() == {V13_WIN32.product_code: "2.0.13"}
    assert any(e.endswith(", package architecture win32") for e in machine.own_log_events())
    assert machine.record(V13_WIN32)["ADDNPSIVET"] == "1"
