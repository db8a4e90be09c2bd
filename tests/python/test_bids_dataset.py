"""Simulated BIDS datasets: accepted by the BIDS validator, and read back with
nibabel and pandas, the truth, the components and the data agree."""
import json
import subprocess

import nibabel as nib
import numpy as np
import pandas as pd
import pytest

# Warnings the validator may give on a simulated dataset; the README says why
# each is acceptable.
ACCEPTED_WARNINGS = {"SLICE_TIMING_NOT_DEFINED", "NO_AUTHORS"}


def write_example(build_dir, folder, subjects, runs):
    writer = build_dir / "tests" / "formats" / "bids_example_writer"
    subprocess.run([str(writer), str(folder), str(subjects), str(runs)], check=True)
    return folder


@pytest.fixture(scope="module", params=[(1, 1), (3, 2)], ids=["1x1", "3x2"])
def dataset(request, build_dir, tmp_path_factory):
    subjects, runs = request.param
    folder = tmp_path_factory.mktemp(f"bids{subjects}x{runs}") / "dataset"
    return write_example(build_dir, folder, subjects, runs), subjects, runs


def test_validator_accepts_the_dataset(dataset, bids_validator):
    folder, _, _ = dataset
    result = subprocess.run([bids_validator, str(folder), "--json"], capture_output=True,
                            text=True, timeout=120)
    issues = json.loads(result.stdout)["issues"]
    assert [e["key"] for e in issues["errors"]] == []
    assert {w["key"] for w in issues["warnings"]} <= ACCEPTED_WARNINGS


def runs_of(folder):
    return sorted(folder.glob("sub-*/func/*_bold.nii.gz"))


def test_truth_components_and_data_agree(dataset):
    folder, subjects, runs = dataset
    bolds = runs_of(folder)
    assert len(bolds) == subjects * runs
    participants = pd.read_csv(folder / "participants.tsv", sep="\t")
    assert list(participants.participant_id) == [f"sub-{s:02d}" for s in range(1, subjects + 1)]
    group = nib.load(folder / "derivatives/simtrove/desc-truth_dseg.nii.gz").get_fdata()
    tr = json.loads((folder / "task-simtroveblock_bold.json").read_text())["RepetitionTime"]
    for bold in bolds:
        stem = bold.name[: -len("_bold.nii.gz")]
        derived = folder / "derivatives/simtrove" / bold.parent.relative_to(folder)
        image = nib.load(bold)
        data = np.asanyarray(image.dataobj)
        signal = np.asanyarray(nib.load(derived / f"{stem}_desc-signal_bold.nii.gz").dataobj)
        system = np.asanyarray(nib.load(derived / f"{stem}_desc-system_bold.nii.gz").dataobj)
        truth = np.asanyarray(nib.load(derived / f"{stem}_desc-truth_dseg.nii.gz").dataobj)
        assert data.dtype == np.float32 and image.header.get_zooms()[3] == tr
        # Gaussian system noise: the data are the signal plus the noise, to the float.
        np.testing.assert_array_equal(data, signal + system)
        # The signal moves exactly where the truth says, by the design's Task column.
        design = pd.read_csv(derived / f"{stem}_design.tsv", sep="\t")
        moving = signal.std(axis=3) > 0
        np.testing.assert_array_equal(moving, truth > 0)
        np.testing.assert_array_equal(truth, group)
        amplitude = np.linalg.lstsq(np.c_[np.ones(len(design)), design.Task],
                                    signal[truth == 1].T, rcond=None)[0][1]
        np.testing.assert_allclose(amplitude, 3.0, rtol=1e-6)
        labels = pd.read_csv(derived / f"{stem}_desc-truth_dseg.tsv", sep="\t")
        assert dict(zip(labels["index"], labels["name"])) == {0: "none", 1: "Task"}
        # Events in onset order, and the design's conditions.
        events = pd.read_csv(bold.parent / f"{stem}_events.tsv", sep="\t")
        assert events.onset.is_monotonic_increasing
        assert set(events.trial_type) <= set(design.columns)


def test_standin_main_job_as_a_dataset(build_dir, bids_validator, tmp_path):
    standin = build_dir / "standin" / "tavimo-standin"
    subprocess.run([str(standin), "--out", str(tmp_path), "--bids", str(tmp_path),
                    "--time-points", "20"], check=True, capture_output=True)
    result = subprocess.run([bids_validator, str(tmp_path), "--json"], capture_output=True,
                            text=True, timeout=120)
    issues = json.loads(result.stdout)["issues"]
    assert [e["key"] for e in issues["errors"]] == []
    assert {w["key"] for w in issues["warnings"]} <= ACCEPTED_WARNINGS
    stem = "sub-01_task-simtroveblock"
    bold = nib.load(tmp_path / "sub-01/func" / f"{stem}_bold.nii.gz")
    np.testing.assert_array_equal(np.asanyarray(bold.dataobj),
                                  np.asanyarray(nib.load(tmp_path / "Simulated.nii.gz").dataobj))
    derived = tmp_path / "derivatives/simtrove/sub-01/func"
    np.testing.assert_array_equal(
        np.asanyarray(nib.load(derived / f"{stem}_desc-truth_dseg.nii.gz").dataobj),
        np.asanyarray(nib.load(tmp_path / "Simulated_truth.nii.gz").dataobj))
    # The design matrix file: a header of 3 + N lines, then T rows of N values,
    # each the float the plug-in used, as the table's are.
    rtc = (tmp_path / "plugin_created.rtc").read_text().splitlines()
    design = pd.read_csv(derived / f"{stem}_design.tsv", sep="\t")
    assert list(design.columns) == ["Rest", "Task"]
    np.testing.assert_array_equal(design.to_numpy(np.float32),
                                  np.loadtxt(rtc[5:], ndmin=2).astype(np.float32))
    sidecar = json.loads((tmp_path / "task-simtroveblock_bold.json").read_text())
    assert sidecar["TaskName"] == "simtrove_block" and sidecar["RepetitionTime"] == 2
