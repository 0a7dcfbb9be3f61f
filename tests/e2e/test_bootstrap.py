"""The bootstrapper end to end under Wine: the help, the first question, silent runs
and the script step, with the real executable and real message boxes.

No plug-in package lies beside the executable in these tests, so every run that gets
past the first question ends in the plug-in step with 232 (no package found).
"""

import pytest

# Wine 8 ignores MB_TOPMOST (only MB_SYSTEMMODAL makes a box WS_EX_TOPMOST), so the
# boxes' topmost style cannot be checked here; the unit tests check the style value.

from wine_harness import IDNO, IDOK, IDYES, OWN_LOG_PREFIX, TOOLS_DIR_WIN

HELP_CAPTION = "Справка"
PLUGIN_CAPTION = "Корвана ЭЦП Browser plug-in"
INSTALL_QUESTION = "Установить Корвана ЭЦП Browser plug-in?"
ERROR_CAPTION = "Ошибка"
NO_PRODUCT_CODE = "Невозможно найти ProductCode msi-пакета."
INSTALL_FAILED = "В процессе установки или обновления Корвана ЭЦП Browser plug-in возникла ошибка"
NO_PACKAGE = 232

HELP_PIECES = [
    "Установщик Корвана ЭЦП Browser plug-in.\n",
    "При запуске без параметров осуществляет установку с параметрами по умолчанию.\n",
    "\n",
    "Возможные параметры командной строки:\n",
    "  -?\t\t\tвывести данную справку\n",
    "  -sivetargs \"<args>\"\tдополнительные параметры\n\t\t\tкомандной строки(<args>) для\n\t\t\tвызова msiexec /i при установке\n\t\t\tпакета MSI плагина\n",
    "  -reinstall\t\t\tпереустановка продукта\n",
    "  -silent\t\t\tподавить диалоговые окна\n\t\t\tбутстраппера\n",
    "  -norestart\t\tподавить перезагрузку, если она\n\t\t\tбудет необходима\n",
]
CSP_HELP_PIECES = [
    "  -args \"<args>\"\tдополнителные параметры\n\t\t\tкомандной строки (<args>) для\n\t\t\tвызова msiexec /i при установке\n\t\t\tпакета MSI Корвана CSP\n",
    "  -cspargs \"<args>\"\tдополнителные параметры\n\t\t\tкомандной строки (<args>) для\n\t\t\tвызова msiexec /i при установке\n\t\t\tпакета MSI Корвана CSP\n",
    "  -selectDlg\tвывести диалог выбора конфигурации Корвана CSP\n",
    "  -KC\t\t\tуровень KC Корвана CSP\n",
    "  -lang\t\t\tязык Корвана CSP\n",
]
HELP_TEXT = "".join(HELP_PIECES)
CSP_HELP_TEXT = HELP_TEXT + "".join(CSP_HELP_PIECES)


@pytest.fixture(scope="session")
def information_icon(wine_prefix):
    """The look of the information icon, from a reference box of the stand-in program."""
    with wine_prefix.start(f"{TOOLS_DIR_WIN}\\msgbox.exe -caption reference-icon -style 50040") as run:
        box = run.wait_box("reference-icon")
        icon = box.icon_hash()
        box.press(IDOK)
        run.wait()
    return icon


def assert_owned_by_hidden_static_window(box):
    owner = box.owner_window()
    assert owner is not None, "the box has no owner window"
    assert (owner.cls.lower(), owner.visible, owner.pid) == ("static", False, box.pid)


# Each command-line tail after the program path, and whether the help holds the CSP lines
# (only when "-csp" came before the argument that asked for the help).
# The command line, whether the help has the CSP's part, and the own log's line that
# tells why the help came up (None: the help was asked for).
HELP_CASES = [
    ("-help", False, None),
    ("-csp -help", True, None),
    ("-help -csp", False, None),
    ("-?", False, "unknown argument: -?"),
    ("-csp -?", True, "unknown argument: -?"),
    ("/silent", False, "unknown argument: /silent"),
    ('""', False, "unknown argument: "),
    ("-silent -help", False, None),
    ("--HELP", False, None),
    ("-Reinstall", False, "unknown argument: -Reinstall"),
    ("-CSPArgs A=1", False, "unknown argument: -CSPArgs"),
    ("-silent -vbscript", False, "no value after: -vbscript"),
]


