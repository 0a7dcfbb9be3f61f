"""Real Windows Installer packages for the end-to-end tests and the demo, built with wixl.

A package is described by a ``PackageSpec`` (file name, product code, version, features,
whether it fails or asks for a restart, how it replaces other versions) and built by
``build_package(pkg)``, which caches the result by the generated WiX source, so a
session builds each distinct package once.  ``plugin_package(version, arch)`` makes
the description of a plug-in package the way the bootstrapper expects to find one
("sivetcom-x64.msi", "sivetcom-win32-rus.msi", ...), with a product code derived
from the architecture and the version (packages of different versions must have
different product codes: once a product code is installed, Wine's msi reads that
product's cached copy instead of a package file carrying the same code).

What every package installs:
  * ProgramFilesFolder (ProgramFiles64Folder for x64)\\Korvana\\<product dir>\\plugin.txt,
    whose text names the product, version and architecture (feature "Core");
  * the record key HKLM\\Software\\KorvanaTest\\<ProductCode> with the values of the
    properties msiexec received (RECORDED_PROPERTIES), so a test can see which
    properties the bootstrapper passed (feature "Core"); x86 packages write it into
    the 32-bit registry view, x64 packages into the 64-bit one (``pkg.registry_view``);
  * with ``npsivet`` "on" or "off", a feature "NPSIVET" holding the value
    NPSIVET=1 under the record key.  "on": installed by default; "off": present
    but not installed unless asked for (ADDLOCAL=ALL), so the installed product
    reports the feature as absent (INSTALLSTATE_ABSENT); "none": no such feature.

Ways a package ends (``fail``):
  * None: installs;
  * "condition": a launch condition that is never true.  msiexec then ends with 1603;
    with a basic user interface (/qb) msiexec first shows the condition's text in a
    box captioned "Install Failed" and waits for OK (FAIL_BOX_CAPTION);
  * "action": an immediate custom action that runs "cmd.exe /c exit 1" before
    anything is changed.  No box even with /qb; Wine's msiexec then ends with 1627
    (ERROR_FUNCTION_FAILED), not 1603.
``reboot``: the package schedules a restart after installing (ScheduleReboot), so
msiexec ends with 3010, REBOOT=R or not.  Removing the package asks for no restart.
``properties``: rows of the Property table changed after wixl has built the package
(msibuild), for packages wixl refuses to make: no ProductCode, an odd ProductVersion,
a huge ProductName.  (name, text) sets a property, (name, None) removes it.

Replacing other versions (``upgrade``):
  * "replace" (default): an Upgrade table that finds every other version of the
    same upgrade code, older or newer, and removes it before installing
    (RemoveExistingProducts right after InstallValidate), so a downgrade installs
    too;
  * "major": <MajorUpgrade>, which removes older versions and refuses to install
    over a newer one (a launch condition: 1603, and the "Install Failed" box
    under /qb);
  * "none": other versions stay installed side by side.

Command line:
    /usr/bin/python3 tests/e2e/msi_packages.py --demo OUTDIR
        writes the demo plug-in packages sivetcom-x64.msi and sivetcom-win32.msi
        (version DEMO_VERSION) into OUTDIR.
    /usr/bin/python3 tests/e2e/msi_packages.py --verify
        builds one package of each kind and installs it with plain msiexec in a
        scratch Wine prefix under Xvfb, printing exit codes and the log lines that
        matter (a few minutes).
Environment: KORVANA_MSI_CACHE moves the cache (default build/msi/package-cache).
"""

from __future__ import annotations

import argparse
import hashlib
import os
import re
import shutil
import subprocess
import sys
import tempfile
import uuid
from dataclasses import dataclass, replace
from pathlib import Path
from typing import Optional
from xml.sax.saxutils import quoteattr

REPO_ROOT = Path(__file__).resolve().parents[2]

