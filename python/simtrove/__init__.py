"""Simtrove in Python: simulated fMRI runs, their analysis, and studies over many runs.

    import simtrove
    sim = simtrove.simulate("scenario.json", seed=3)      # a Simulation: .data, .truth, .design, ...
    result = simtrove.analyse(sim, contrast="Task - Rest")
    table = simtrove.study("scenario.json", seeds=range(20),
                           vary={"regions.0.percent": [0.5, 1, 2]},
                           analyses=[{"noise_model": "ols"}])
    simtrove.plot_study(table, x="regions.0.percent", y="sensitivity", hue="analysis")
"""

from .analysis import Analysis, analyse
from .plot import plot_study
from .simulation import Simulation, simulate
from .study import study

__all__ = ["Analysis", "Simulation", "analyse", "plot_study", "simulate", "study"]
