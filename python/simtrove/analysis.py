"""The report's analysis of one run, without files: t-maps, detections, ROC.

analyse() fits the report's model (every predictor of the design plus a
constant) with the same C++ code as `simtrove report`, to a Simulation or to
a data file written by `simtrove simulate` (its design NAME_design.rtc and
truth NAME_truth.nii.gz are found beside it by name). The thresholds are the
report's three: Bonferroni, FDR and uncorrected, at the report's levels unless
`threshold` changes them.
"""

import os

import numpy as np
import pandas as pd

from . import _core

#: The report's threshold levels, by the names the tables use.
DEFAULT_THRESHOLD = {"Bonferroni": 0.05, "FDR": 0.05, "uncorrected": 0.001}
NOISE_MODELS = ("ols",)


class Analysis:
    """The statistics of one run.

    t: dict from statistic name to its t-map (float32, X x Y x Z);
    detections: DataFrame, one row per statistic and threshold (voxels
    detected, true and false positives against the truth, sensitivity, false
    discovery proportion, false-positive rate among the noise-only voxels that
    hold data, ROC area; NaN where a figure does not exist);
    roc: DataFrame of ROC points (statistic, false_positive_rate,
    true_positive_rate); degrees_of_freedom; options (what was asked).
    """

    def __init__(self, result, shape, options):
        self.options = dict(options)
        self.degrees_of_freedom = int(result["degrees_of_freedom"])
        self.automatic_contrasts = bool(result["automatic_contrasts"])
        self.statistics = list(result["names"])
        x, y, z = shape
        maps = result["t"].reshape(len(self.statistics), z, y, x)
        self.t = {name: maps[i].transpose(2, 1, 0) for i, name in enumerate(self.statistics)}
        self.detections = pd.DataFrame(result["detections"])
        frames = [pd.DataFrame({"statistic": name, "false_positive_rate": points[:, 0],
                                "true_positive_rate": points[:, 1]})
                  for name, points in zip(self.statistics, result["roc"]) if len(points)]
        self.roc = (pd.concat(frames, ignore_index=True) if frames else
                    pd.DataFrame(columns=["statistic", "false_positive_rate", "true_positive_rate"]))

    def __repr__(self):
        return (f"Analysis({', '.join(self.statistics)}; df {self.degrees_of_freedom}; "
                f"{self.options})")


def _levels(threshold):
    levels = dict(DEFAULT_THRESHOLD)
    for key, value in (threshold or {}).items():
        if key not in levels:
            raise ValueError(f"threshold: unknown threshold {key!r} "
                             f"(thresholds: {', '.join(levels)})")
        if not 0.0 < float(value) < 1.0:
            raise ValueError(f"threshold.{key}: {value} is not a level between 0 and 1")
        levels[key] = float(value)
    return levels


def _contrast_text(contrast):
    """The report's "NAME: EXPR"; an expression alone is its own name."""
    return contrast if ":" in contrast else f"{contrast}: {contrast}"


def _inputs_from_path(path):
    """Samples (X x Y x Z x T), design and truth of a data file and its companions."""
    import nibabel as nib

    path = os.fspath(path)
    stem = path
    for ending in (".nii.gz", ".nii"):
        if stem.endswith(ending):
            stem = stem[: -len(ending)]
            break
    else:
        raise ValueError(f"{path}: expected a .nii or .nii.gz data file")
    design_path = stem + "_design.rtc"
    if not os.path.exists(design_path):
        raise ValueError(f"{path}: no design matrix {os.path.basename(design_path)} beside it")
    data = np.asarray(nib.load(path).dataobj, dtype=np.float32)
    if data.ndim == 3:
        data = data[..., np.newaxis]
    truth_path = stem + "_truth.nii.gz"
    truth = (np.asarray(nib.load(truth_path).dataobj).astype(np.int32)
             if os.path.exists(truth_path) else None)
    names, values = _core.read_design_matrix(design_path)
    return data, names, values, truth


def analyse(sim_or_path, contrast="Task - Rest", noise_model="ols", threshold=None,
            exclude=()):
    """Fits the report's model to a Simulation or a data file; returns an Analysis.

    contrast: "Task - Rest" or "NAME: EXPR" as the report's --contrast, or
    None for the report's own choice of statistics; noise_model: "ols";
    threshold: levels by name, e.g. {"uncorrected": 0.01}; exclude:
    predictors left out of the model. Problems raise ValueError with the
    report's text.
    """
    if noise_model not in NOISE_MODELS:
        raise ValueError(f"noise_model: {noise_model!r} is not one of {', '.join(NOISE_MODELS)}")
    levels = _levels(threshold)
    if isinstance(sim_or_path, (str, os.PathLike)):
        data, names, design, truth = _inputs_from_path(sim_or_path)
    else:
        sim = sim_or_path
        data, truth = sim.data, sim.truth
        names = list(sim.design.columns)
        design = np.ascontiguousarray(sim.design.to_numpy(dtype=np.float32).T)
    if data.ndim != 4:
        raise ValueError(f"data: expected X x Y x Z x T, got shape {data.shape}")
    # The report's voxel order: x fastest, each voxel's time course contiguous.
    samples = np.ascontiguousarray(data.transpose(2, 1, 0, 3))
    labels = None if truth is None else np.ascontiguousarray(
        np.asarray(truth).transpose(2, 1, 0), dtype=np.int32)
    contrasts = [] if contrast is None else [_contrast_text(contrast)]
    options = {"contrast": contrast, "noise_model": noise_model, "threshold": levels,
               "exclude": list(exclude)}
    result = _core.analyse(samples, list(names), design, labels, contrasts, list(exclude),
                           levels["Bonferroni"], levels["FDR"], levels["uncorrected"])
    return Analysis(result, data.shape[:3], options)
