"""Shared fixtures: where the tests find the programs (SIMTROVE_BUILD_DIR, which
ctest sets; default build/release), the BIDS validator (BIDS_VALIDATOR, default
the one scripts/install-bids-validator.sh installs into build/tools) and small
scenarios."""

import os
import pathlib
import shutil
import subprocess

import pytest

ROOT = pathlib.Path(__file__).resolve().parents[2]


@pytest.fixture(scope="session")
def build_dir():
    path = pathlib.Path(os.environ.get("SIMTROVE_BUILD_DIR", ROOT / "build" / "release"))
    if not path.is_dir():
        pytest.skip(f"no build at {path} (set SIMTROVE_BUILD_DIR)")
    return path


@pytest.fixture(scope="session")
def bids_validator():
    candidates = [os.environ.get("BIDS_VALIDATOR"),
                  str(ROOT / "build" / "tools" / "node_modules" / ".bin" / "bids-validator"),
                  shutil.which("bids-validator")]
    for candidate in candidates:
        if candidate and os.access(candidate, os.X_OK):
            return candidate
    # CI installs it (scripts/test.sh): missing there is a failure, not a skip.
    if os.environ.get("CI"):
        pytest.fail("bids-validator is not installed (scripts/install-bids-validator.sh)")
    pytest.skip("bids-validator is not installed (scripts/install-bids-validator.sh)")
BUILD = pathlib.Path(os.environ.get("SIMTROVE_BUILD_DIR", ROOT / "build" / "release"))
if not BUILD.is_absolute():
    BUILD = ROOT / BUILD


@pytest.fixture(scope="session")
def program():
    """Runs `simtrove ARGS...`; returns the completed process (never raises on exit status)."""
    path = BUILD / "program" / "simtrove"
    if not path.exists():
        pytest.skip(f"{path}: not built (set SIMTROVE_BUILD_DIR to the C++ build)")
    return lambda *args: subprocess.run([str(path), *map(str, args)], capture_output=True,
                                        text=True)


def tiny_scenario(**changes):
    """A few hundred voxels, the built-in Rest/Task blocks, with AR(1) noise and one planted sphere."""
    scenario = {
        "name": "Tiny",
        "grid": {"shape": [8, 7, 5], "voxel_mm": 3},
        "time_points": 60,
        "tr": 2,
        "regions": [{"name": "Target", "condition": "Task", "percent": 3,
                     "sphere": {"center_voxel": [3, 3, 2], "radius_voxels": 1.5}}],
        "noise": {"system": {"sd": 2}, "temporal": {"sd": 2, "ar": [0.4]}},
        "seed": 7,
    }
    scenario.update(changes)
    return scenario
