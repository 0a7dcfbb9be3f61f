"""An elevated installer started from a Downloads folder must not load a library that
someone dropped beside it under the name of one it loads."""

from __future__ import annotations

import shutil

import msi_packages as msi
from wine_harness import build_dir

# msi.dll, which the bootstrapper loads at run time, and libraries msi.dll and the
# system load on its behalf; comctl32.dll, which it loads by name for the manifest's
# side-by-side copy; none of them is a protected "known" library everywhere.
PLANTED = ("msi.dll", "version.dll", "cabinet.dll", "sxs.dll", "urlmon.dll", "wininet.dll",
           "wintrust.dll", "crypt32.dll", "uxtheme.dll", "dwmapi.dll", "cryptbase.dll", "comctl32.dll")
MSIEXEC = "C:\\windows\\system32\\msiexec.exe"
# Wine prefers its own built-in copy of a system library over a file of that name
# found on the search path; Windows takes the file. Make Wine take the file too, but
# for version.dll: Wine's user32 imports it at process start, before any program code
# runs, which Windows' user32 does not, so that would test Wine rather than us.
NATIVE_FIRST = {"WINEDLLOVERRIDES": "mscoree,mshtml=;"
                + ",".join(name[:-4] for name in PLANTED if name != "version.dll") + "=n,b"}


def test_libraries_beside_the_executable_are_never_loaded(prefix, setup_folder):
    package = msi.plugin_package("2.0.13", "x64", variant="planting")
    setup_folder.add_file(msi.build_package(package))
    for name in PLANTED:
        setup_folder.add_file(build_dir() / "planted.dll", name=name)

    def loads():
        return sorted(m.name for m in setup_folder.unix.glob("*.loaded-by-*"))

    # The plant works: a program that does not restrict its search loads msi.dll from
    # its own folder.
    shutil.copy2(build_dir() / "loadlib.exe", setup_folder.unix / "loadlib.exe")
    control = prefix.run(f'"{setup_folder.win}\\loadlib.exe" msi.dll', cwd=setup_folder.win,
                         unix_env=NATIVE_FIRST)
    assert f"msi.dll -> {setup_folder.win}\\msi.dll".lower() in control.stdout.lower(), control.stdout
    assert loads() == ["msi.dll.loaded-by-loadlib.exe"]
    (setup_folder.unix / "msi.dll.loaded-by-loadlib.exe").unlink()

    try:
        result = setup_folder.run_setup("-silent -SivetArgs /qn", env={"TMP": "C:\\windows\\temp"},
                                        unix_env=NATIVE_FIRST)
        assert result.exit_code == 0, result
        assert prefix.reg_query(package.record_key, package.registry_view) is not None
        assert loads() == []
    finally:
        prefix.run(f"{MSIEXEC} /x {package.product_code} /qn")
