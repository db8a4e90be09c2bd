"""Where the tests find the programs: SIMTROVE_BUILD_DIR (ctest sets it;
default build/release) and the BIDS validator (BIDS_VALIDATOR, default the
one scripts/install-bids-validator.sh installs into build/tools)."""
import os
import pathlib
import shutil

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