# Upgrade codes of the test plug-in product, one per architecture (a 64-bit and a
# 32-bit package are two products, as they would be in the field).
PLUGIN_UPGRADE_CODES = {
    "x64": "{4B5F0E2A-7C1D-4E8B-9A63-1D2E3F405A61}",
    "win32": "{4B5F0E2A-7C1D-4E8B-9A63-1D2E3F405A32}",
}
# wixl leaves non-ASCII property values empty, so the test product has an ASCII name.
PLUGIN_PRODUCT_NAME = "Korvana EDS Browser plug-in"
MANUFACTURER = "Korvana Test"
DEMO_VERSION = "2.0.13"

RECORD_KEY = "Software\\KorvanaTest"
RECORDED_PROPERTIES = ("ProductVersion", "ADDNPSIVET", "REINSTALL", "REINSTALLMODE", "REBOOT",
                       "ADDLOCAL", "COMPADDLOCAL", "MSIRESTARTMANAGERCONTROL",
                       "SKIPINSTALLVALIDATE")
FAIL_CONDITION_TEXT = "This Korvana test package never installs."
FAIL_BOX_CAPTION = "Install Failed"  # Wine msiexec's box for a failed launch condition

# Exit codes of msiexec met with these packages.
ERROR_SUCCESS = 0
ERROR_INSTALL_FAILURE = 1603
ERROR_FUNCTION_FAILED = 1627
ERROR_SUCCESS_REBOOT_REQUIRED = 3010

_NAMESPACE = uuid.UUID("0b8e2f6c-52f1-4c1e-9d7a-6a2f3c1e8b40")


def derived_guid(*parts: str) -> str:
    """A braced upper-case GUID that always comes out the same for the same parts."""
    return "{" + str(uuid.uuid5(_NAMESPACE, "\x1f".join(parts))).upper() + "}"


@dataclass(frozen=True)
class PackageSpec:
    """What one package is; see the module text for the meaning of each choice."""

    file_name: str
    product_code: str
    version: str
    upgrade_code: str = PLUGIN_UPGRADE_CODES["x64"]
    product_name: str = PLUGIN_PRODUCT_NAME
    arch: str = "x86"  # "x86" or "x64": the package's platform
    npsivet: str = "on"  # "on", "off" or "none"
    fail: Optional[str] = None  # None, "condition" or "action"
    reboot: bool = False
    upgrade: str = "replace"  # "replace", "major" or "none"
    payload_dir: str = "Plugin"
    properties: tuple[tuple[str, Optional[str]], ...] = ()

    def __post_init__(self):
        if not self.product_name.isascii():
            raise ValueError("wixl leaves non-ASCII property values empty: use an ASCII name")
        choices = {"arch": ("x86", "x64"), "npsivet": ("on", "off", "none"),
                   "fail": (None, "condition", "action"), "upgrade": ("replace", "major", "none")}
        for name, allowed in choices.items():
            if getattr(self, name) not in allowed:
                raise ValueError(f"{name} must be one of {allowed}")
        if not re.fullmatch(r"\{[0-9A-F]{8}(-[0-9A-F]{4}){3}-[0-9A-F]{12}\}", self.product_code):
            raise ValueError(f"product code {self.product_code!r} is not an upper-case braced GUID")
        for name, value in self.properties:
            if not re.fullmatch(r"\w+", name) or (value is not None and (not value.isascii() or "'" in value)):
                raise ValueError(f"property {name!r}: a plain name and an ASCII value without quotes")

    @property
    def registry_view(self) -> int:
        """The registry view (32 or 64) the record key lands in, in a 64-bit prefix."""
        return 64 if self.arch == "x64" else 32

    @property
    def record_key(self) -> str:
        return f"HKLM\\{RECORD_KEY}\\{self.product_code}"

    @property
    def uninstall_key(self) -> str:
        """Where Windows Installer registers the installed product (64-bit view)."""
        return f"HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\{self.product_code}"

    def payload_path(self) -> str:
        """The Windows path of the installed payload file in a 64-bit prefix."""
        folder = "Program Files" if self.arch == "x64" else "Program Files (x86)"
        return f"C:\\{folder}\\Korvana\\{self.payload_dir}\\plugin.txt"

    def payload_text(self) -> str:
        return f"{self.product_name} {self.version} {self.arch}\n"


