"""The test PKI of the browser download: made by `openssl`, kept in build/e2e-pki.

    ca          the test root CA; trusted inside a throwaway Wine prefix only, never
                on this machine
    server      TLS server certificate for "localhost" (DNS:localhost, IP:127.0.0.1,
                IP:::1), signed by the CA
    publisher   code-signing certificate (digitalSignature, codeSigning), signed by
                the CA; signs the stand-in browser installers
    other_publisher
                a second code-signing certificate from the same CA ("Korvana Other
                Publisher"): trusted, but not the publisher a pinned build wants
    rogue_ca / rogue_server
                a second, never trusted CA and a "localhost" certificate it signed:
                proves that a fetch succeeds because our CA is trusted, not because
                the client accepts anything
    stranger    a certificate from the trusted CA for another name (other.invalid):
                proves that the name is checked

Files are kept between sessions and remade when one is missing or about to expire.
``ensure_pki()`` returns a ``Pki`` with the paths.
"""

from __future__ import annotations

import fcntl
import os
import shutil
import subprocess
import tempfile
from dataclasses import dataclass
from pathlib import Path
from typing import Optional

REPO_ROOT = Path(__file__).resolve().parents[2]
DAYS = 3650
# Remade when a certificate would expire within this many seconds.
FRESH_FOR = 30 * 24 * 3600


@dataclass(frozen=True)
class Identity:
    """A key and its certificate (PEM), plus the certificate in DER."""

    key: Path
    cert: Path
    der: Path


@dataclass(frozen=True)
class Pki:
    folder: Path
    ca: Identity
    server: Identity
    publisher: Identity
    rogue_ca: Identity
    rogue_server: Identity
    stranger: Identity
    other_publisher: Identity

    @property
    def identities(self) -> tuple[Identity, ...]:
        return (self.ca, self.server, self.publisher, self.rogue_ca, self.rogue_server, self.stranger,
                self.other_publisher)


def pki_dir() -> Path:
    """$KORVANA_PKI_DIR, else build/e2e-pki under the repository."""
    return Path(os.environ.get("KORVANA_PKI_DIR", REPO_ROOT / "build" / "e2e-pki")).resolve()


def _identity(folder: Path, name: str) -> Identity:
    return Identity(folder / f"{name}.key", folder / f"{name}.pem", folder / f"{name}.der")


def _layout(folder: Path) -> Pki:
    return Pki(folder, *(_identity(folder, n) for n in
                         ("ca", "server", "publisher", "rogue-ca", "rogue-server", "stranger",
                          "other-publisher")))


def _openssl(*args: str, cwd: Path) -> None:
    completed = subprocess.run(["openssl", *args], cwd=cwd, capture_output=True, text=True)
    if completed.returncode != 0:
        raise RuntimeError(f"openssl {' '.join(args)} failed: {completed.stderr}")


# Extensions of each kind of certificate (openssl x509 -extfile sections).
_EXTENSIONS = """\
[ca]
basicConstraints = critical, CA:TRUE
keyUsage = critical, keyCertSign, cRLSign
subjectKeyIdentifier = hash

[server]
basicConstraints = critical, CA:FALSE
keyUsage = critical, digitalSignature, keyEncipherment
extendedKeyUsage = serverAuth
subjectAltName = DNS:localhost, IP:127.0.0.1, IP:::1
subjectKeyIdentifier = hash
authorityKeyIdentifier = keyid

[stranger]
basicConstraints = critical, CA:FALSE
keyUsage = critical, digitalSignature, keyEncipherment
extendedKeyUsage = serverAuth
subjectAltName = DNS:other.invalid
subjectKeyIdentifier = hash
authorityKeyIdentifier = keyid

[publisher]
basicConstraints = critical, CA:FALSE
keyUsage = critical, digitalSignature
extendedKeyUsage = codeSigning
subjectKeyIdentifier = hash
authorityKeyIdentifier = keyid
"""


