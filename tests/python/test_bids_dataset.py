"""Simulated BIDS datasets: accepted by the BIDS validator, and read back with
nibabel and pandas, the truth, the components and the data agree; subjects
are the same one at a time."""
import json
import subprocess

import nibabel as nib
import numpy as np
import pandas as pd
import pytest

# Warnings the validator may give on a simulated dataset; the README says why
# each is acceptable.
ACCEPTED_WARNINGS = {"SLICE_TIMING_NOT_DEFINED", "NO_AUTHORS"}
COMPONENT_ORDER = ["signal", "system", "temporal", "drift", "physiological", "spatial"]


def scenario(subjects, runs, **extra):
    return {"name": "group", "grid": {"shape": [10, 9, 8], "voxel_mm": [3, 3, 3.5]},
            "time_points": 40, "tr": 2,
            "regions": [{"name": "Left", "condition": "Task", "percent": 3,
                         "sphere": {"center_voxel": [4, 4, 4], "radius_voxels": 2}}],
            "noise": {"system": {"sd": 5}, "temporal": {"sd": 2, "ar": [0.3]},
                      "drift": {"sd": 1}, "physiological": {"sd": 1},
                      "spatial": {"sd": 1, "fwhm_mm": 6}},
            "subjects": subjects, "runs": runs,
            "variability": {"percent_sd": 1, "center_jitter_voxels": 1, "run_percent_sd": 0.5},
            **extra}


def simulate(build_dir, folder, description, *options):
    folder.mkdir(parents=True, exist_ok=True)
    path = folder / "scenario.json"
    path.write_text(json.dumps(description))
    subprocess.run([str(build_dir / "program" / "simtrove"), "simulate", str(path),
                    "--bids", str(folder / "dataset"), *options], check=True, capture_output=True)
    return folder / "dataset"


def validate(bids_validator, folder):
    result = subprocess.run([bids_validator, str(folder), "--json"], capture_output=True,
                            text=True, timeout=120)
    issues = json.loads(result.stdout)["issues"]
    assert [e["key"] for e in issues["errors"]] == []
    assert {w["key"] for w in issues["warnings"]} <= ACCEPTED_WARNINGS


def load(path):
    return np.asanyarray(nib.load(path).dataobj)


@pytest.fixture(scope="module", params=[(1, 1), (3, 2)], ids=["1x1", "3x2"])
def dataset(request, build_dir, tmp_path_factory):
    subjects, runs = request.param
    folder = tmp_path_factory.mktemp(f"bids{subjects}x{runs}")
    return simulate(build_dir, folder, scenario(subjects, runs), "--components"), subjects, runs


def test_validator_accepts_the_dataset(dataset, bids_validator):
    validate(bids_validator, dataset[0])


def test_truth_components_and_data_agree(dataset):
    folder, subjects, runs = dataset
    bolds = sorted(folder.glob("sub-*/func/*_bold.nii.gz"))
    assert len(bolds) == subjects * runs
    participants = pd.read_csv(folder / "participants.tsv", sep="\t")
    assert list(participants.participant_id) == [f"sub-{s:02d}" for s in range(1, subjects + 1)]
    group = load(folder / "derivatives/simtrove/desc-truth_dseg.nii.gz")
    tr = json.loads((folder / "task-block_bold.json").read_text())["RepetitionTime"]
    for bold in bolds:
        stem = bold.name[: -len("_bold.nii.gz")]
        subject = stem.split("_")[0]
        derived = folder / "derivatives/simtrove" / subject / "func"
        image = nib.load(bold)
        data = np.asanyarray(image.dataobj)
        assert data.dtype == np.float32 and image.header.get_zooms() == (3, 3, 3.5, tr)
        # Gaussian system noise: the data are the sum of the components,
        # added in double in the stated order and rounded once.
        total = np.zeros(data.shape)
        for name in COMPONENT_ORDER:
            total += load(derived / f"{stem}_desc-{name}_bold.nii.gz").astype(np.float64)
        np.testing.assert_array_equal(data, total.astype(np.float32))
        # The signal moves exactly where the truth says; the truth is the group's
        # regions moved by the subject's drawn shift.
        signal = load(derived / f"{stem}_desc-signal_bold.nii.gz").astype(np.float64)
        truth = load(derived / f"{stem}_desc-truth_dseg.nii.gz")
        np.testing.assert_array_equal(signal.std(axis=3) > 0, truth > 0)
        draws = json.loads((folder / "derivatives/simtrove" / subject /
                            f"{subject}_variability.json").read_text())
        shift = draws["CenterShiftVoxels"]
        np.testing.assert_array_equal(np.nonzero(truth)[0].min() - np.nonzero(group)[0].min(),
                                      shift[0])
        assert truth.sum() == group.sum()  # the sphere stays inside this grid
        # The planted percent is the run's drawn percent: least squares on the
        # design's Task column, in percent of the baseline 100.
        design = pd.read_csv(derived / f"{stem}_design.tsv", sep="\t")
        amplitude = np.linalg.lstsq(np.c_[np.ones(len(design)), design.Task],
                                    signal[truth == 2].T, rcond=None)[0][1]
        realised = json.loads((derived / f"{stem}_realised.json").read_text())
        np.testing.assert_allclose(amplitude, realised["Variability"]["Regions"]["Left"]["percent"],
                                   rtol=1e-5)
        labels = pd.read_csv(derived / f"{stem}_desc-truth_dseg.tsv", sep="\t")
        assert dict(zip(labels["index"], labels["name"])) == {0: "none", 1: "Rest", 2: "Task"}
        events = pd.read_csv(bold.parent / f"{stem}_events.tsv", sep="\t")
        assert events.onset.is_monotonic_increasing