def plugin_package(version: str, arch: str = "x64", *, language: Optional[str] = None,
                   file_name: Optional[str] = None, variant: str = "", **choices) -> PackageSpec:
    """The description of a plug-in package of the architecture named in its file name.

    arch      "x64" (an x64 package named "*x64*") or "win32" (an x86 one, "*win32*")
    language  None, "rus" or "eng": the language word of the file name
    variant   any text that makes the product code differ from the plain package's
              of the same version (for example a failing build of a version)
    choices   the other PackageSpec fields (npsivet, fail, reboot, upgrade, ...)
    """
    if arch not in PLUGIN_UPGRADE_CODES:
        raise ValueError("arch must be 'x64' or 'win32'")
    if file_name is None:
        file_name = f"sivetcom-{arch}{'-' + language if language else ''}.msi"
    choices.setdefault("product_code", derived_guid("plugin", arch, version, variant))
    choices.setdefault("upgrade_code", PLUGIN_UPGRADE_CODES[arch])
    return PackageSpec(file_name=file_name, version=version,
                       arch="x64" if arch == "x64" else "x86", **choices)


# --------------------------------------------------------------------------- WiX source


def _component(cid: str, guid: str, win64: bool, body: str) -> str:
    bits = ' Win64="yes"' if win64 else ""
    return f'<Component Id="{cid}" Guid="{guid}"{bits}>\n{body}\n              </Component>'


def wxs_source(pkg: PackageSpec) -> str:
    """The WiX source of a package."""
    win64 = pkg.arch == "x64"
    program_files = "ProgramFiles64Folder" if win64 else "ProgramFilesFolder"
    # The payload component keeps its GUID across versions of one product line, so an
    # upgrade moves the file from the old product to the new one; the record
    # components are the product's own, like the key they write.
    payload_guid = derived_guid("payload", pkg.upgrade_code, pkg.arch, pkg.payload_dir)
    record_guid = derived_guid("record", pkg.product_code)
    npsivet_guid = derived_guid("npsivet", pkg.product_code)
    key = f"{RECORD_KEY}\\[ProductCode]"
    key_path = ' KeyPath="yes"'
    values = "\n".join(
        f'                <RegistryValue Root="HKLM" Key="{key}" Name="{name}" Type="string" '
        f'Value="[{name}]"{key_path if i == 0 else ""} />'
        for i, name in enumerate(RECORDED_PROPERTIES))
    components = [
        _component("Payload", payload_guid, win64,
                   '                <File Id="PayloadFile" Name="plugin.txt" Source="plugin.txt" KeyPath="yes" />'),
        _component("Record", record_guid, win64, values),
    ]
    features = ['<Feature Id="Core" Level="1">\n      <ComponentRef Id="Payload" />\n'
                '      <ComponentRef Id="Record" />\n    </Feature>']
    if pkg.npsivet != "none":
        components.append(_component(
            "NpSivet", npsivet_guid, win64,
            f'                <RegistryValue Root="HKLM" Key="{key}" Name="NPSIVET" Type="string" '
            f'Value="1" KeyPath="yes" />'))
        level = 1 if pkg.npsivet == "on" else 1000  # above INSTALLLEVEL 1: not installed by default
        features.append(f'<Feature Id="NPSIVET" Level="{level}">\n      <ComponentRef Id="NpSivet" />\n'
                        f'    </Feature>')

    upgrade = ""
    sequence = []
    if pkg.upgrade == "major":
        upgrade = '<MajorUpgrade DowngradeErrorMessage="A newer version is already installed." />'
    elif pkg.upgrade == "replace":
        upgrade = (f'<Upgrade Id="{pkg.upgrade_code}">\n'
                   f'      <UpgradeVersion Minimum="0.0.0" IncludeMinimum="yes" Maximum="{pkg.version}" '
                   f'IncludeMaximum="no" Property="KORVANA_OLDER_FOUND" />\n'
                   f'      <UpgradeVersion Minimum="{pkg.version}" IncludeMinimum="no" '
                   f'Property="KORVANA_NEWER_FOUND" />\n    </Upgrade>')
        # Explicit numbers: wixl misplaces actions given by "After" when there are several.
        sequence.append('<RemoveExistingProducts Sequence="1450" />')
    condition = ""
    custom = ""
    if pkg.fail == "condition":
        condition = f'<Condition Message="{FAIL_CONDITION_TEXT}">KORVANA_NEVER_SET</Condition>'
    elif pkg.fail == "action":
        custom = ('<Property Id="KORVANA_CMD" Value="cmd.exe" />\n'
                  '    <CustomAction Id="KorvanaFail" Property="KORVANA_CMD" ExeCommand="/c exit 1" Return="check" />')
        sequence.append('<Custom Action="KorvanaFail" Sequence="1010" />')
    if pkg.reboot:
        sequence.append('<ScheduleReboot Sequence="6610">NOT (REMOVE = "ALL")</ScheduleReboot>')
    sequence_xml = ("<InstallExecuteSequence>\n      " + "\n      ".join(sequence) +
                    "\n    </InstallExecuteSequence>") if sequence else ""

    return f"""<?xml version="1.0" encoding="utf-8"?>
<Wix xmlns="http://schemas.microsoft.com/wix/2006/wi">
  <Product Id="{pkg.product_code}" Name={quoteattr(pkg.product_name)} Language="1033"
           Version="{pkg.version}" Manufacturer="{MANUFACTURER}" UpgradeCode="{pkg.upgrade_code}">
    <Package InstallerVersion="200" Compressed="yes" InstallScope="perMachine" />
    <Media Id="1" Cabinet="payload.cab" EmbedCab="yes" />
    {upgrade}
    {condition}
    {custom}
    <Directory Id="TARGETDIR" Name="SourceDir">
      <Directory Id="{program_files}">
        <Directory Id="KorvanaDir" Name="Korvana">
          <Directory Id="INSTALLDIR" Name={quoteattr(pkg.payload_dir)}>
              {(chr(10) + "              ").join(components)}
          </Directory>
        </Directory>
      </Directory>
    </Directory>
    {(chr(10) + "    ").join(features)}
    {sequence_xml}
  </Product>
</Wix>
"""


