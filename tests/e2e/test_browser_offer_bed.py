"""The browser offer's test bed, checked on its own, before any test of the program
leans on it: the prefix trusts our download site and nothing else, the server answers
as a test asks (seen through WinINet, as the program sees it), the stand-in
installers get the signature verdicts their names promise, and the stand-in patch
library and installer report what was done with them.
"""

from __future__ import annotations

import os
import socket
import ssl
from dataclasses import dataclass
from typing import Optional

import pytest

from browser_offer import (
    DOWNLOAD_PATH,
    PATCH_SUBKEY,
    PATCH_VALUE,
    TRUST_E_BAD_DIGEST,
    TRUST_E_NOSIGNATURE,
    StubRun,
    fetch,
    trust_verdicts,
)
from https_server import HttpsServer, Reply
from wine_harness import TOOLS_DIR_WIN

AGENT = "Korvana Setup"
ERROR_INTERNET_SEC_CERT_CN_INVALID = 12038
ERROR_INTERNET_SEC_CERT_REV_FAILED = 12057


# --------------------------------------------------------------------------- trust


@pytest.fixture(scope="module")
def other_sites(https_server):
    """HTTPS servers the prefix must refuse: a root it does not trust, and a trusted
    root's certificate for another name."""
    pki = https_server.pki
    sites = {"untrusted root": HttpsServer(0, pki.rogue_server.cert, pki.rogue_server.key).start(),
             "other name": HttpsServer(0, pki.stranger.cert, pki.stranger.key).start()}
    yield sites
    for site in sites.values():
        site.stop()


# site -> the WinINet error of InternetOpenUrlW (None: the fetch works). Wine reports a
# server certificate from an unknown root (the server sends no chain) as a failed
# revocation check, not as ERROR_INTERNET_INVALID_CA; our own CA got the same before
# the prefix trusted it.
TRUST_CASES = {
    "download site": None,
    "untrusted root": ERROR_INTERNET_SEC_CERT_REV_FAILED,
    "other name": ERROR_INTERNET_SEC_CERT_CN_INVALID,
}


@pytest.mark.parametrize("site", TRUST_CASES)
def test_the_prefix_trusts_the_download_site_only(site, prefix, browser_offer, other_sites):
    body = b"korvana" * 1000
    server = browser_offer.server if site == "download site" else other_sites[site]
    server.reset(Reply(body=body, content_disposition=Reply.attachment("Y.exe")))
    url = browser_offer.url if site == "download site" else f"https://localhost:{server.port}{DOWNLOAD_PATH}"

    got = fetch(prefix, url)

    if TRUST_CASES[site] is None:
        assert (got.exit_code, got.fields) == (0, {
            "status": "200", "content-disposition": 'attachment; filename="Y.exe"',
            "bytes": str(len(body)), "end": "eof"})
        assert [(r.path, r.user_agent) for r in server.requests] == [(DOWNLOAD_PATH, AGENT)]
    else:
        assert got.open_error == TRUST_CASES[site], got
        # Refused by the client after the handshake, before any request went out.
        assert server.requests == []


# The program reaches "localhost" over whichever address the resolver gives first.
@pytest.mark.parametrize("address", ["127.0.0.1", "::1"])
def test_the_site_answers_on_both_stacks(address, browser_offer):
    browser_offer.serve("signed")
    context = ssl.create_default_context(cafile=str(browser_offer.server.pki.ca.cert))
    with socket.create_connection((address, browser_offer.server.port), timeout=30) as raw, \
            context.wrap_socket(raw, server_hostname="localhost") as tls:
        tls.sendall(f"HEAD {DOWNLOAD_PATH} HTTP/1.1\r\nHost: localhost\r\nUser-Agent: {AGENT}\r\n"
                    f"Connection: close\r\n\r\n".encode())
        head = tls.recv(4096).decode("latin-1")
    assert head.startswith("HTTP/1.1 200 ")
    assert browser_offer.server.wait_request().user_agent == AGENT


# --------------------------------------------------------------------------- replies


@pytest.fixture(scope="session")
def big_file(tmp_path_factory):
    """Large enough that a throttled answer is still going when the client stops."""
    path = tmp_path_factory.mktemp("payload") / "5mb.bin"
    path.write_bytes(os.urandom(5 * 1024 * 1024))
    return path


@dataclass(frozen=True)
class ReplyCase:
    serve: dict                      # browser_offer.serve() arguments
    seen: dict                       # httpget's lines; SIZE: the body's size, ANY: present
    max_bytes: Optional[int] = None  # the client stops after this many bytes
    finished: bool = True            # the server sent the whole body
    error: Optional[str] = None      # the server's note on an answer that ended early
    same_bytes: bool = False         # the file received equals the one served
    big: bool = False                # serve big_file instead of an installer


SIZE, ANY = object(), object()
REPLY_CASES = {
    "installer as attachment": ReplyCase(
        {"variant": "signed", "name": "Yandex.exe"},
        {"status": "200", "content-disposition": 'attachment; filename="Yandex.exe"',
         "bytes": SIZE, "end": "eof"}, same_bytes=True),
    "exact header text": ReplyCase(
        {"variant": "unsigned", "disposition": "attachment; filename=Yandex Browser.exe"},
        {"status": "200", "content-disposition": "attachment; filename=Yandex Browser.exe",
         "bytes": SIZE, "end": "eof"}),
    "no content-disposition": ReplyCase(
        {"variant": "signed", "name": None}, {"status": "200", "bytes": SIZE, "end": "eof"}),
    "server error": ReplyCase(
        {"body": b"busy\n", "status": 503, "name": None}, {"status": "503", "bytes": "5", "end": "eof"}),
    "body ends with the connection": ReplyCase(
        {"variant": "signed", "content_length": False},
        {"status": "200", "content-disposition": 'attachment; filename="Yandex.exe"',
         "bytes": SIZE, "end": "eof"}, same_bytes=True),
    # Wine's WinINet ends the body quietly where the connection died.
    "connection dropped mid-body": ReplyCase(
        {"variant": "signed", "drop_after": 40000},
        {"status": "200", "content-disposition": 'attachment; filename="Yandex.exe"',
         "bytes": "40000", "end": "eof"}, finished=False, error="dropped after 40000 bytes"),
    "slow download stopped by the client": ReplyCase(
        {"throttle": 1_000_000}, {"status": "200", "content-disposition": 'attachment; filename="Yandex.exe"',
                                  "bytes": ANY, "end": "stopped"},
        max_bytes=1, finished=False, error="client gone", big=True),
}


