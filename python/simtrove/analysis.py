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

#: The report's thresholds, by the names the tables use, and its option for each level.
THRESHOLD_OPTIONS = {"Bonferroni": "--alpha", "FDR": "--fdr", "uncorrected": "--p"}


class Analysis:
    """The statistics of one run, as the report computes them.

    statistics: their names (predictors and contrasts, or each condition
    against the others when the conditions fill the run); t and p: dicts from
    name to its map (float32, X x Y x Z; p in the statistic's tail);
    detections: DataFrame, one row per statistic and threshold (voxels
    detected, true and false positives against the truth, sensitivity, false
    discovery proportion, false-positive rate among the noise-only voxels that
    hold data, ROC area; NaN where a figure does not exist); roc: DataFrame of
    ROC points (statistic, false_positive_rate, true_positive_rate);
    calibration: DataFrame of the report's null calibration (statistic,
    nominal level, noise voxels above it, rate and its 95 % interval);
    degrees_of_freedom, noise_model, tail, median_autocorrelation; options.
    """

    def __init__(self, result, shape, options):
        self.options = dict(options)
        self.degrees_of_freedom = int(result["degrees_of_freedom"])
        self.automatic_contrasts = bool(result["automatic_contrasts"])
        self.noise_model = result["noise_model"]
        self.tail = result["tail"]
        self.median_autocorrelation = float(result["median_autocorrelation"])
        self.columns = list(result["columns"])
        self.statistics = list(result["names"])
        self.weights = dict(zip(self.statistics, result["weights"]))
        x, y, z = shape
        # The report's voxel order is x fastest: (Z, Y, X) in C order, viewed as X x Y x Z.
        as_volume = lambda m: m.reshape(z, y, x).transpose(2, 1, 0)  # noqa: E731
        self.t = {name: as_volume(m) for name, m in zip(self.statistics, result["t"])}
        self.p = {name: as_volume(m) for name, m in zip(self.statistics, result["p"])}
        self.detections = pd.DataFrame(result["detections"])
        frames = [pd.DataFrame({"statistic": name, "false_positive_rate": points[:, 0],
                                "true_positive_rate": points[:, 1]})
                  for name, points in zip(self.statistics, result["roc"]) if len(points)]
        self.roc = (pd.concat(frames, ignore_index=True) if frames else
                    pd.DataFrame(columns=["statistic", "false_positive_rate", "true_positive_rate"]))
        self.calibration = pd.DataFrame(result["calibration"])

    def __repr__(self):
        return (f"Analysis({', '.join(self.statistics)}; {self.noise_model}, {self.tail} tail, "
                f"df {self.degrees_of_freedom})")


def _contrast_text(contrast):
    """The report's "NAME: EXPR"; an expression alone is its own name."""
    return contrast if ":" in contrast else f"{contrast}: {contrast}"


def contrast_name(contrast):
    """The statistic's name of a contrast option ("Task - Rest" or "NAME: EXPR")."""
    return _contrast_text(str(contrast)).split(":", 1)[0].strip()


def _report_args(contrast, noise_model, threshold, tail, high_pass, exclude,
                 smooth_autocorrelation):
    """analyse()'s options as the report's command-line options."""
    args = []
    if contrast is not None:
        args += ["--contrast", _contrast_text(str(contrast))]
    args += ["--noise-model", str(noise_model)]
    for name, level in (threshold or {}).items():
        if name not in THRESHOLD_OPTIONS:
            raise ValueError(f"threshold: unknown threshold {name!r} "
                             f"(thresholds: {', '.join(THRESHOLD_OPTIONS)})")
        args += [THRESHOLD_OPTIONS[name], repr(float(level))]
    if tail is not None:
        args += ["--tail", str(tail)]
    if high_pass is not None:
        args += ["--high-pass", repr(float(high_pass))]
    for name in exclude:
        args += ["--exclude", str(name)]
    if not smooth_autocorrelation:
        args.append("--ar1-per-voxel")
    return args


def _inputs_from_path(path):
    """Data (X x Y x Z x T), TR, affine, design and truth of a data file and its companions."""
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
    try:
        image = nib.load(path)
    except Exception as e:  # nibabel raises several kinds
        raise ValueError(f"{path}: cannot read the image: {e}") from None
    data = np.asarray(image.dataobj, dtype=np.float32)
    if data.ndim == 3:
        data = data[..., np.newaxis]
    zooms = image.header.get_zooms()
    tr = float(zooms[3]) if len(zooms) > 3 and zooms[3] > 0 else 2.0
    truth_path = stem + "_truth.nii.gz"
    truth = (np.asarray(nib.load(truth_path).dataobj).astype(np.int32)
             if os.path.exists(truth_path) else None)
    names, values = _core.read_design_matrix(design_path)
    return data, tr, image.affine, names, values, truth


def analyse(sim_or_path, contrast="Task - Rest", noise_model="ols", threshold=None, *,
            tail=None, high_pass=None, exclude=(), smooth_autocorrelation=True):
    """Runs the report's analysis on a Simulation or a data file; returns an Analysis.

    The options are the report's: contrast "Task - Rest" or "NAME: EXPR"
    (None: the report's own choice of statistics); noise_model "ols" or
    "ar1"; threshold: levels by name, e.g. {"uncorrected": 0.01} (defaults
    Bonferroni 0.05, FDR 0.05, uncorrected 0.001); tail "positive" (the
    report's default), "negative" or "both"; high_pass: drift regressors down
    to that period in seconds; exclude: predictors left out of the model;
    smooth_autocorrelation=False: each voxel's own AR(1) coefficient. A file
    brings its design NAME_design.rtc and truth NAME_truth.nii.gz from beside
    it. Problems raise ValueError with the report's text.
    """
    args = _report_args(contrast, noise_model, threshold, tail, high_pass, exclude,
                        smooth_autocorrelation)
    if isinstance(sim_or_path, (str, os.PathLike)):
        data, tr, affine, names, design, truth = _inputs_from_path(sim_or_path)
    else:
        sim = sim_or_path
        data, truth, affine = sim.data, sim.truth, sim.affine
        tr = sim.repetition_time
        names = list(sim.design.columns)
        design = np.ascontiguousarray(sim.design.to_numpy(dtype=np.float32).T)
    if np.ndim(data) != 4:
        raise ValueError(f"data: expected X x Y x Z x T, got shape {np.shape(data)}")
    voxel_mm = float(np.linalg.norm(np.asarray(affine, float)[:3, 0]))
    labels = None if truth is None else np.asarray(truth, dtype=np.int32)
    result = _core.analyse(data, tr, voxel_mm, list(names), design, labels, args)
    options = {"contrast": contrast, "noise_model": noise_model, "threshold": threshold,
               "tail": tail, "high_pass": high_pass, "exclude": list(exclude)}
    return Analysis(result, np.shape(data)[:3], options)
