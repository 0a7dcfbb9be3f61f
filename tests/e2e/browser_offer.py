"""The browser offer's test bed: a trusted local HTTPS download site, stand-in browser
installers in every signature state, and a stand-in SCHANNEL patch library.

Fixtures (imported by conftest.py):

``https_server`` (session)
    A ``DownloadServer`` (an ``HttpsServer``, see https_server.py) on the port of the
    build's KORVANA_DOWNLOAD_HOST (read from build/win32/CMakeCache.txt), with the
    test PKI (pki.py) made, and the test CA trusted in the session's 64-bit prefix.
    ``.url`` is the address the program downloads from, ``.host`` the host setting,
    ``.pki`` the certificates.

``browser_offer`` (per test)
    A ``BrowserOffer``: the server with no reply (404) and no recorded requests at the
    start of the test, fresh record files, and no patch library registered.  Typical
    use::

        def test_x(browser_offer, setup_folder):
            browser_offer.serve("signed", name="Yandex.exe")
            browser_offer.install_patch(result=1)
            result = setup_folder.run_setup(..., env=browser_offer.env(stub_exit=0))
            assert browser_offer.requests[0].user_agent == "Korvana Setup"
            assert browser_offer.stub_runs()[0].command_line == ...
            assert browser_offer.download_folders_left() == []
            assert browser_offer.patch_events() == [("call", result.pid)]

Stand-in installer variants (``VARIANTS``), made once per session from
browserstub.exe with osslsigncode and the publisher key:

    signed      signed by the test publisher (WinVerifyTrust: 0)
    unsigned    the stub as built (TRUST_E_NOSIGNATURE)
    tampered    signed, then one byte of its code section changed (TRUST_E_BAD_DIGEST)
    truncated   signed, then cut short in the middle of its signature (a failure)
    other-publisher
                signed by a second publisher under the same test CA (trusted, but
                refused by a build pinned to the test publisher)
"""

from __future__ import annotations

import itertools
import re
import shutil
import struct
import subprocess
from dataclasses import dataclass
from pathlib import Path
from typing import Mapping, Optional, Sequence, Union

import pytest

import pki as pki_module
from https_server import DOWNLOAD_PATH, HttpsServer, Reply, Request, port_of
from wine_harness import TOOLS_DIR_WIN, HarnessError, WinePrefix, _unescape, build_dir

STUB = "browserstub.exe"
PATCH_DLL = "korvpatch.dll"
# Our tools for this bed; copied into a prefix when first needed (the harness's own
# TOOLS are what every prefix gets).
OFFER_TOOLS = ("certtool.exe", "httpget.exe", "trustcheck.exe", "callexport.exe")
OFFER_DIR_WIN = "C:\\korvana-e2e\\offer"

# Where the program downloads the installer: a folder of its own, made for one
# download, below the Windows folder's Temp (Wine's Windows folder is C:\windows).
WINDOWS_TEMP = "C:\\windows\\Temp"
DOWNLOAD_FOLDER = re.compile(r"C:\\windows\\Temp\\korvana-[0-9a-f]{32}", re.I)

PATCH_KEY = "HKLM\\SYSTEM\\CurrentControlSet\\Control\\Session Manager\\KorvPatches"
PATCH_SUBKEY = PATCH_KEY + "\\SCHANNEL"
PATCH_VALUE = "Patch Dll"

VARIANTS = ("signed", "unsigned", "tampered", "truncated", "other-publisher")

# WinVerifyTrust results (winerror.h).
TRUST_OK = 0
TRUST_E_NOSIGNATURE = 0x800B0100
TRUST_E_BAD_DIGEST = 0x80096010


# --------------------------------------------------------------------------- the build


def download_host(build: Optional[Path] = None) -> str:
    """KORVANA_DOWNLOAD_HOST of the build tree (what the program was built to ask)."""
    cache = (build or build_dir()) / "CMakeCache.txt"
    if not cache.is_file():
        raise HarnessError(f"{cache} not found: configure the win32 preset first")
    match = re.search(r"^KORVANA_DOWNLOAD_HOST:\w+=(.*)$", cache.read_text(), re.M)
    if not match:
        raise HarnessError(f"{cache} has no KORVANA_DOWNLOAD_HOST")
    return match.group(1).strip()


def download_url(host: str) -> str:
    return f"https://{host}{DOWNLOAD_PATH}"


def install_tools(prefix: WinePrefix) -> None:
    """Copies this bed's tools (OFFER_TOOLS) from the build into the prefix's tools folder."""
    source = build_dir()
    missing = [name for name in OFFER_TOOLS if not (source / name).is_file()]
    if missing:
        raise HarnessError(f"{', '.join(missing)} not found in {source}: build the win32 tree")
    tools = prefix.unix_path(TOOLS_DIR_WIN)
    for name in OFFER_TOOLS:
        shutil.copy2(source / name, tools / name)


