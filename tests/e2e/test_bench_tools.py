"""Tools that the benches time, checked to be what their figures take them for.

loadmsi.exe is bench/install-overhead's floor for the bootstrapper's start-up: a GUI
program (no console, as the bootstrapper) that loads msi.dll and says by its exit code
whether it did.
"""

import struct

from wine_harness import build_dir

LOADMSI = "loadmsi.exe"
IMAGE_SUBSYSTEM_WINDOWS_GUI = 2


def test_loadmsi_is_a_gui_program():
    image = (build_dir() / LOADMSI).read_bytes()
    pe = struct.unpack_from("<I", image, 0x3C)[0]
    assert image[pe:pe + 4] == b"PE\0\0"
    # Subsystem: 68 bytes into the optional header, after the signature and file header.
    assert struct.unpack_from("<H", image, pe + 4 + 20 + 68)[0] == IMAGE_SUBSYSTEM_WINDOWS_GUI


def test_loadmsi_loads_msi_dll_and_exits_with_0(prefix, setup_folder):
    setup_folder.add_file(build_dir() / LOADMSI)
    result = prefix.run(f'"{setup_folder.win}\\{LOADMSI}"', cwd=setup_folder.win)
    assert result.exit_code == 0, result


def test_loadmsi_fails_when_msi_dll_does_not_load(prefix, setup_folder):
    # msi.dll disabled for this one run: a floor that skipped it must not pass.
    setup_folder.add_file(build_dir() / LOADMSI)
    result = prefix.run(f'"{setup_folder.win}\\{LOADMSI}"', cwd=setup_folder.win,
                        unix_env={"WINEDLLOVERRIDES": "mscoree,mshtml,msi="})
    assert result.exit_code != 0, result
