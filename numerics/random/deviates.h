// Uniform and normal random deviates with module-wide state.
//
// Both generators share one state that lives as long as the library and starts
// zeroed; neither is safe for concurrent use. The seed is the caller's int,
// passed by address; a seed <= 0 asks for re-initialisation. Code that must
// continue or reproduce the sequence exactly reaches the state through
// numerics/random/deviates_internal.h.
#pragma once

// A float in (0, 0.99999988], from a multiplicative congruential generator
// (16807, modulus 2^31 - 1) behind a 32-entry shuffle table. A seed <= 0 (or an
// uninitialised generator) re-initialises the table; after each draw the seed
// holds the generator state (1 .. 2^31 - 2).
float uniform_deviate(int* seed);
// A standard normal float by the polar method on uniform_deviate; each accepted
// pair yields two deviates, the second one cached for the next call. The cache
// survives a new seed: a run that drew an odd number of deviates hands its
// leftover to the next run's first call. Its logarithm is floatLog
// (float_log.h), so the deviates do not depend on the C runtime.
float normal_deviate(int* seed);
