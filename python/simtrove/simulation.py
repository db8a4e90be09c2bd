"""One simulated run in memory: simulate() and Simulation.

simulate() runs a scenario with the engine of `simtrove simulate` (every
check and message is the program's: a bad scenario raises ValueError with the
program's text). The Simulation's arrays are views of the engine's buffers,
not copies: the run stays alive as long as any of them does.
"""

import io
import json
import os

import numpy as np
import pandas as pd

from . import _core


class Simulation:
    """A simulated run.

    data: float32 X x Y x Z x T (a view of the engine's buffer); truth: int16
    X x Y x Z labels (0 noise only, k the design's column k); components:
    {name: X x Y x Z x T array} when asked for, else None; design: DataFrame,
    one column per predictor, one row per volume; events: DataFrame with the
    BIDS columns onset, duration, trial_type; realised and scenario: the
    sidecar's "Realised" and "Simulation" (the scenario with every default
    filled in); affine: the 4 x 4 voxel-to-mm matrix of the NIfTI files;
    name, repetition_time.
    """

    def __init__(self, run):
        self._run = run
        self.name = run.name
        self.repetition_time = float(run.repetition_time)
        self.data = run.data
        self.truth = run.truth
        self.components = run.components if run.has_components else None
        self.design = pd.DataFrame(run.design.T, columns=list(run.design_names))
        self.design.index.name = "volume"
        self.events = pd.read_csv(io.StringIO(run.events_tsv), sep="\t")
        self.realised = json.loads(run.realised_json)
        self.scenario = json.loads(run.scenario_json)
        self.affine = np.array(run.affine, dtype=float)

    def __repr__(self):
        x, y, z, t = self.data.shape
        return f"Simulation({self.name!r}, {x} x {y} x {z} voxels, {t} volumes)"

    def to_nifti(self):
        """The data as a nibabel Nifti1Image with the header the program writes."""
        import nibabel as nib

        header = nib.Nifti1Header.from_fileobj(io.BytesIO(self._run.nifti_header()))
        return nib.Nifti1Image(self.data, None, header)

    def save(self, directory):
        """Writes the program's files into `directory` (created); byte-identical to
        `simtrove simulate` with the same scenario. Returns the paths written."""
        return list(self._run.save(os.fspath(directory)))

    def save_bids(self, directory):
        """Writes the scenario as a BIDS dataset into `directory`, as
        `simtrove simulate --bids` does: every subject and run of the scenario
        (this run is its first), the truth, the design and, when the simulation
        kept them, the components under derivatives/simtrove. Returns the paths
        written."""
        return list(self._run.save_bids(os.fspath(directory)))


def simulate_in(scenario, folder, *, seed=None, threads=None, components=False):
    """simulate() of a scenario dict whose relative paths start from `folder`."""
    return Simulation(_core.simulate(json.dumps(scenario), os.fspath(folder), seed, threads,
                                     bool(components)))


def simulate(scenario, *, seed=None, threads=None, components=False):
    """Runs a scenario: a dict with the scenario file's keys, or a path to one.

    Relative paths in a dict start from the current folder, in a file from
    the file's folder. seed overrides the scenario's seed; threads: the number of threads (default
    all cores; the samples do not depend on it); components: also keep the
    noise-free signal and every noise component. Returns a Simulation.
    """
    if isinstance(scenario, dict):
        return simulate_in(scenario, os.getcwd(), seed=seed, threads=threads,
                           components=components)
    return Simulation(_core.simulate_file(os.fspath(scenario), seed, threads, bool(components)))