def _make_ca(work: Path, identity: Identity, subject: str) -> None:
    _openssl("req", "-new", "-newkey", "rsa:2048", "-nodes", "-keyout", str(identity.key),
             "-subj", subject, "-out", "ca.csr", cwd=work)
    _openssl("x509", "-req", "-in", "ca.csr", "-signkey", str(identity.key), "-sha256",
             "-days", str(DAYS), "-set_serial", f"0x{os.urandom(8).hex()}",
             "-extfile", "ext.cnf", "-extensions", "ca", "-out", str(identity.cert), cwd=work)


def _make_leaf(work: Path, identity: Identity, subject: str, section: str, issuer: Identity) -> None:
    _openssl("req", "-new", "-newkey", "rsa:2048", "-nodes", "-keyout", str(identity.key),
             "-subj", subject, "-out", f"{section}.csr", cwd=work)
    _openssl("x509", "-req", "-in", f"{section}.csr", "-CA", str(issuer.cert), "-CAkey",
             str(issuer.key), "-sha256", "-days", str(DAYS),
             "-set_serial", f"0x{os.urandom(8).hex()}",
             "-extfile", "ext.cnf", "-extensions", section, "-out", str(identity.cert), cwd=work)


def _fresh(pki: Pki) -> bool:
    for identity in pki.identities:
        if not (identity.key.is_file() and identity.cert.is_file() and identity.der.is_file()):
            return False
        checked = subprocess.run(["openssl", "x509", "-checkend", str(FRESH_FOR), "-noout",
                                  "-in", str(identity.cert)], capture_output=True)
        if checked.returncode != 0:
            return False
    return True


def ensure_pki(folder: Optional[Path] = None) -> Pki:
    """The PKI in ``folder`` (default ``pki_dir()``), made first when needed.

    Processes that ask at once (the workers of a parallel session) take turns: the
    first makes it, the others then find it made. Without the lock, a second maker
    could put its own set in place after the first had handed out (and a prefix
    trusted) the first set's CA."""
    folder = (folder or pki_dir()).resolve()
    folder.parent.mkdir(parents=True, exist_ok=True)
    with open(folder.parent / f".{folder.name}.lock", "w") as lock:
        fcntl.flock(lock, fcntl.LOCK_EX)
        return _ensure_pki(folder)


def _ensure_pki(folder: Path) -> Pki:
    pki = _layout(folder)
    if _fresh(pki):
        return pki
    # Made in a fresh folder and moved into place whole, so a run that dies half way
    # (or a second session doing the same) never leaves a mixed set behind.
    work = Path(tempfile.mkdtemp(prefix=".pki-", dir=folder.parent))
    made = _layout(work)
    (work / "ext.cnf").write_text(_EXTENSIONS)
    _make_ca(work, made.ca, "/O=Korvana Setup Tests/CN=Korvana Test Root CA")
    _make_leaf(work, made.server, "/O=Korvana Setup Tests/CN=localhost", "server", made.ca)
    _make_leaf(work, made.publisher, "/O=Korvana Setup Tests/CN=Korvana Test Publisher",
               "publisher", made.ca)
    _make_leaf(work, made.stranger, "/O=Korvana Setup Tests/CN=other.invalid", "stranger", made.ca)
    _make_leaf(work, made.other_publisher, "/O=Korvana Setup Tests/CN=Korvana Other Publisher",
               "publisher", made.ca)
    _make_ca(work, made.rogue_ca, "/O=Somebody Else/CN=Untrusted Test Root CA")
    _make_leaf(work, made.rogue_server, "/O=Somebody Else/CN=localhost", "server", made.rogue_ca)
    for identity in made.identities:
        _openssl("x509", "-in", str(identity.cert), "-outform", "DER", "-out", str(identity.der),
                 cwd=work)
    for leftover in work.glob("*.csr"):
        leftover.unlink()
    if folder.exists():
        old = Path(tempfile.mkdtemp(prefix=".pki-old-", dir=folder.parent))
        folder.rename(old / "pki")
        shutil.rmtree(old, ignore_errors=True)
    work.rename(folder)
    return pki


if __name__ == "__main__":
    made = ensure_pki()
    print(made.folder)
