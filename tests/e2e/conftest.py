"""Fixtures of the end-to-end suite; the machinery itself is in wine_harness.py.

Session fixtures (one prefix, one Xvfb and one wineserver per session):
    wine_prefix     the 64-bit prefix (WinePrefix)
    wine_prefix32   a 32-bit prefix (WINEARCH=win32), created only if a test asks

Per-test fixtures:
    prefix / prefix32          the prefix, with screenshots going to this test's
                               artefact folder
    setup_folder / setup_folder32
                               a fresh C:\\t\\<test>\\ with korvana-setup.exe in it
    make_setup_folder          factory for more folders: make_setup_folder("with blank")
                               -> C:\\t\\with blank\\ (64-bit prefix)

The browser offer (browser_offer.py): ``https_server`` (session) is the local HTTPS
download site with the test CA trusted in the 64-bit prefix; ``browser_offer`` (per
test) sets its reply and places the stand-in installers and patch library.

Environment: KORVANA_BUILD_DIR (default build/win32) holds korvana-setup.exe and the
tools; KORVANA_ARTEFACTS (default build/e2e-artefacts) receives the screenshots.

In parallel (pytest-xdist): ``-n auto --dist loadgroup``, as scripts/test-all runs it.
Every worker process has its own prefixes, displays and wineservers; the tests of a
fixture that only one process may hold, or that is worth making once, form one group
(``XDIST_GROUPS``), which one worker runs whole.
"""

from __future__ import annotations

import hashlib
import re
import sys
from pathlib import Path

import pytest

sys.path.insert(0, str(Path(__file__).resolve().parent))

from browser_offer import browser_offer, https_server  # noqa: E402,F401 - fixtures
from wine_harness import (  # noqa: E402
    Artefacts,
    HarnessError,
    SetupFolder,
    WinePrefix,
    artefacts_root,
    build_dir,
)


def _ascii_name(text: str) -> str:
    """A folder name for a test; a short hash keeps apart names that differ only in
    characters that had to go."""
    name = re.sub(r"[^A-Za-z0-9_.-]+", "_", text).strip("_")[:60] or "test"
    if name != text:
        name += "-" + hashlib.sha1(text.encode("utf-8")).hexdigest()[:6]
    return name


# Fixture -> the xdist group of every test that uses it (the first that applies).
XDIST_GROUPS = {
    # The download site listens on the port built into the program: one process only.
    "https_server": "download-site",
    # A second prefix, booted once rather than in every worker.
    "wine_prefix32": "prefix32",
    # Two release builds of the product, made once.
    "releases": "release-builds",
}


def pytest_configure(config):
    # Another way of spreading the tests would start the download site in two
    # workers, and the second would fail to listen: say so plainly instead.
    dist = config.getoption("dist", default="no")
    if dist not in ("no", "loadgroup"):
        raise pytest.UsageError(f"the end-to-end suite runs in parallel with --dist loadgroup "
                                f"only (got --dist {dist})")


@pytest.hookimpl(tryfirst=True)
def pytest_collection_modifyitems(config, items):
    for item in items:
        group = next((g for name, g in XDIST_GROUPS.items() if name in item.fixturenames), None)
        if group is not None:
            item.add_marker(pytest.mark.xdist_group(group))
    # The groups first: each goes to one worker whole, so the long ones start while
    # the other workers take the single tests (the order is the same in every worker).
    items.sort(key=lambda item: item.get_closest_marker("xdist_group") is None)


@pytest.hookimpl(hookwrapper=True, tryfirst=True)
def pytest_runtest_makereport(item, call):
    # Lets fixtures see whether the test itself failed (for a last screenshot).
    outcome = yield
    report = outcome.get_result()
    setattr(item, f"report_{report.when}", report)


@pytest.fixture(scope="session")
def wine_prefix():
    prefix = WinePrefix.create("win64")
    yield prefix
    prefix.close()


@pytest.fixture(scope="session")
def wine_prefix32():
    prefix = WinePrefix.create("win32")
    yield prefix
    prefix.close()


@pytest.fixture
def artefacts(request) -> Artefacts:
    module = Path(str(request.node.fspath)).stem
    return Artefacts(artefacts_root() / _ascii_name(f"{module}.{request.node.name}"))


def _bind(prefix: WinePrefix, artefacts: Artefacts, request):
    prefix.artefacts = artefacts
    yield prefix
    report = getattr(request.node, "report_call", None)
    if report is not None and report.failed:
        prefix.screenshot("at-failure")
    prefix.artefacts = None


@pytest.fixture
def prefix(wine_prefix, artefacts, request):
    yield from _bind(wine_prefix, artefacts, request)


@pytest.fixture
def prefix32(wine_prefix32, artefacts, request):
    yield from _bind(wine_prefix32, artefacts, request)


@pytest.fixture(scope="session")
def setup_exe() -> Path:
    exe = build_dir() / SetupFolder.EXE
    if not exe.is_file():
        raise HarnessError(f"{exe} not found: build the win32 tree (target korvana-setup) "
                           f"or set KORVANA_BUILD_DIR")
    return exe


@pytest.fixture
def setup_folder(prefix, setup_exe, request) -> SetupFolder:
    return SetupFolder(prefix, f"C:\\t\\{_ascii_name(request.node.name)}", setup_exe)


@pytest.fixture
def setup_folder32(prefix32, setup_exe, request) -> SetupFolder:
    return SetupFolder(prefix32, f"C:\\t\\{_ascii_name(request.node.name)}", setup_exe)


@pytest.fixture
def make_setup_folder(prefix, setup_exe):
    def make(name: str) -> SetupFolder:
        return SetupFolder(prefix, f"C:\\t\\{name}", setup_exe)
    return make