# --------------------------------------------------------------------------- building


def cache_dir() -> Path:
    return Path(os.environ.get("KORVANA_MSI_CACHE", REPO_ROOT / "build" / "msi" / "package-cache"))


def _wixl_version() -> str:
    completed = subprocess.run(["wixl", "--version"], capture_output=True, text=True, check=True)
    return completed.stdout.strip()


def build_package(pkg: PackageSpec, dest_dir: Optional[Path] = None,
                  name: Optional[str] = None) -> Path:
    """Builds the package (or takes it from the cache) and returns its path.

    With ``dest_dir`` the package is also copied there as ``name`` (default: the
    package's file name) and that copy's path is returned.
    """
    source = wxs_source(pkg)
    payload = pkg.payload_text()
    parts = [source, payload, pkg.arch, _wixl_version()] + ([repr(pkg.properties)] if pkg.properties else [])
    key = hashlib.sha256("\0".join(parts).encode()).hexdigest()[:24]
    cached = cache_dir() / key / pkg.file_name
    if not cached.is_file():
        cached.parent.parent.mkdir(parents=True, exist_ok=True)
        # Built in a folder of its own and moved into place whole, so a concurrent
        # build of the same package never sees half a file.
        work = Path(tempfile.mkdtemp(prefix="build-", dir=cached.parent.parent))
        try:
            (work / "package.wxs").write_text(source, encoding="utf-8")
            (work / "plugin.txt").write_text(payload, encoding="ascii", newline="")
            completed = subprocess.run(
                ["wixl", "-a", pkg.arch, "-o", pkg.file_name, "package.wxs"],
                cwd=work, capture_output=True, text=True)
            if completed.returncode != 0 or not (work / pkg.file_name).is_file():
                raise RuntimeError(f"wixl failed for {pkg}:\n{completed.stdout}{completed.stderr}")
            _change_properties(work / pkg.file_name, pkg.properties)
            ready = work / "ready"
            ready.mkdir()
            (work / pkg.file_name).rename(ready / pkg.file_name)
            (work / "package.wxs").rename(ready / "package.wxs")
            try:
                ready.rename(cached.parent)
            except OSError:
                if not cached.is_file():
                    raise
        finally:
            shutil.rmtree(work, ignore_errors=True)
    if dest_dir is None:
        return cached
    dest_dir = Path(dest_dir)
    dest_dir.mkdir(parents=True, exist_ok=True)
    target = dest_dir / (name or pkg.file_name)
    shutil.copyfile(cached, target)
    return target


