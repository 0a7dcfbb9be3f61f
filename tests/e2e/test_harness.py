"""The harness and its Windows tools, checked against msgbox.exe, a stand-in program.

Every other end-to-end test trusts these: that the launcher passes the command line
and environment exactly and reports the whole exit code, that uidriver reads texts
and presses buttons, that regtool reads the registry back.
"""

import re

import pytest

from wine_harness import IDNO, IDOK, IDYES, TOOLS_DIR_WIN, HarnessError, windows_command_line

MSGBOX = f"{TOOLS_DIR_WIN}\\msgbox.exe"
MB_YESNO, MB_ICONERROR, MB_ICONINFORMATION = 0x4, 0x10, 0x40


@pytest.mark.parametrize("code", [0, 7, 67, 1603, 3010, 0x80070005, 0xFFFFFFFF])
def test_launcher_reports_the_full_exit_code(prefix, code):
    result = prefix.run(f"{MSGBOX} -noshow -exit {code}")
    assert result.exit_code == code


@pytest.mark.parametrize("tail", [
    '-a "b c" d',
    '""',
    '   three leading blanks and trailing  ',
    '"unbalanced',
    'back\\\\slash\\" "quote"" ',
    'Справка \t таб',
])
def test_launcher_passes_the_command_line_exactly(prefix, tail):
    command_line = f"{MSGBOX} -noshow -printcmd {tail}"
    result = prefix.run(command_line)
    assert result.stdout_lines == [command_line]


def test_launcher_passes_the_rest_of_its_own_command_line(prefix):
    # A launcher started with an exact command line starts a second one in "--" mode.
    inner = f'{MSGBOX} -noshow -exit 5 -printcmd -print "a  b"'
    result = prefix.run(f"{TOOLS_DIR_WIN}\\launcher.exe --   {inner}")
    assert result.exit_code == 5
    assert inner in result.stdout_lines


def test_launcher_changes_the_environment_and_folder(prefix):
    prefix.unix_path("C:\\with blank").mkdir(exist_ok=True)
    result = prefix.run(f"{MSGBOX} -noshow -printenv TMP -printenv KORVANA_X -printenv EMPTY -printcwd",
                        env={"TMP": None, "KORVANA_X": "один=два", "EMPTY": ""}, cwd="C:\\with blank")
    assert result.stdout_lines == ["TMP unset", "KORVANA_X=один=два", "EMPTY=", "C:\\with blank"]


def test_a_program_that_never_ends_is_terminated(prefix):
    with pytest.raises(HarnessError, match="terminated"):
        prefix.start(f"{MSGBOX} -caption never-answered").wait(timeout=3)
    assert not [w for w in prefix.windows() if w.caption == "never-answered"]


def test_a_run_that_shows_a_window_fails_at_once(prefix):
    with pytest.raises(HarnessError, match="should not.*unexpected"):
        prefix.run(f"{MSGBOX} -caption unexpected", timeout=600)
    assert not [w for w in prefix.windows() if w.caption == "unexpected"]


def test_an_unattended_run_has_a_window_station_nobody_sees(prefix):
    # The station's UOI_FLAGS: WSF_VISIBLE (1) on the interactive one, 0 on the one
    # launcher -u makes, which is the run's own.
    attended = prefix.run(f"{MSGBOX} -noshow -printstation")
    assert attended.stdout_lines == ["WinSta0\\Default flags 1"]
    unattended = prefix.run(f"{MSGBOX} -noshow -printstation", unattended=True)
    station = re.fullmatch(r"(KorvanaUnattended-\d+-\d+)\\Default flags 0", unattended.stdout_lines[0])
    assert station, unattended.stdout_lines
    assert f"launcher: station {station.group(1)}" in unattended.launcher_stderr
    # A box there never returns: the launcher's limit ends the program and says so
    # (an inner launcher's report is the outer one's output).
    hung = prefix.run(f"{TOOLS_DIR_WIN}\\launcher.exe -u -t 3000 -- {MSGBOX} -print before -caption never-seen")
    assert hung.exit_code == 254
    assert [line for line in hung.stdout_lines if not line.startswith("launcher: ")] == ["before"]
    assert hung.stdout_lines[-1] == "launcher: timeout"


