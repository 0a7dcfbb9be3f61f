"""scripts/release end to end: the reproducible build, its Authenticode signature, and
the signed executable at work in the Wine prefix.

The module builds the product twice, from the commit checked out (a release run takes
a PEM certificate and key, another a PKCS#12 file with its password), in a module
fixture: the two builds must give the same unsigned bytes, which is the
reproducibility a release promises.  The
signing certificate is the test PKI's publisher (pki.py); its root is trusted inside
the throwaway prefix only.  No time-stamp server is reachable here, so none is used.

The help box and the silent installation run the signed and the unsigned build alike
(this module's ``setup_exe`` gives the setup folders the release's executables), so
any difference the signature made would show as a failure of one of the two.
"""

from __future__ import annotations

import hashlib
import re
import shutil
import subprocess
from dataclasses import dataclass
from pathlib import Path

import pytest

import browser_offer as offer
import pki as pki_module
from test_bootstrap import HELP_CAPTION, HELP_TEXT
from test_plugin_install import V13, machine  # noqa: F401 - the fixture
from wine_harness import IDOK, REPO_ROOT, TOOLS_DIR_WIN

RELEASE = REPO_ROOT / "scripts" / "release"
SIGNED, UNSIGNED = "korvana-setup.exe", "korvana-setup-unsigned.exe"
DEFAULT_HOST = "download.korvana.example"  # CMakeLists.txt: KORVANA_DOWNLOAD_HOST
TEST_PRESET_HOST = "localhost:47443"  # CMakePresets.json, win32
BUILD_TIMEOUT = 900  # seconds a release run may take
PASSWORD = "release test"


def sha256(path: Path) -> str:
    return hashlib.sha256(path.read_bytes()).hexdigest()


def project_version() -> str:
    """The version the build stamps into VERSIONINFO: the CMake project's, build 0."""
    text = (REPO_ROOT / "CMakeLists.txt").read_text()
    return re.search(r"project\(\w+ VERSION ([\d.]+)", text).group(1) + ".0"


def release(*args: str, out: Path) -> subprocess.CompletedProcess:
    """Runs scripts/release into ``out`` (an --out among ``args`` comes later and wins)."""
    return subprocess.run([str(RELEASE), "--out", str(out), *args], capture_output=True,
                          text=True, timeout=BUILD_TIMEOUT)


@dataclass(frozen=True)
class Credentials:
    """The publisher's key in each form a release takes, and keys it must refuse."""

    pki: pki_module.Pki
    pfx: Path
    password: Path
    wrong_password: Path
    encrypted_key: Path


@pytest.fixture(scope="module")
def credentials(tmp_path_factory) -> Credentials:
    pki = pki_module.ensure_pki()
    folder = tmp_path_factory.mktemp("credentials")
    password = folder / "password.txt"
    password.write_text(PASSWORD + "\n")
    wrong = folder / "wrong-password.txt"
    wrong.write_text("not " + PASSWORD + "\n")
    pfx, encrypted = folder / "publisher.pfx", folder / "publisher-encrypted.key"
    for command in (
            ["pkcs12", "-export", "-inkey", pki.publisher.key, "-in", pki.publisher.cert,
             "-certfile", pki.ca.cert, "-passout", f"file:{password}", "-out", pfx],
            ["pkey", "-in", pki.publisher.key, "-aes256", "-passout", f"file:{password}",
             "-out", encrypted]):
        subprocess.run(["openssl", *map(str, command)], check=True, capture_output=True)
    return Credentials(pki, pfx, password, wrong, encrypted)


@dataclass(frozen=True)
class Release:
    folder: Path
    stdout: str

    def __getitem__(self, name: str) -> Path:
        return self.folder / name


@pytest.fixture(scope="module")
def releases(credentials, tmp_path_factory) -> dict[str, Release]:
    """{"pem": ..., "pfx": ...}: one release run (one build) with each form of key.

    Both build the commit checked out when the module began: the working tree may
    change under a running session (an editor saving), a commit may not."""
    pki = credentials.pki
    commit = subprocess.run(["git", "-C", str(REPO_ROOT), "rev-parse", "HEAD"], check=True,
                            capture_output=True, text=True).stdout.strip()
    forms = {
        "pem": ["--cert", pki.publisher.cert, "--key", pki.publisher.key,
                "--name", "Korvana plug-in setup", "--url", "https://korvana.example/"],
        "pfx": ["--pfx", credentials.pfx, "--pass-file", credentials.password],
    }
    made = {}
    for form, args in forms.items():
        out = tmp_path_factory.mktemp(f"release-{form}")
        completed = release(*map(str, args), "--ca-file", str(pki.ca.cert), "--revision", commit,
                            out=out)
        assert completed.returncode == 0, completed.stdout + completed.stderr
        made[form] = Release(out, completed.stdout)
    return made


