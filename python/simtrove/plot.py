"""Curves of a study's figures with their 95 % intervals (matplotlib)."""

import numpy as np
import pandas as pd


def summarise(table, x, y, hue=None):
    """Mean of `y` per (hue, x) over the runs, with its 95 % interval.

    The interval is the mean's t interval over the runs (Student's t with
    n - 1 degrees of freedom, NaN with one run); runs where `y` does not
    exist (NaN, e.g. the sensitivity of a run without signal) are left out.
    Returns a DataFrame with hue, x, n, mean, low, high.
    """
    from scipy import stats

    keys = [k for k in (hue, x) if k is not None]
    rows = []
    for key, group in table.groupby(keys if len(keys) > 1 else keys[0], sort=True):
        values = group[y].dropna().to_numpy(dtype=float)
        n = len(values)
        mean = values.mean() if n else np.nan
        half = (stats.t.ppf(0.975, n - 1) * values.std(ddof=1) / np.sqrt(n)) if n > 1 else np.nan
        key = key if isinstance(key, tuple) else (key,)
        rows.append({**dict(zip(keys, key)), "n": n, "mean": mean, "low": mean - half,
                     "high": mean + half})
    return pd.DataFrame(rows)


def _position(value):
    """A number for the x axis: one-element tuples (an AR list) give their element."""
    if isinstance(value, tuple) and len(value) == 1:
        value = value[0]
    return float(value)


def plot_study(table, x, y="sensitivity", hue="analysis", threshold=None, ax=None):
    """One curve per `hue` of the mean of `y` against `x`, with 95 % intervals.

    table: a study() table; threshold: one of its thresholds ("uncorrected",
    "FDR", "Bonferroni"); None draws one panel per threshold in the table.
    A numeric x gives lines with shaded intervals, any other x points with
    error bars. Returns the matplotlib Figure.
    """
    import matplotlib.pyplot as plt

    for column in (x, y) + ((hue,) if hue else ()):
        if column not in table.columns:
            raise ValueError(f"{column}: not a column of the table ({', '.join(table.columns)})")
    thresholds = [threshold] if threshold is not None else list(dict.fromkeys(table["threshold"]))
    if ax is not None and len(thresholds) > 1:
        raise ValueError("ax: give a threshold to draw a single panel")
    if ax is None:
        fig, axes = plt.subplots(1, len(thresholds), figsize=(4.2 * len(thresholds), 3.4),
                                 squeeze=False, sharey=True)
        axes = list(axes[0])
    else:
        fig, axes = ax.figure, [ax]
    for panel, name in zip(axes, thresholds):
        part = table[table["threshold"] == name]
        if part.empty:
            raise ValueError(f"threshold {name!r}: no rows in the table")
        summary = summarise(part, x, y, hue)
        groups = summary.groupby(hue, sort=False) if hue else [(None, summary)]
        try:
            positions = summary[x].map(_position)
            numeric = True
        except (TypeError, ValueError):
            categories = list(dict.fromkeys(summary[x]))
            positions = summary[x].map(categories.index).astype(float)
            numeric = False
        for i, (label, group) in enumerate(groups):
            at = positions[group.index].to_numpy()
            if numeric:
                line, = panel.plot(at, group["mean"], marker="o", label=label)
                panel.fill_between(at, group["low"], group["high"], color=line.get_color(),
                                   alpha=0.2, linewidth=0)
            else:
                shift = 0.1 * (i - (len(groups) - 1) / 2) if hue else 0.0
                panel.errorbar(at + shift, group["mean"],
                               yerr=[group["mean"] - group["low"], group["high"] - group["mean"]],
                               fmt="o", capsize=4, label=label)
        if not numeric:
            panel.set_xticks(range(len(categories)), [str(c) for c in categories])
            panel.set_xlim(-0.5, len(categories) - 0.5)
        if y == "false_positive_rate" and "level" in part and name == "uncorrected":
            panel.axhline(part["level"].iloc[0], color="grey", linestyle="--", linewidth=1,
                          label="nominal")
        panel.set_title(f"{name} threshold")
        panel.set_xlabel(x)
        panel.grid(alpha=0.3)
    axes[0].set_ylabel(f"{y.replace('_', ' ')} (mean, 95 % interval)")
    if hue:
        axes[-1].legend(fontsize="small")
    fig.tight_layout()
    return fig