@pytest.mark.parametrize("case", REPLY_CASES.values(), ids=REPLY_CASES.keys())
def test_replies_as_the_client_sees_them(case, prefix, browser_offer, big_file):
    options = dict(case.serve)
    if case.big:
        options["path"] = big_file
    reply = browser_offer.serve(**options)
    out = f"{browser_offer.folder_win}\\received.bin"

    got = fetch(prefix, browser_offer.url, out=out, max_bytes=case.max_bytes)

    expected = {k: str(reply.size) if v is SIZE else got.fields.get(k) if v is ANY else v
                for k, v in case.seen.items()}
    assert got.fields == expected
    request = browser_offer.server.wait_request()
    assert request.done.wait(30), "the server never finished with the request"
    assert (request.path, request.user_agent, request.status) == (DOWNLOAD_PATH, AGENT, reply.status)
    assert request.finished == case.finished
    assert request.body_bytes == reply.size if case.finished else request.body_bytes < reply.size
    assert (request.error or "").startswith(case.error or "")
    if case.same_bytes:
        assert prefix.unix_path(out).read_bytes() == reply.path.read_bytes()


# --------------------------------------------------------------------------- stand-ins


# variant -> WinVerifyTrust's result; None: any failure (Wine reports a signature cut
# short as ERROR_INSUFFICIENT_BUFFER).
VERDICTS = {"signed": 0, "unsigned": TRUST_E_NOSIGNATURE, "tampered": TRUST_E_BAD_DIGEST,
            "truncated": None}


def test_installer_variants_get_their_signature_verdicts(prefix, browser_offer):
    paths = []
    for variant in VERDICTS:
        target = browser_offer.folder / f"{variant}.exe"
        target.write_bytes(browser_offer.installer(variant).read_bytes())
        paths.append(f"{browser_offer.folder_win}\\{variant}.exe")

    verdicts = dict(zip(VERDICTS, trust_verdicts(prefix, paths)))

    for variant, expected in VERDICTS.items():
        if expected is None:
            assert verdicts[variant] != 0, variant
        else:
            assert verdicts[variant] == expected, f"{variant}: {verdicts[variant]:#010x}"


# KORVANA_PATCH_RESULT (None: unset) -> what KorvDllPatch returns.
PATCH_CASES = {None: 1, "0": 0, "7": 7, "0xFFFFFFFF": -1}


@pytest.mark.parametrize("setting", PATCH_CASES)
@pytest.mark.parametrize("keep", [False, True], ids=["freed", "kept"])
def test_patch_library_reports_calls_and_unloads(setting, keep, prefix, browser_offer):
    path = browser_offer.install_patch()
    assert prefix.reg_query(PATCH_SUBKEY) == {PATCH_VALUE: ("REG_SZ", path)}
    env = browser_offer.env(patch_result=setting)

    result = prefix.run(f"{TOOLS_DIR_WIN}\\callexport.exe {'-keep ' if keep else ''}"
                        f"\"{path}\" KorvDllPatch", env=env)

    assert (result.exit_code, result.stdout_lines) == (0, [f"result\t{PATCH_CASES[setting]}"])
    expected = [("call", result.pid)] + ([] if keep else [("unload", result.pid)])
    assert browser_offer.patch_events() == expected


# KORVANA_STUB_EXIT (None: unset) -> the stand-in installer's exit code.
STUB_EXITS = {None: 0, "1603": 1603, "0x80070005": 0x80070005}


@pytest.mark.parametrize("setting", STUB_EXITS)
def test_stub_installer_records_its_runs(setting, prefix, browser_offer):
    folder = f"{browser_offer.folder_win}\\Загрузки с пробелом"
    (browser_offer.folder / "Загрузки с пробелом").mkdir()
    exe = f"{folder}\\Yandex.exe"
    prefix.unix_path(exe).write_bytes(browser_offer.installer("signed").read_bytes())
    for planted in ("planted.dll", "readme.txt"):  # what it finds beside itself
        prefix.unix_path(f"{folder}\\{planted}").write_bytes(b"MZ")
    command_line = f'"{exe}" --program-files-installation --silent --do-not-launch-browser'

    env = browser_offer.env(stub_exit=setting)
    first = prefix.run(command_line, env=env, cwd=folder)
    second = prefix.run(command_line + " \tagain", env=env, cwd=browser_offer.folder_win)

    assert (first.exit_code, second.exit_code) == (STUB_EXITS[setting],) * 2
    # Nobody holds the file here, so the stand-in can rename it: the refusals that the
    # bootstrapper's runs record are its doing.
    tampering = "rename done, overwrite refused"
    [first_run, second_run] = browser_offer.stub_runs()
    assert sorted(first_run.neighbours.split("/")) == ["planted.dll", "readme.txt"]
    assert [first_run, second_run] == [
        StubRun(exe, folder, command_line, tampering, first_run.neighbours),
        StubRun(exe, browser_offer.folder_win, command_line + " \tagain", tampering, first_run.neighbours)]