@pytest.fixture(scope="module")
def tampered(releases, tmp_path_factory) -> Path:
    """The PEM release's signed executable with one byte of its code changed."""
    copy = tmp_path_factory.mktemp("tampered") / SIGNED
    shutil.copy2(releases["pem"][SIGNED], copy)
    return offer.tamper(copy)


# --------------------------------------------------------------------------- refusals


# Each: arguments ({name} stands for a file of the test PKI or of `credentials`), the
# exit code, and what the message must say.  None of them gets to writing anything;
# all but the last are refused before the build.
REFUSALS = [
    ([], 2, "no signing key: give --cert FILE --key FILE or --pfx FILE (or --unsigned"),
    (["--cert", "{cert}"], 2, "--cert and --key go together"),
    (["--key", "{key}"], 2, "--cert and --key go together"),
    (["--pfx", "{pfx}", "--cert", "{cert}", "--key", "{key}"], 2, "either --pfx or --cert"),
    (["--unsigned", "--timestamp", "http://127.0.0.1:9/"], 2, "--unsigned takes no signing option"),
    (["--unsigned", "--pfx", "{pfx}"], 2, "--unsigned takes no signing option"),
    (["--cert", "{missing}", "--key", "{key}"], 2, "cannot read {missing}"),
    (["--cert", "{cert}", "--key", "{key}", "--timestamp"], 2, "--timestamp needs a value"),
    (["--sign"], 2, "unknown argument: --sign"),
    (["--cert", "{cert}", "--key", "{key}", "--out", "{cert}"], 2, "{cert} is not a folder"),
    # Keys that do not open, or are not the certificate's: found by a trial signature.
    (["--cert", "{cert}", "--key", "{server_key}"], 2, "the signing key was refused"),
    (["--pfx", "{pfx}"], 2, "the signing key was refused"),
    (["--pfx", "{pfx}", "--pass-file", "{wrong_password}"], 2, "the signing key was refused"),
    (["--cert", "{cert}", "--key", "{encrypted_key}"], 2, "{encrypted_key} is encrypted: give its password"),
    (["--unsigned", "--revision", "no-such-revision"], 2, "no such revision: no-such-revision"),
    # A host the build refuses (CMake's own check, after the sources were copied).
    (["--unsigned", "--download-host", "evil/host"], 1, "KORVANA_DOWNLOAD_HOST must be a host name"),
    (["--unsigned", "--publisher", 'Evil "Quote"'], 1, "KORVANA_BROWSER_PUBLISHER must not hold"),
    (["--unsigned", "--package-publisher", "Evil; Semicolon"], 1, "KORVANA_PACKAGE_PUBLISHER must not hold"),
    (["--unsigned", "--package-publisher"], 2, "--package-publisher needs a value"),
]


@pytest.mark.parametrize("args,code,message", REFUSALS)
def test_release_refuses(credentials, tmp_path, args, code, message):
    pki = credentials.pki
    names = {"cert": pki.publisher.cert, "key": pki.publisher.key, "server_key": pki.server.key,
             "pfx": credentials.pfx, "wrong_password": credentials.wrong_password,
             "encrypted_key": credentials.encrypted_key, "missing": tmp_path / "missing.pem"}
    out = tmp_path / "out"
    completed = release(*(arg.format(**names) for arg in args), out=out)
    assert completed.returncode == code, completed.stdout + completed.stderr
    assert message.format(**names) in completed.stderr
    assert not out.exists() or list(out.iterdir()) == []


# --------------------------------------------------------------------------- what it writes