def trust_ca(prefix: WinePrefix, pki: pki_module.Pki) -> None:
    """Adds the test root CA to the prefix's LocalMachine "Root" store, which Wine's
    WinINet and WinTrust consult.  Only this throwaway prefix ever trusts it."""
    install_tools(prefix)
    target = prefix.unix_path(TOOLS_DIR_WIN) / "test-ca.der"
    shutil.copy2(pki.ca.der, target)
    result = prefix.run(f"{TOOLS_DIR_WIN}\\certtool.exe add {TOOLS_DIR_WIN}\\test-ca.der")
    if result.exit_code != 0:
        raise HarnessError(f"certtool did not trust the test CA: {result}")


# --------------------------------------------------------------------------- installers


def _pe_sections(data: bytes) -> tuple[int, list[tuple[bytes, int, int, int]]]:
    """(offset of the optional header, [(name, characteristics, raw offset, raw size)])."""
    pe = struct.unpack_from("<I", data, 0x3C)[0]
    if data[pe:pe + 4] != b"PE\0\0":
        raise ValueError("not a PE file")
    count, optional_size = struct.unpack_from("<H", data, pe + 6)[0], struct.unpack_from("<H", data, pe + 20)[0]
    optional = pe + 24
    table = optional + optional_size
    sections = []
    for i in range(count):
        entry = table + 40 * i
        name = data[entry:entry + 8].rstrip(b"\0")
        raw_size, raw_offset = struct.unpack_from("<II", data, entry + 16)
        characteristics = struct.unpack_from("<I", data, entry + 36)[0]
        sections.append((name, characteristics, raw_offset, raw_size))
    return optional, sections


def security_directory(data: bytes) -> tuple[int, int]:
    """(file offset, size) of the Authenticode signature of a PE32 file ((0, 0): none)."""
    optional, _ = _pe_sections(data)
    magic = struct.unpack_from("<H", data, optional)[0]
    directories = optional + (96 if magic == 0x10B else 112)
    return struct.unpack_from("<II", data, directories + 4 * 8)


def sign(source: Path, target: Path, pki: pki_module.Pki,
         signer: Optional[pki_module.Identity] = None) -> Path:
    """Signs ``source`` into ``target`` with ``signer`` (default: the test publisher;
    SHA-256, the CA certificate carried along so a verifier can build the chain)."""
    signer = signer or pki.publisher
    target.unlink(missing_ok=True)
    completed = subprocess.run(
        ["osslsigncode", "sign", "-certs", str(signer.cert), "-key", str(signer.key),
         "-ac", str(pki.ca.cert), "-h", "sha256", "-n", "Korvana test installer",
         "-in", str(source), "-out", str(target)], capture_output=True, text=True)
    if completed.returncode != 0:
        raise HarnessError(f"osslsigncode failed: {completed.stdout}{completed.stderr}")
    return target


