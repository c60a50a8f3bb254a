"""Where scripts/install_engines.sh put the engines, which versions, and which of
the machine's Java installations each engine can run on."""

import glob
import os
import pathlib
import re

import pytest

ROOT = pathlib.Path(__file__).resolve().parent.parent.parent
VERSIONS = dict(re.findall(r"^(\w+)=(\S+)$", (ROOT / "scripts" / "engines" / "versions.env").read_text(), re.M))


def cache_dir():
    explicit = os.environ.get("MIRTOVA_ENGINES_CACHE")
    if explicit:
        return pathlib.Path(explicit)
    base = os.environ.get("XDG_CACHE_HOME") or os.path.join(os.path.expanduser("~"), ".cache")
    return pathlib.Path(base) / "mirtova-engines"


def installed(name):
    """The folder of an engine fetched whole, or None."""
    folder = cache_dir() / f"{name}-{VERSIONS[name.upper() + '_VERSION']}"
    return folder if (folder / "complete").exists() else None


def _feature_version(home):
    """The major version a JDK's or JRE's release file states (17 for "17.0.15", 8 for "1.8.0")."""
    try:
        text = (pathlib.Path(home) / "release").read_text()
    except OSError:
        return None
    found = re.search(r'^JAVA_VERSION="(?:1\.)?(\d+)', text, re.M)
    return int(found.group(1)) if found else None


def java_home(lowest, highest=99):
    """The home of the oldest Java from `lowest` to `highest` found in $JAVA_HOME or under /usr/lib/jvm, or
    None: an engine runs on the oldest Java it supports, the one its release was tested on most."""
    homes = [os.environ.get("JAVA_HOME", "")] + sorted(glob.glob("/usr/lib/jvm/*"))
    found = []
    for home in homes:
        version = _feature_version(home) if home else None
        if version is not None and lowest <= version <= highest and os.access(os.path.join(home, "bin", "java"), os.X_OK):
            found.append((version, home))
    return min(found)[1] if found else None


def unavailable(reason):
    """Skips the test of an engine that cannot run here, or fails it where the run requires every engine
    (MIRTOVA_REQUIRE_ENGINES=1, as .ci/run sets it: there a missing engine is a broken install, not a choice)."""
    if os.environ.get("MIRTOVA_REQUIRE_ENGINES") == "1":
        pytest.fail(reason, pytrace=False)
    pytest.skip(reason)