@pytest.mark.parametrize("form", ["pem", "pfx"])
def test_release_writes_signed_and_unsigned_with_sums(releases, form):
    made = releases[form]
    sums = {name: digest for digest, name in
            (line.split("  ", 1) for line in made["SHA256SUMS"].read_text().splitlines())}
    assert sums == {name: sha256(made[name]) for name in (SIGNED, UNSIGNED)}
    assert sorted(p.name for p in made.folder.iterdir()) == sorted([SIGNED, UNSIGNED, "SHA256SUMS"])
    # Reproducible: the other run's build gave the same unsigned bytes.
    assert {sha256(r[UNSIGNED]) for r in releases.values()} == {sums[UNSIGNED]}
    assert sums[SIGNED] != sums[UNSIGNED]
    # Built for the real download host, not the test preset's.
    unsigned = made[UNSIGNED].read_bytes()
    assert DEFAULT_HOST.encode("utf-16-le") in unsigned
    assert TEST_PRESET_HOST.encode("utf-16-le") not in unsigned
    # What it printed.
    report = dict(re.findall(r"^(\w[\w ]*?):\s+(.*)$", made.stdout, re.M))
    assert report["version"] == project_version()
    assert report["unsigned"].split()[0] == sums[UNSIGNED]
    assert report["signed"].split()[0] == sums[SIGNED]
    assert report["verify"].startswith("Signature verification: ok")
    assert re.search(rf"^  download host: {re.escape(DEFAULT_HOST)}$", made.stdout, re.M)
    assert re.search(r"^  browser publisher: any trusted publisher$", made.stdout, re.M)
    assert re.search(r"^  package publisher: none \(packages and Setup.exe are not checked\)$",
                     made.stdout, re.M)


def test_release_pins_the_package_publisher(tmp_path):
    """--package-publisher reaches the build and the report; the name is in the program."""
    publisher = "Korvana Test Publisher"
    completed = release("--unsigned", "--package-publisher", publisher, out=tmp_path)
    assert completed.returncode == 0, completed.stdout + completed.stderr
    assert re.search(rf"^  package publisher: {publisher}$", completed.stdout, re.M)
    assert re.search(r"^  browser publisher: any trusted publisher$", completed.stdout, re.M)
    assert publisher.encode("utf-16-le") in (tmp_path / UNSIGNED).read_bytes()


# The file, the roots osslsigncode trusts, and whether verification must pass.
VERIFICATIONS = [
    (("pem", SIGNED), "ca", True),
    (("pfx", SIGNED), "ca", True),
    (("pem", SIGNED), "rogue_ca", False),  # the check does look at the root
    (("pem", UNSIGNED), "ca", False),
    ("tampered", "ca", False),
]


@pytest.mark.parametrize("which,root,passes", VERIFICATIONS)
def test_osslsigncode_verify(releases, tampered, credentials, which, root, passes):
    path = tampered if which == "tampered" else releases[which[0]][which[1]]
    ca = getattr(credentials.pki, root).cert
    completed = subprocess.run(["osslsigncode", "verify", "-in", str(path), "-CAfile", str(ca)],
                               capture_output=True, text=True)
    assert (completed.returncode == 0) == passes, completed.stdout + completed.stderr


# --------------------------------------------------------------------------- in the prefix


def test_winverifytrust(prefix, releases, tampered, credentials):
    offer.trust_ca(prefix, credentials.pki)  # this throwaway prefix only
    files = {"pem-signed.exe": releases["pem"][SIGNED], "pfx-signed.exe": releases["pfx"][SIGNED],
             "unsigned.exe": releases["pem"][UNSIGNED], "tampered.exe": tampered}
    folder_win = f"{TOOLS_DIR_WIN}\\release"
    folder = prefix.unix_path(folder_win)
    folder.mkdir(parents=True, exist_ok=True)
    for name, source in files.items():
        shutil.copy2(source, folder / name)
    verdicts = offer.trust_verdicts(prefix, [f"{folder_win}\\{name}" for name in files])
    assert verdicts == [offer.TRUST_OK, offer.TRUST_OK, offer.TRUST_E_NOSIGNATURE,
                        offer.TRUST_E_BAD_DIGEST]


@pytest.fixture(params=["signed", "unsigned"])
def setup_exe(request, releases) -> Path:
    """The release's executable (the PEM run's) that this module's setup folders get."""
    return releases["pem"][SIGNED if request.param == "signed" else UNSIGNED]


def test_release_help_box(setup_folder):
    with setup_folder.start_setup("-help") as run:
        box = run.wait_box(HELP_CAPTION)
        assert (box.text, box.buttons) == (HELP_TEXT, [IDOK])
        box.press(IDOK)
        result = run.wait()
    assert (result.exit_code, result.stdout, len(run.boxes)) == (0, "", 1)


def test_release_silent_install(machine, setup_exe):  # noqa: F811 - the imported fixture
    assert sha256(machine.prefix.unix_path(machine.folder.exe_win)) == sha256(setup_exe)
    machine.put(V13)
    assert machine.run("-silent").exit_code == 0
    assert machine.installed() == {V13.product_code: "2.0.13"}
    assert machine.record(V13)["ADDNPSIVET"] == "1"