@pytest.mark.parametrize("tail,with_csp,reason", HELP_CASES)
def test_help_box(setup_folder, information_icon, tail, with_csp, reason):
    with setup_folder.start_setup(tail, env={"TMP": setup_folder.win}) as run:
        box = run.wait_box(HELP_CAPTION)
        assert box.text == (CSP_HELP_TEXT if with_csp else HELP_TEXT)
        assert box.buttons == [IDOK]
        assert box.has_icon and box.icon_hash() == information_icon
        assert_owned_by_hidden_static_window(box)
        box.press(IDOK)
        result = run.wait()
    assert (result.exit_code, result.stdout) == (0, "")
    assert len(run.boxes) == 1
    # The own log closes with the exit code, after what brought the help up.
    [log] = setup_folder.unix.glob(f"{OWN_LOG_PREFIX}*.log")
    events = [line[13:] for line in log.read_text(encoding="utf-8").splitlines()]
    assert events[-3 if reason else -2:] == ([reason] if reason else []) + ["help shown", "exit code 0"]


@pytest.mark.parametrize("tail", [
    "-silent",
    "-silent -norestart",
    "-SILENT -reinstall -noreboot",
    "-silent -SivetArgs /qn",
    "-silent -disablerm /skipinstallvalidate",
])
def test_silent_run_without_package_fails_quietly(setup_folder, tail):
    # A box in a silent run would block it until the harness gives up.
    result = setup_folder.run_setup(tail, timeout=60)
    assert (result.exit_code, result.stdout) == (NO_PACKAGE, "")


@pytest.mark.parametrize("folder,quoted", [("Папка с пробелом", True), ("plain", False)])
def test_options_follow_any_program_path(make_setup_folder, folder, quoted):
    setup = make_setup_folder(folder)
    result = setup.prefix.run(setup.command_line("-silent", quote_exe=quoted), cwd=setup.win)
    assert result.exit_code == NO_PACKAGE


@pytest.mark.parametrize("tail", [
    None,               # no arguments at all
    "   ",              # only blanks after the program path
    "-SivetArgs -silent",  # "-silent" is the value of -SivetArgs, so the run is not silent
    "-selectDlg",       # no configuration dialog outside CSP mode
])
def test_install_question_answered_no(setup_folder, tail):
    with setup_folder.start_setup(tail) as run:
        box = run.wait_box(PLUGIN_CAPTION)
        assert (box.text, box.buttons, box.has_icon) == (INSTALL_QUESTION, [IDYES, IDNO], False)
        assert_owned_by_hidden_static_window(box)
        box.press(IDNO)
        result = run.wait()
    assert result.exit_code == 0
    assert len(run.boxes) == 1


def test_install_question_answered_yes_without_package(setup_folder):
    with setup_folder.start_setup() as run:
        run.wait_box(PLUGIN_CAPTION).press(IDYES)
        # The plug-in step reports the unreadable package, then the run reports the
        # failed installation with its code (no log line: no log was named).
        for caption, text in [(ERROR_CAPTION, NO_PRODUCT_CODE),
                              (PLUGIN_CAPTION, f"{INSTALL_FAILED}: {NO_PACKAGE}.\n")]:
            error = run.wait_box(caption)
            assert (error.text, error.buttons, error.has_icon) == (text, [IDOK], True)
            assert_owned_by_hidden_static_window(error)
            error.press(IDOK)
        assert run.wait().exit_code == NO_PACKAGE


# Busy-waits (Wine's WScript.Sleep is a stub that aborts the script) before it writes
# its first argument into the file named by its second.
WAITING_SCRIPT = """\
Dim started
started = Timer
Do While Timer >= started And Timer < started + 2
Loop
Set file = CreateObject("Scripting.FileSystemObject").CreateTextFile(WScript.Arguments(1), True)
file.WriteLine WScript.Arguments(0)
file.Close
"""


@pytest.mark.parametrize("unattended", [False, True])
def test_script_runs_and_is_waited_for(setup_folder, unattended):
    (setup_folder.unix / "wait.vbs").write_text(WAITING_SCRIPT, encoding="ascii")
    done = setup_folder.unix / "done.txt"
    # The value is quoted because it holds blanks; the script host gets it unquoted.
    tail = f'-silent -vbscript "{setup_folder.win}\\wait.vbs finished {setup_folder.win}\\done.txt"'
    result = setup_folder.run_setup(tail, env={"TMP": setup_folder.win}, timeout=120,
                                    unattended=unattended)
    # By its full quoted path; where nobody can see, in batch mode (no script box waits).
    [log] = setup_folder.unix.glob(f"{OWN_LOG_PREFIX}*.log")
    host = '"C:\\windows\\System32\\wscript.exe" ' + ("//B " if unattended else "")
    assert f"run: {host}{setup_folder.win}\\wait.vbs" in log.read_text(encoding="utf-8")
    # The plug-in step still runs after the script, and fails for want of a package.
    assert result.exit_code == NO_PACKAGE
    assert done.read_text().strip() == "finished"
