"""simulate() and Simulation against the simtrove program: the same bytes, the same errors."""

import gc
import json

import nibabel as nib
import numpy as np
import pandas as pd
import pytest

import simtrove
from conftest import tiny_scenario

SCENARIOS = {
    "ar1": tiny_scenario(),
    "every component": tiny_scenario(noise={
        "system": {"sd": 2, "distribution": "rician"}, "temporal": {"sd": 1, "ar": [0.3, 0.1]},
        "drift": {"sd": 1}, "physiological": {"sd": 1}, "spatial": {"sd": 1, "fwhm_mm": 6}}),
}


@pytest.mark.parametrize("name", SCENARIOS)
def test_save_writes_the_programs_bytes(name, program, tmp_path):
    scenario_file = tmp_path / "scenario.json"
    scenario_file.write_text(json.dumps(SCENARIOS[name]))
    done = program("simulate", scenario_file, "--out", tmp_path / "program", "--components")
    assert done.returncode == 0, done.stderr

    sim = simtrove.simulate(scenario_file, threads=2, components=True)
    sim.save(tmp_path / "python")
    files = sorted(p.name for p in (tmp_path / "program").iterdir())
    assert files == sorted(p.name for p in (tmp_path / "python").iterdir())
    for f in files:
        assert (tmp_path / "python" / f).read_bytes() == (tmp_path / "program" / f).read_bytes(), f

    # The in-memory views are what the files hold.
    written = nib.load(tmp_path / "program" / "Tiny.nii.gz")
    np.testing.assert_array_equal(sim.data, written.get_fdata(dtype=np.float32))
    np.testing.assert_array_equal(sim.truth, np.asarray(
        nib.load(tmp_path / "program" / "Tiny_truth.nii.gz").dataobj))
    np.testing.assert_array_equal(sim.components["temporal"], nib.load(
        tmp_path / "program" / "Tiny_desc-temporal.nii.gz").get_fdata(dtype=np.float32))
    np.testing.assert_array_equal(sim.affine, written.affine)
    sidecar = json.loads((tmp_path / "program" / "Tiny.json").read_text())
    assert sim.realised == sidecar["Realised"] and sim.scenario == sidecar["Simulation"]
    events = pd.read_csv(tmp_path / "program" / "Tiny_events.tsv", sep="\t")
    pd.testing.assert_frame_equal(sim.events, events)
    assert list(sim.design.columns) == ["Rest", "Task"] and len(sim.design) == 60

    # The same as a BIDS dataset, with two subjects: every file the program's.
    two = dict(SCENARIOS[name], subjects=2)
    scenario_file.write_text(json.dumps(two))
    done = program("simulate", scenario_file, "--bids", tmp_path / "bids-program", "--components")
    assert done.returncode == 0, done.stderr
    simtrove.simulate(two, components=True).save_bids(tmp_path / "bids-python")
    tree = {p.relative_to(tmp_path / "bids-program") for p in (tmp_path / "bids-program").rglob("*")}
    assert tree == {p.relative_to(tmp_path / "bids-python")
                    for p in (tmp_path / "bids-python").rglob("*")}
    for f in sorted(p for p in tree if (tmp_path / "bids-program" / p).is_file()):
        assert ((tmp_path / "bids-python" / f).read_bytes() ==
                (tmp_path / "bids-program" / f).read_bytes()), f


def test_data_are_a_view_that_keeps_the_run_alive():
    sim = simtrove.simulate(tiny_scenario(), seed=11, threads=1)
    data, expected = sim.data, sim.data.copy()
    assert not data.flags.owndata and not data.flags.writeable
    assert data.shape == (8, 7, 5, 60) and data.dtype == np.float32
    del sim
    gc.collect()
    np.testing.assert_array_equal(data, expected)
    # Seeds change the noise; threads never do.
    again = simtrove.simulate(tiny_scenario(), seed=11, threads=3)
    np.testing.assert_array_equal(again.data, expected)
    assert not np.array_equal(simtrove.simulate(tiny_scenario(), seed=12).data, expected)


def test_to_nifti_has_the_programs_header(program, tmp_path):
    scenario_file = tmp_path / "scenario.json"
    scenario_file.write_text(json.dumps(tiny_scenario()))
    assert program("simulate", scenario_file, "--out", tmp_path).returncode == 0
    nib.save(simtrove.simulate(scenario_file).to_nifti(), tmp_path / "python.nii")
    mine, theirs = nib.load(tmp_path / "python.nii"), nib.load(tmp_path / "Tiny.nii.gz")
    # nibabel fills the unused dimensions with 1 where the library leaves 0
    for field in ("dim", "pixdim"):
        np.testing.assert_array_equal(mine.header[field][:5], theirs.header[field][:5])
    for field in ( "xyzt_units", "qform_code", "sform_code", "quatern_b",
                  "qoffset_x", "qoffset_y", "qoffset_z", "srow_x", "srow_y", "srow_z", "descrip",
                  "datatype", "intent_code"):
        np.testing.assert_array_equal(mine.header[field], theirs.header[field], err_msg=field)
    np.testing.assert_array_equal(mine.get_fdata(), theirs.get_fdata())


@pytest.mark.parametrize("change", [
    {"nosie": {}},
    {"noise": {"temporal": {"sd": 1, "ar": [1.2]}}},
    {"regions": [{"name": "A", "condition": "Face", "sphere": {"center_voxel": [1, 1, 1]}}]},
])
def test_bad_scenarios_raise_the_programs_text(change, program, tmp_path):
    scenario = tiny_scenario(**change)
    scenario_file = tmp_path / "bad.json"
    scenario_file.write_text(json.dumps(scenario))
    done = program("simulate", scenario_file, "--out", tmp_path / "out")
    assert done.returncode == 2 and not (tmp_path / "out").exists()
    message = done.stderr.strip()
    for source in (scenario, scenario_file):
        with pytest.raises(ValueError) as raised:
            simtrove.simulate(source)
        assert str(raised.value) == message
