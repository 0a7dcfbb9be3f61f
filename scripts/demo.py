"""Runs korvana-setup.exe under Wine against demo packages and tells what happened.

A fresh 64-bit prefix on its own Xvfb display; the demo packages (a plug-in of one
version for x64 and for win32) beside the executable in C:\\demo; then three runs:
the help box, a silent fresh installation, and a second silent run that finds the
same version installed and does nothing.
"""

import sys
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parents[1] / "tests" / "e2e"))

import msi_packages  # noqa: E402
import wine_harness  # noqa: E402
from wine_harness import IDOK, WinePrefix  # noqa: E402

DEMO = "C:\\demo"


def show(result):
    print(f"  exit code: {result.exit_code}")
    for line in result.stdout_lines:
        print(f"  standard output: {line}")


def main() -> int:
    build = wine_harness.build_dir()
    print("Creating a throwaway Wine prefix (64-bit) ...")
    prefix = WinePrefix.create("win64")
    try:
        folder = prefix.unix_path("C:\\") / "demo"
        folder.mkdir()
        (folder / "korvana-setup.exe").write_bytes((build / "korvana-setup.exe").read_bytes())
        packages = msi_packages.demo_packages()
        for package in packages:
            msi_packages.build_package(package, folder)
        print(f"{DEMO}: korvana-setup.exe, " + ", ".join(p.file_name for p in packages))
        exe = f'"{DEMO}\\korvana-setup.exe"'

        print("\n1. korvana-setup.exe -help")
        with prefix.start(f"{exe} -help", cwd=DEMO) as running:
            box = running.wait_box("Справка")
            print("  help box text:")
            for line in (box.text or "").splitlines():
                print(f"    | {line}")
            box.press(IDOK)
            show(running.wait())

        print("\n2. korvana-setup.exe -silent   (nothing installed yet)")
        result = prefix.run(f"{exe} -silent", cwd=DEMO, timeout=300)
        show(result)
        x64 = packages[0]
        payload = prefix.unix_path(x64.payload_path())
        print(f"  installed file {x64.payload_path()}: "
              + (payload.read_text().strip() if payload.is_file() else "missing"))
        logs = sorted(prefix.unix_path("C:\\users").rglob(f"{x64.file_name}_*.log"))
        if logs:
            props = msi_packages.log_properties(msi_packages.read_log(logs[-1]))
            print(f"  installer log: {logs[-1].name}")
            for name in ("REBOOT", "ADDNPSIVET", "ProductVersion"):
                print(f"    {name} = {props.get(name)}")
        own = sorted(prefix.unix_path("C:\\users").rglob(f"{wine_harness.OWN_LOG_PREFIX}*.log"))
        if own:
            print(f"  the bootstrapper's own log: {own[-1].name}")
            for line in own[-1].read_text(encoding="utf-8").splitlines():
                print(f"    | {line}")

        print("\n3. korvana-setup.exe -silent   (the same version is installed)")
        show(prefix.run(f"{exe} -silent", cwd=DEMO, timeout=300))
        after = sorted(prefix.unix_path("C:\\users").rglob(f"{x64.file_name}_*.log"))
        print(f"  installer logs before: {len(logs)}, after: {len(after)} "
              "(no installer run: there was nothing to do)")
        return 0
    finally:
        prefix.close()


if __name__ == "__main__":
    sys.exit(main())