def _change_properties(package: Path, properties) -> None:
    """Applies PackageSpec.properties to a built package's Property table."""
    for name, value in properties:
        queries = [f"DELETE FROM `Property` WHERE `Property`='{name}'"]
        if value is not None:
            queries.append(f"INSERT INTO `Property` (`Property`, `Value`) VALUES ('{name}', '{value}')")
        for query in queries:
            completed = subprocess.run(["msibuild", str(package), "-q", query], capture_output=True, text=True)
            if completed.returncode != 0:
                raise RuntimeError(f"msibuild {query[:80]!r} failed:\n{completed.stdout}{completed.stderr}")


# --------------------------------------------------------------------------- changed after signing

# The start of an Authenticode signature (PKCS #7 signedData's content type, DER), and
# of a cabinet. Each begins its stream, and so a 64-byte mini sector of the compound
# file or a whole sector: the few bytes after it lie in the same stream.
_SIGNED_DATA_OID = bytes.fromhex("06092A864886F70D010702")
_CABINET = b"MSCF"


def _flip(path: Path, marker: bytes, offset: int) -> Path:
    data = bytearray(path.read_bytes())
    at = data.find(marker)
    if at < 0:
        raise ValueError(f"{path} holds no {marker!r}")
    data[at + offset] ^= 0xFF
    path.write_bytes(bytes(data))
    return path


def change_cabinet(path: Path) -> Path:
    """Changes, in place, a byte that the package signature's digest covers: the first
    reserved field of the embedded cabinet's header (which no extraction reads)."""
    return _flip(Path(path), _CABINET, 4)


def change_signature(path: Path) -> Path:
    """Changes, in place, a byte of a signed package's signature itself, a few bytes
    into its signedData."""
    return _flip(Path(path), _SIGNED_DATA_OID, len(_SIGNED_DATA_OID) + 8)


def demo_packages(version: str = DEMO_VERSION) -> list[PackageSpec]:
    """The demo's plug-in packages: one per architecture, both installing cleanly."""
    return [plugin_package(version, "x64"), plugin_package(version, "win32")]


# --------------------------------------------------------------------------- logs


def read_log(path: Path) -> str:
    """The text of an installer log (UTF-16 with a byte-order mark, or 8-bit)."""
    data = Path(path).read_bytes()
    if data.startswith(b"\xff\xfe") or data.startswith(b"\xfe\xff"):
        return data.decode("utf-16")
    return data.decode("utf-8", "replace")


def log_properties(text: str) -> dict[str, str]:
    """The property dump at the end of a verbose log: {name: value}.

    Windows Installer writes "Property(S): NAME = value" lines (Wine's msi too), and
    "Property(C): ..." for the client side; the last value of a name wins.
    """
    properties: dict[str, str] = {}
    for match in re.finditer(r"^Property\([SC]\): ([^=\r\n]+?) = ([^\r\n]*)$", text, re.M):
        properties[match.group(1)] = match.group(2)
    return properties


# --------------------------------------------------------------------------- self-check


