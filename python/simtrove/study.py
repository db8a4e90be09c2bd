"""Monte-Carlo studies: many simulated runs, each analysed several ways, in one table.

study() simulates every combination of a seed and the values in `vary`,
analyses each run with every entry of `analyses` and returns one row per run,
analysis, statistic and threshold. Each run is one task: serially
(processes=1), on local processes (the default), or on a Dask cluster when a
dask.distributed Client is given. A run's rows depend only on its scenario
and seed, never on where it ran, so the three give the same table. A task
keeps its run's 4-D data only until its analyses are done.
"""

import concurrent.futures
import copy
import inspect
import itertools
import json
import multiprocessing
import os
import sys

import pandas as pd

from .analysis import analyse, contrast_name
from .progress import Progress, wanted

DEFAULT_CONTRAST = inspect.signature(analyse).parameters["contrast"].default

#: The figures of each row, after the run's parameters and the analysis.
FIGURES = ["statistic", "threshold", "level", "detected", "planted", "noise", "true_positives",
           "false_positives", "sensitivity", "false_discovery_proportion",
           "false_positive_rate", "roc_area"]


def _load(scenario):
    """The scenario as a dict and the folder its relative paths start from."""
    if isinstance(scenario, dict):
        return copy.deepcopy(scenario), os.getcwd()
    path = os.fspath(scenario)
    try:
        with open(path, encoding="utf-8") as f:
            return json.load(f), os.path.dirname(os.path.abspath(path))
    except (OSError, ValueError) as e:
        raise ValueError(f"{path}: {e}") from None


def set_key(scenario, path, value):
    """Sets a key path such as "regions.0.percent" or "noise.temporal.ar" in place.

    Numbers index lists; missing objects on the way are created (so a noise
    component can be varied into a scenario that lacks it).
    """
    keys = path.split(".")
    node = scenario
    for depth, key in enumerate(keys):
        last = depth == len(keys) - 1
        where = ".".join(keys[:depth + 1])
        if isinstance(node, list):
            if not key.isdigit() or int(key) >= len(node):
                raise ValueError(f"vary {path}: {where}: no such list entry "
                                 f"(the list has {len(node)})")
            key = int(key)
        elif not isinstance(node, dict):
            raise ValueError(f"vary {path}: {where}: not an object or a list")
        if last:
            node[key] = copy.deepcopy(value)
        else:
            if isinstance(node, dict) and key not in node:
                node[key] = {}
            node = node[key]


def _label(options):
    return ", ".join(f"{k}={v}" for k, v in options.items()) or "defaults"


def _analyses(analyses):
    """(label, options) pairs from a dict {label: options} or a list of options."""
    if isinstance(analyses, dict):
        pairs = [(str(label), dict(options)) for label, options in analyses.items()]
    else:
        pairs = [(_label(options), dict(options)) for options in analyses]
    if not pairs:
        raise ValueError("analyses: at least one analysis is needed")
    return pairs


def _hashable(value):
    return tuple(_hashable(v) for v in value) if isinstance(value, list) else value


def _run(task):
    """Simulates one run, analyses it every way asked; its rows (no 4-D data kept)."""
    from .simulation import simulate_in

    scenario, folder, run, seed, parameters, analyses, threads = task
    for key, value in parameters.items():
        set_key(scenario, key, value)
    sim = simulate_in(scenario, folder, seed=seed, threads=threads)
    rows = []
    for label, options in analyses:
        result = analyse(sim, **options)
        # The analysis's contrast is its statistic; without one, every statistic.
        contrast = options.get("contrast", DEFAULT_CONTRAST)
        keep = None if contrast is None else contrast_name(contrast)
        head = {"run": run, "seed": seed}
        head.update({key: _hashable(value) for key, value in parameters.items()})
        head["analysis"] = label
        for row in result.detections.to_dict("records"):
            if keep is None or row["statistic"] == keep:
                rows.append({**head, **{k: row[k] for k in FIGURES}})
        del result
    del sim
    return run, rows