def test_box_texts_and_buttons_are_read_and_pressed(prefix):
    text = "Строка 1\nСтрока\t2 \\ конец"
    command_line = windows_command_line([MSGBOX, "-caption", "Вопрос", "-style", f"{MB_YESNO:x}",
                                         "-text", text.replace("\\", "\\\\").replace("\n", "\\n")
                                         .replace("\t", "\\t"), "-print", "до"])
    with prefix.start(command_line) as run:
        box = run.wait_box("Вопрос")
        assert (box.text, box.buttons, box.has_icon) == (text, [IDYES, IDNO], False)
        assert box.screenshot.is_file() and box.screenshot.stat().st_size > 0
        # Where it lies: inside the 1024x768 screen, and not a point.
        left, top, width, height = box.rect()
        assert 0 <= left < left + width <= 1024 and 0 <= top < top + height <= 768
        assert box.draw_active()
        box.press(IDNO)
        result = run.wait()
    assert (result.exit_code, result.stdout_lines) == (IDNO, ["до"])


def test_boxes_are_met_one_after_another(prefix):
    command_line = (f"{MSGBOX} -caption first -style {MB_ICONERROR:x} -show "
                    f"-caption second -style {MB_ICONINFORMATION:x} -show")
    with prefix.start(command_line) as run:
        first = run.wait_box("first")
        first.press(IDOK)
        second = run.wait_box("second")
        assert second.buttons == [IDOK] and second.has_icon
        second.press(IDOK)
        assert run.wait().exit_code == IDOK
    assert [b.screenshot.name for b in run.boxes] == ["01-first.png", "02-second.png"]


def test_icon_hashes_tell_information_from_error(prefix):
    hashes = {}
    for style in (MB_ICONINFORMATION, MB_ICONERROR, MB_ICONINFORMATION):
        with prefix.start(f"{MSGBOX} -caption icon -style {style:x}") as run:
            box = run.wait_box("icon")
            hashes.setdefault(style, set()).add(box.icon_hash())
            box.press(IDOK)
            run.wait()
    assert len(hashes[MB_ICONINFORMATION]) == 1
    assert hashes[MB_ICONINFORMATION] != hashes[MB_ICONERROR]


def test_registry_round_trip(prefix):
    key = "HKCU\\Software\\KorvanaE2E\\Проверка"
    prefix.reg_add(key, "Text", "Привет\tмир")
    prefix.reg_add(key, "Code", 1603, kind="REG_DWORD")
    prefix.reg_add(key + "\\Sub")
    assert prefix.reg_query(key) == {"Text": ("REG_SZ", "Привет\tмир"), "Code": ("REG_DWORD", 1603)}
    assert prefix.reg_subkeys(key) == ["Sub"]
    assert prefix.reg_delete("HKCU\\Software\\KorvanaE2E")
    assert not prefix.reg_key_exists(key)
    assert not prefix.reg_delete("HKCU\\Software\\KorvanaE2E")


def test_registry_read_of_several_keys(prefix):
    # One run: each key in its own view, in the order asked, absent ones in between.
    key = "HKLM\\Software\\KorvanaE2E"  # a 32-bit view of its own
    prefix.reg_add(key, "View", "64", view=64)
    prefix.reg_add(key + "\\Sub", "N", 1, kind="REG_DWORD", view=64)
    prefix.reg_add(key, "View", "32", view=32)
    try:
        found = prefix.reg_read([(key, 64), (key + "\\Missing", 64), (key, 32), (key + "\\Sub", 64),
                                 ("HKCU\\Software\\KorvanaE2E-none", None)])
        assert [None if k is None else (k.values, k.subkeys) for k in found] == [
            ({"View": ("REG_SZ", "64")}, ["Sub"]), None, ({"View": ("REG_SZ", "32")}, []),
            ({"N": ("REG_DWORD", 1)}, []), None]
    finally:
        for view in (32, 64):
            prefix.reg_delete(key, view=view)


def test_32bit_prefix(prefix32):
    assert not prefix32.unix_path("C:\\windows\\syswow64").exists()
    result = prefix32.run(f"{MSGBOX} -noshow -printcmd -exit 3010")
    assert (result.exit_code, result.stdout_lines) == (3010, [f"{MSGBOX} -noshow -printcmd -exit 3010"])