class _ScratchPrefix:
    """A throwaway prefix under xvfb-run, for --verify only: runs batch files there."""

    def __init__(self, arch: str):
        self.root = Path(tempfile.mkdtemp(prefix=f"korvana-msi-verify-{arch}-"))
        self.env = dict(os.environ, WINEPREFIX=str(self.root / "prefix"), WINEDEBUG="-all",
                        WINEDLLOVERRIDES="mscoree,mshtml=")
        self.env.pop("WINEARCH", None)
        if arch == "win32":
            self.env["WINEARCH"] = "win32"
        self._batch(["@echo off"])  # creates the prefix

    @property
    def drive_c(self) -> Path:
        return self.root / "prefix" / "drive_c"

    def _batch(self, lines: list[str]) -> str:
        self.root.joinpath("prefix", "drive_c").mkdir(parents=True, exist_ok=True)
        (self.drive_c / "verify.bat").write_bytes(("\r\n".join(lines) + "\r\n").encode("ascii"))
        completed = subprocess.run(
            ["xvfb-run", "-a", "sh", "-c", "wine cmd /c C:\\\\verify.bat; wineserver -w"],
            env=self.env, capture_output=True, text=True, timeout=600)
        return completed.stdout

    def msiexec(self, args: str) -> int:
        """Runs msiexec with that argument text and returns its full exit code."""
        output = self._batch(["@echo off", f'start /wait "" msiexec {args}', "echo rc=%errorlevel%"])
        match = re.search(r"rc=(-?\d+)", output)
        if not match:
            raise RuntimeError(f"no exit code from msiexec {args}: {output!r}")
        return int(match.group(1)) & 0xFFFFFFFF

    def reg_query(self, key: str, view: int) -> str:
        return self._batch(["@echo off", f'reg query "{key}" /s /reg:{view}'])

    def close(self) -> None:
        subprocess.run(["wineserver", "-k"], env=self.env, capture_output=True)
        shutil.rmtree(self.root, ignore_errors=True)


