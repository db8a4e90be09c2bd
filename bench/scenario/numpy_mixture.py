#!/usr/bin/python3
"""The noise mixture of scenario_bench written plainly with numpy and scipy,
as a user would write it instead of the engine: white noise, AR(2) by
scipy.signal.lfilter, a DCT drift, two sinusoids and a Gaussian field by
scipy.ndimage.gaussian_filter, on 58 x 40 x 46 voxels x 250 volumes of 3 mm.
Prints seconds and ns per sample for white noise alone and for the mixture
(one thread; the figures go beside scenario_bench's in the README).

Run: /usr/bin/python3 bench/scenario/numpy_mixture.py [repetitions]
"""
import sys
import time

import numpy as np
from scipy import ndimage, signal

X, Y, Z, T, TR = 58, 40, 46, 250, 2.0
V = X * Y * Z


def white(rng):
    return 5.0 * rng.standard_normal((T, Z, Y, X), dtype=np.float32)


def mixture(rng):
    data = 100.0 + 2.0 * rng.standard_normal((T, Z, Y, X))
    # AR(2), innovations scaled for a marginal sd of 3; started from zero (the
    # plain way: the first volumes carry a start-up transient).
    phi = [0.4, 0.2]
    gamma0 = (1 - phi[1]) / ((1 + phi[1]) * ((1 - phi[1]) ** 2 - phi[0] ** 2))
    e = rng.standard_normal((T, Z, Y, X)) * (3.0 / np.sqrt(gamma0))
    data += signal.lfilter([1.0], [1.0, -phi[0], -phi[1]], e, axis=0)
    # Drift: cosines with periods above 128 s, weights per voxel.
    k = np.arange(1, int(np.ceil(2 * T * TR / 128.0)))
    t = np.arange(T)
    basis = np.cos(np.pi * np.outer(t + 0.5, k) / T)
    weights = rng.standard_normal((len(k), V)) * (2.0 * np.sqrt(2.0 / len(k)))
    data += (basis @ weights).reshape(T, Z, Y, X)
    # Physiological: two sinusoids with random phases per voxel.
    for hz in (1.17, 0.3):
        phase = rng.uniform(0, 2 * np.pi, V)
        data += (np.sqrt(2 * 0.5) * np.sin(2 * np.pi * hz * TR * t[:, None] + phase)).reshape(
            T, Z, Y, X)
    # Spatial: each volume a smoothed white field (FWHM 6 mm = 2 voxels),
    # rescaled to sd 2 (the filter's own edges and truncation left as they are).
    sigma = 2.0 / np.sqrt(8 * np.log(2))
    for v in range(T):
        field = ndimage.gaussian_filter(rng.standard_normal((Z, Y, X)), sigma)
        data[v] += 2.0 * field / field.std()
    return data.astype(np.float32)


def timed(function, repetitions):
    times = []
    for r in range(repetitions):
        rng = np.random.default_rng(r)
        start = time.perf_counter()
        function(rng)
        times.append(time.perf_counter() - start)
    return sorted(times)[len(times) // 2]


def main():
    repetitions = int(sys.argv[1]) if len(sys.argv) > 1 else 3
    samples = V * T
    for name, function in (("white (numpy)", white), ("mixture (numpy/scipy)", mixture)):
        seconds = timed(function, repetitions)
        print(f"{name:24s} {seconds:7.3f} s  {seconds / samples * 1e9:7.2f} ns/sample")


if __name__ == "__main__":
    main()