def _tasks(scenario, folder, seeds, vary, analyses, threads):
    keys = list(vary)
    combos = list(itertools.product(*(vary[k] for k in keys)))
    tasks = []
    for combo in combos:
        for seed in seeds:
            parameters = dict(zip(keys, combo))
            tasks.append((copy.deepcopy(scenario), folder, len(tasks), int(seed), parameters,
                          analyses, threads))
    return tasks


def _check(scenario, folder, vary):
    """Refuses the study before any run when one of its scenarios cannot be run."""
    from . import _core

    keys = list(vary)
    for combo in itertools.product(*(vary[k] for k in keys)):
        changed = copy.deepcopy(scenario)
        for key, value in zip(keys, combo):
            set_key(changed, key, value)
        try:
            _core.check(json.dumps(changed), folder)
        except ValueError as e:
            where = ", ".join(f"{k} = {v!r}" for k, v in zip(keys, combo))
            raise ValueError(f"{e} (with {where})" if where else str(e)) from None


def _combinations(vary):
    count = 1
    for values in vary.values():
        count *= len(values)
    return count


def _serial(tasks, bar):
    for task in tasks:
        yield _run(task)
        bar.update()


def _local(tasks, processes, bar):
    # forkserver: the workers start from a clean interpreter, not from a fork
    # of a parent that may run threads (a notebook, a Dask client).
    method = "forkserver" if "forkserver" in multiprocessing.get_all_start_methods() else "spawn"
    with concurrent.futures.ProcessPoolExecutor(
            processes, mp_context=multiprocessing.get_context(method)) as pool:
        futures = [pool.submit(_run, t) for t in tasks]
        try:
            for future in concurrent.futures.as_completed(futures):
                yield future.result()
                bar.update()
        except BaseException:
            # A failed run (or an interrupt) ends the study without the runs still queued.
            for future in futures:
                future.cancel()
            raise


def _cluster(tasks, client, show):
    futures = client.map(_run, tasks, key=[f"simtrove-run-{t[2]}" for t in tasks], pure=False)
    if show:
        from distributed import progress

        progress(futures)
    return client.gather(futures)


def study(scenario, *, seeds, vary=None, analyses, client=None, processes=None, progress=None):
    """Simulates and analyses every combination of a seed and the values in `vary`.

    scenario: a dict with the scenario file's keys, or a path to one; seeds:
    the seeds of each combination; vary: {key path: [values]}, e.g.
    {"regions.0.percent": [0.5, 1, 2]}; analyses: a list of analyse()'s
    options (each labelled by them) or a dict {label: options}; client: a
    dask.distributed Client to run on, else local processes (`processes`
    of them, default the cores; 1 runs in this process); progress: show a
    progress bar (default: when standard error is a terminal or a notebook).

    Returns a DataFrame, one row per run, analysis and threshold (per
    statistic for an analysis with contrast=None): run, seed, each varied key,
    analysis, then FIGURES; sorted by run.
    """
    scenario, folder = _load(scenario)
    vary = dict(vary or {})
    seeds = list(seeds)
    if not seeds:
        raise ValueError("seeds: at least one seed is needed")
    for key, values in vary.items():
        if not isinstance(values, (list, tuple)) or not values:
            raise ValueError(f"vary {key}: expected a non-empty list of values")
    analyses = _analyses(analyses)
    _check(scenario, folder, vary)
    show = wanted(progress)
    if client is not None:
        # One thread per run: the cluster's workers run runs side by side.
        results = _cluster(_tasks(scenario, folder, seeds, vary, analyses, 1), client, show)
    else:
        processes = processes or min(os.cpu_count() or 1, len(seeds) * _combinations(vary))
        # A run in this process may use every core; runs side by side one each.
        tasks = _tasks(scenario, folder, seeds, vary, analyses, None if processes == 1 else 1)
        bar = Progress(len(tasks), "study", enabled=show, stream=sys.stderr)
        runner = _serial(tasks, bar) if processes == 1 else _local(tasks, processes, bar)
        results = list(runner)
        bar.close()
    rows = [row for _, rows in sorted(results, key=lambda r: r[0]) for row in rows]
    columns = ["run", "seed", *vary, "analysis", *FIGURES]
    return pd.DataFrame(rows, columns=columns)
