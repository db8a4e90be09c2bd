"""Shared fixtures: the simtrove program of the C++ build and small scenarios."""

import os
import pathlib
import subprocess

import pytest

ROOT = pathlib.Path(__file__).resolve().parents[2]
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