def verify() -> bool:
    """Installs one package of each kind with plain msiexec and checks the outcome."""
    ok = True

    def has_npsivet(reg_output: str) -> bool:
        return bool(re.search(r"^\s+NPSIVET\s+REG_SZ\s+1", reg_output, re.M))

    def check(what: str, got, expected) -> None:
        nonlocal ok
        good = got == expected
        ok &= good
        print(f"  {'ok ' if good else 'BAD'} {what}: {got!r}" + ("" if good else f" (expected {expected!r})"))

    prefix = _ScratchPrefix("win64")
    try:
        old = plugin_package("2.0.12", "x64")
        new = plugin_package("2.0.13", "x64", reboot=True, npsivet="off")
        failing = plugin_package("2.0.14", "x64", variant="fails", fail="condition")
        failing_action = plugin_package("2.0.14", "x64", variant="fails-action", fail="action")
        major_old = plugin_package("3.0.1", "x64", variant="major", upgrade="major",
                                   upgrade_code=derived_guid("major-line"))
        major_new = replace(major_old, version="3.0.2", product_code=derived_guid("major", "3.0.2"))
        for pkg in (old, new, failing, failing_action, major_old, major_new):
            build_package(pkg, prefix.drive_c, f"{pkg.version}-{pkg.fail or 'ok'}-{pkg.file_name}")

        def path(pkg):
            return f"C:\\{pkg.version}-{pkg.fail or 'ok'}-{pkg.file_name}"

        def log(name):
            return log_properties(read_log(prefix.drive_c / name))

        print("fresh install of 2.0.12 with the bootstrapper's properties")
        check("exit code", prefix.msiexec(f'/i "{path(old)}" /Lv "C:\\a.log" REBOOT=R  /qn ADDNPSIVET=1'), 0)
        properties = log("a.log")
        check("log REBOOT", properties.get("REBOOT"), "R")
        check("log ADDNPSIVET", properties.get("ADDNPSIVET"), "1")
        record = prefix.reg_query(old.record_key, old.registry_view)
        check("record ADDNPSIVET=1", bool(re.search(r"ADDNPSIVET\s+REG_SZ\s+1", record)), True)
        check("record NPSIVET feature", has_npsivet(record), True)
        check("payload", (prefix.drive_c / "Program Files/Korvana/Plugin/plugin.txt").read_text(),
              old.payload_text())

        print("update to 2.0.13 (another product code, schedules a restart, NPSIVET off)")
        check("exit code", prefix.msiexec(f'/i "{path(new)}" /Lv "C:\\b.log" REBOOT=R /qn'), 3010)
        check("old record gone", "KorvanaTest" in prefix.reg_query(old.record_key, 64), False)
        record = prefix.reg_query(new.record_key, new.registry_view)
        check("new record, no NPSIVET", ("ProductVersion" in record, has_npsivet(record)), (True, False))
        check("payload", (prefix.drive_c / "Program Files/Korvana/Plugin/plugin.txt").read_text(),
              new.payload_text())

        print("reinstall of 2.0.13 with REINSTALL=ALL REINSTALLMODE=vomus ADDLOCAL=ALL")
        check("exit code", prefix.msiexec(
            f'/i "{path(new)}" /Lv "C:\\c.log" REBOOT=R  /qn ADDLOCAL=ALL REINSTALL=ALL REINSTALLMODE=vomus'), 3010)
        properties = log("c.log")
        check("log REINSTALL", (properties.get("REINSTALL"), properties.get("REINSTALLMODE")), ("ALL", "vomus"))
        record = prefix.reg_query(new.record_key, new.registry_view)
        # REINSTALL reinstalls only what is installed: ADDLOCAL=ALL beside it adds nothing.
        check("record REINSTALL=ALL, still no NPSIVET", (bool(re.search(r"REINSTALL\s+REG_SZ\s+ALL", record)),
                                                   has_npsivet(record)), (True, False))

        print("failing package: launch condition (/qn), custom action (/qb)")
        check("condition exit code", prefix.msiexec(f'/i "{path(failing)}" /Lv "C:\\d.log" /qn'), 1603)
        check("action exit code", prefix.msiexec(f'/i "{path(failing_action)}" /Lv "C:\\e.log" /qb'), 1627)
        check("2.0.13 still installed", "ProductVersion" in prefix.reg_query(new.record_key, 64), True)

        print("downgrade to 2.0.12 replaces 2.0.13")
        check("exit code", prefix.msiexec(f'/i "{path(old)}" /qn'), 0)
        check("2.0.13 gone", "KorvanaTest" in prefix.reg_query(new.record_key, 64), False)
        check("uninstall exit code", prefix.msiexec(f"/x {old.product_code} /qn"), 0)

        print("fresh install of 2.0.13 (NPSIVET off) leaves the feature out")
        check("exit code", prefix.msiexec(f'/i "{path(new)}" /qn'), 3010)
        record = prefix.reg_query(new.record_key, new.registry_view)
        check("record without NPSIVET", ("ProductVersion" in record, has_npsivet(record)), (True, False))
        check("uninstall exit code (no restart asked)", prefix.msiexec(f"/x {new.product_code} /qn"), 0)

        print("MajorUpgrade: 3.0.2 replaces 3.0.1; 3.0.1 over 3.0.2 is refused")
        check("3.0.1", prefix.msiexec(f'/i "{path(major_old)}" /qn'), 0)
        check("3.0.2", prefix.msiexec(f'/i "{path(major_new)}" /qn'), 0)
        check("3.0.1 gone", "KorvanaTest" in prefix.reg_query(major_old.record_key, 64), False)
        check("3.0.1 again", prefix.msiexec(f'/i "{path(major_old)}" /qn'), 1603)
    finally:
        prefix.close()

    prefix = _ScratchPrefix("win32")
    try:
        pkg = plugin_package("2.0.13", "win32", reboot=True)
        build_package(pkg, prefix.drive_c)
        print("32-bit prefix: win32 package")
        check("exit code", prefix.msiexec(f'/i "C:\\{pkg.file_name}" /qn ADDNPSIVET=1'), 3010)
        check("record", "ADDNPSIVET    REG_SZ    1" in prefix.reg_query(pkg.record_key, 32), True)
    finally:
        prefix.close()
    return ok


def main(argv: Optional[list[str]] = None) -> int:
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    group = parser.add_mutually_exclusive_group(required=True)
    group.add_argument("--demo", metavar="OUTDIR", type=Path, help="write the demo plug-in packages")
    group.add_argument("--verify", action="store_true", help="install each kind of package with msiexec")
    parser.add_argument("--version", default=DEMO_VERSION, help="version of the demo packages")
    args = parser.parse_args(argv)
    if args.demo:
        for pkg in demo_packages(args.version):
            print(build_package(pkg, args.demo))
        return 0
    return 0 if verify() else 1


if __name__ == "__main__":
    sys.exit(main())