def test_a_subject_is_the_same_whatever_the_number_of_subjects(build_dir, tmp_path):
    few = simulate(build_dir, tmp_path / "few", scenario(3, 1))
    many = simulate(build_dir, tmp_path / "many", scenario(30, 1))
    name = "sub-03/func/sub-03_task-block_bold.nii.gz"
    np.testing.assert_array_equal(load(few / name), load(many / name))
    draws = "derivatives/simtrove/sub-03/sub-03_variability.json"
    assert (few / draws).read_text() == (many / draws).read_text()
    assert not np.array_equal(load(few / name), load(few / name.replace("03", "02")))
    # Fewer subjects into the folder of more would leave a mix of two datasets.
    again = subprocess.run([str(build_dir / "program" / "simtrove"), "simulate",
                            str(tmp_path / "few" / "scenario.json"), "--bids", str(many)],
                           capture_output=True, text=True)
    assert again.returncode == 2
    assert again.stderr.endswith(f"{many}: holds sub-04, which this dataset does not have: "
                                 "write into an empty folder or remove it\n")


def test_design_from_a_bids_run(build_dir, bids_validator, tmp_path):
    source = simulate(build_dir, tmp_path / "source", scenario(1, 2, tr=1.5, time_points=100))
    # No tr: the repetition time comes from the dataset.
    description = scenario(1, 1, time_points=100, design={"bids": str(source), "subject": "01",
                                                          "task": "block", "run": 2})
    del description["tr"]
    copy = simulate(build_dir, tmp_path / "copy", description)
    validate(bids_validator, copy)
    assert json.loads((copy / "task-block_bold.json").read_text())["RepetitionTime"] == 1.5
    pd.testing.assert_frame_equal(
        pd.read_csv(source / "sub-01/func/sub-01_task-block_run-2_events.tsv", sep="\t"),
        pd.read_csv(copy / "sub-01/func/sub-01_task-block_events.tsv", sep="\t"))


def test_standin_main_job_as_a_dataset(build_dir, bids_validator, tmp_path):
    standin = build_dir / "standin" / "tavimo-standin"
    subprocess.run([str(standin), "--out", str(tmp_path), "--bids", str(tmp_path),
                    "--time-points", "20"], check=True, capture_output=True)
    validate(bids_validator, tmp_path)
    stem = "sub-01_task-simtroveblock"
    np.testing.assert_array_equal(load(tmp_path / "sub-01/func" / f"{stem}_bold.nii.gz"),
                                  load(tmp_path / "Simulated.nii.gz"))
    derived = tmp_path / "derivatives/simtrove/sub-01/func"
    np.testing.assert_array_equal(load(derived / f"{stem}_desc-truth_dseg.nii.gz"),
                                  load(tmp_path / "Simulated_truth.nii.gz"))
    # The design matrix file: a header of 3 + N lines, then T rows of N values,
    # each the float the plug-in used, as the table's are.
    rtc = (tmp_path / "plugin_created.rtc").read_text().splitlines()
    design = pd.read_csv(derived / f"{stem}_design.tsv", sep="\t")
    assert list(design.columns) == ["Rest", "Task"]
    np.testing.assert_array_equal(design.to_numpy(np.float32),
                                  np.loadtxt(rtc[5:], ndmin=2).astype(np.float32))
    sidecar = json.loads((tmp_path / "task-simtroveblock_bold.json").read_text())
    assert sidecar["TaskName"] == "simtrove_block" and sidecar["RepetitionTime"] == 2