def tamper(path: Path) -> Path:
    """Changes one byte in the middle of the code section, in place."""
    data = bytearray(path.read_bytes())
    _, sections = _pe_sections(bytes(data))
    code = [s for s in sections if s[1] & 0x20 and s[3] > 0]  # IMAGE_SCN_CNT_CODE
    if not code:
        raise ValueError(f"{path} has no code section")
    _, _, offset, size = code[0]
    data[offset + size // 2] ^= 0xFF
    path.write_bytes(bytes(data))
    return path


def truncate(path: Path) -> Path:
    """Cuts a signed file short, in place, half way into its signature (the file still
    claims a signature that is no longer all there)."""
    data = path.read_bytes()
    offset, size = security_directory(data)
    if not size:
        raise ValueError(f"{path} is not signed")
    path.write_bytes(data[:offset + size // 2])
    return path


def make_variants(folder: Path, pki: pki_module.Pki) -> dict[str, Path]:
    """The stand-in installer in each state of ``VARIANTS``, as files in ``folder``."""
    folder.mkdir(parents=True, exist_ok=True)
    stub = build_dir() / STUB
    if not stub.is_file():
        raise HarnessError(f"{stub} not found: build the win32 tree (target browserstub)")
    variants = {"unsigned": folder / "unsigned.exe"}
    shutil.copy2(stub, variants["unsigned"])
    variants["signed"] = sign(stub, folder / "signed.exe", pki)
    variants["other-publisher"] = sign(stub, folder / "other-publisher.exe", pki, pki.other_publisher)
    variants["tampered"] = tamper(sign(stub, folder / "tampered.exe", pki))
    variants["truncated"] = truncate(sign(stub, folder / "truncated.exe", pki))
    return variants


# --------------------------------------------------------------------------- records


@dataclass(frozen=True)
class StubRun:
    """One start of the stand-in installer: its module path, current directory and
    whole command line, as it saw them, what became of its attempts to rename and
    to overwrite its own file ("rename refused, overwrite refused" when both failed),
    and the other names in the folder it ran from ("/" between them, "" for none)."""

    module: str
    cwd: str
    command_line: str
    tampering: str
    neighbours: str


def read_stub_runs(path: Path) -> list[StubRun]:
    if not path.is_file():
        return []
    runs = []
    for line in path.read_text(encoding="utf-8").splitlines():
        fields = line.split("\t")
        if len(fields) != 5:
            raise HarnessError(f"stub record not understood: {line!r}")
        runs.append(StubRun(*(_unescape(f) for f in fields)))
    return runs


def read_patch_events(path: Path) -> list[tuple[str, int]]:
    """[("call", pid) | ("unload", pid), ...] in the order the library wrote them."""
    if not path.is_file():
        return []
    events = []
    for line in path.read_text(encoding="ascii").splitlines():
        what, pid = line.split(" ")
        events.append((what, int(pid)))
    return events


# --------------------------------------------------------------------------- checks in a prefix


@dataclass
class Fetch:
    """What httpget.exe reported: its exit code, its "name\\tvalue" lines and,
    apart, the seconds it took."""

    exit_code: int
    fields: dict[str, str]
    seconds: Optional[float] = None

    @property
    def open_error(self) -> Optional[int]:
        return int(self.fields["open-error"]) if "open-error" in self.fields else None


def fetch(prefix: WinePrefix, url: str, *, out: Optional[str] = None,
          max_bytes: Optional[int] = None) -> Fetch:
    """One WinINet GET from inside the prefix (tests/tools/httpget.c)."""
    args = [f"{TOOLS_DIR_WIN}\\httpget.exe"]
    if max_bytes is not None:
        args += ["-n", str(max_bytes)]
    args.append(url)
    if out is not None:
        args.append(f'"{out}"')
    result = prefix.run(" ".join(args), timeout=120)
    fields = {}
    for line in result.stdout.splitlines():
        name, _, value = line.partition("\t")
        fields[name] = _unescape(value)
    seconds = fields.pop("seconds", None)
    return Fetch(result.exit_code, fields, None if seconds is None else float(seconds))


def trust_verdicts(prefix: WinePrefix, paths: Sequence[str]) -> list[int]:
    """WinVerifyTrust's result for each file (Windows paths), asked the program's way."""
    quoted = " ".join(f'"{p}"' for p in paths)
    result = prefix.run(f"{TOOLS_DIR_WIN}\\trustcheck.exe {quoted}")
    verdicts = [int(line.rsplit("\t", 1)[1], 16) for line in result.stdout.splitlines()]
    if result.exit_code != 0 or len(verdicts) != len(paths):
        raise HarnessError(f"trustcheck: {result}")
    return verdicts


# --------------------------------------------------------------------------- session and test objects


class DownloadServer(HttpsServer):
    """The download site of a session: ``host`` (the build's setting), ``url`` (what
    the program asks), ``pki``, ``variants`` (stand-in installer files by state)."""

    def __init__(self, host: str, pki: pki_module.Pki, variants: Mapping[str, Path]):
        super().__init__(port_of(host), pki.server.cert, pki.server.key)
        self.host = host
        self.url = download_url(host)
        self.pki = pki
        self.variants = dict(variants)


class BrowserOffer:
    """One test's view of the download site and the stand-ins (see the module doc)."""

    _numbers = itertools.count(1)

    def __init__(self, prefix: WinePrefix, server: DownloadServer):
        self.prefix = prefix
        self.server = server
        self.url = server.url
        self.folder_win = f"{OFFER_DIR_WIN}\\{next(self._numbers)}"
        self.folder = prefix.unix_path(self.folder_win)
        shutil.rmtree(self.folder, ignore_errors=True)
        self.folder.mkdir(parents=True)
        self.stub_record_win = f"{self.folder_win}\\stub-runs.txt"
        self.patch_record_win = f"{self.folder_win}\\patch-calls.txt"
        self.patch_dll_win = f"{self.folder_win}\\{PATCH_DLL}"
        server.reset()
        prefix.reg_delete(PATCH_KEY)
        # What an earlier test's run, ended before it could clean up, may have left.
        for left in self._download_folders():
            shutil.rmtree(left, ignore_errors=True)

    def _download_folders(self) -> list[Path]:
        return sorted(self.prefix.unix_path(WINDOWS_TEMP).glob("korvana-*"))

    def download_folders_left(self) -> list[str]:
        """The download folders (Windows paths) in the Windows folder's Temp, with what
        each still holds: ["C:\\windows\\Temp\\korvana-...: Yandex.exe", ...]."""
        return [f"{WINDOWS_TEMP}\\{folder.name}: " + "/".join(sorted(p.name for p in folder.iterdir()))
                for folder in self._download_folders()]

    def close(self) -> None:
        self.server.reset()
        self.prefix.reg_delete(PATCH_KEY)

    # ---- what the server answers

    def installer(self, variant: str) -> Path:
        """The host file of a stand-in installer variant (to compare downloads with)."""
        if variant not in self.server.variants:
            raise KeyError(f"no installer variant {variant!r}; there are {VARIANTS}")
        return self.server.variants[variant]

    def serve(self, variant: Optional[str] = "signed", name: Optional[str] = "Yandex.exe", *,
              disposition: Optional[str] = None, body: Optional[bytes] = None,
              path: Union[str, Path, None] = None, **options) -> Reply:
        """Answers the download with a stand-in installer and returns the Reply.

        variant       which installer (``VARIANTS``); ignored when ``body`` or ``path``
                      is given
        name          the file name in Content-Disposition: attachment;
                      filename="<name>"; None sends no Content-Disposition
        disposition   the header's exact text instead (overrides ``name``)
        body / path   serve these bytes / this host file instead of an installer
        options       the rest of Reply: status, headers, throttle, drop_after,
                      content_length
        """
        if body is None and path is None:
            path = self.installer(variant)
        header = disposition if disposition is not None else (
            None if name is None else Reply.attachment(name))
        reply = Reply(content_disposition=header, body=body or b"",
                      path=Path(path) if path is not None else None, **options)
        self.server.set_reply(reply)
        return reply

    @property
    def requests(self) -> list[Request]:
        return self.server.requests

    # ---- the stand-ins' records and settings

    def env(self, *, stub_exit: Optional[int] = None, stub_sleep_ms: Optional[int] = None,
            patch_result: Optional[int] = None, patch_hold: Optional[str] = None) -> dict[str, str]:
        """Environment edits for the program's run: the stand-ins' record files, and
        the exit code of the installer, its sleep, the patch entry's result when
        given (defaults: exit 0, no sleep, result 1), and the patch library's hold file
        (a Windows path: while that file exists, a thread of the program that ends
        waits; see tests/tools/dll/korvpatch.c).  The program hands its own
        environment on to the installer and the library it loads."""
        env = {"KORVANA_STUB_RECORD": self.stub_record_win,
               "KORVANA_PATCH_RECORD": self.patch_record_win}
        if stub_exit is not None:
            env["KORVANA_STUB_EXIT"] = str(stub_exit)
        if stub_sleep_ms is not None:
            env["KORVANA_STUB_SLEEP_MS"] = str(stub_sleep_ms)
        if patch_result is not None:
            env["KORVANA_PATCH_RESULT"] = str(patch_result)
        if patch_hold is not None:
            env["KORVANA_PATCH_HOLD"] = patch_hold
        return env

    def stub_runs(self) -> list[StubRun]:
        """Every start of a stand-in installer in this test, in order."""
        return read_stub_runs(self.prefix.unix_path(self.stub_record_win))

    def install_patch(self, value: Optional[str] = None) -> str:
        """Puts korvpatch.dll into this test's folder and registers "Patch Dll" =
        ``value`` (default: the library's full Windows path); returns the value.
        Its entry's result comes from ``env(patch_result=...)``."""
        shutil.copy2(build_dir() / PATCH_DLL, self.folder / PATCH_DLL)
        value = self.patch_dll_win if value is None else value
        self.prefix.reg_add(PATCH_SUBKEY, PATCH_VALUE, value)
        return value

    def patch_events(self) -> list[tuple[str, int]]:
        """[("call", pid), ("unload", pid), ...]: every call of KorvDllPatch and every
        FreeLibrary of the library in this test."""
        return read_patch_events(self.prefix.unix_path(self.patch_record_win))


@pytest.fixture(scope="session")
def https_server(wine_prefix, tmp_path_factory):
    pki = pki_module.ensure_pki()
    variants = make_variants(tmp_path_factory.mktemp("installers"), pki)
    server = DownloadServer(download_host(), pki, variants)
    try:
        server.start()
    except OSError as error:
        # The program's address is built in, so the port cannot move elsewhere.
        raise HarnessError(f"cannot listen on port {server.port} for {server.url}: {error} "
                           f"(another test session or bench/download running?)") from error
    try:
        trust_ca(wine_prefix, pki)
        yield server
    finally:
        server.stop()


@pytest.fixture
def browser_offer(prefix, https_server):
    offer = BrowserOffer(prefix, https_server)
    yield offer
    offer.close()
