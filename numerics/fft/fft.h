// Radix-2 fast Fourier transforms on single-precision, 1-based arrays.
//
// Sign +1 transforms with exp(+2*pi*i*k*m/N), sign -1 with the negative exponent; neither
// direction normalises. All transforms work in place and allocate nothing. Data are floats;
// angles and the running twiddle recurrence are doubles (two sines per butterfly stage, no
// table, no per-element sine or cosine).
//
// Complex data: point k (0-based) has its real part at index 2k+1, its imaginary part at 2k+2.
// Every size must be a power of two (real sizes at least 2), since any other size would make
// the butterflies run past the array; the multidimensional routines also need ndim >= 1 and a
// sign of +1 or -1. A violation ends the process through numeric_fatal_error with a message
// naming the routine; valid calls are not affected by these checks.
#pragma once

#include <cstdint>

// Transforms nn complex points data[1..2*nn]. Forward then inverse returns nn times the input.
// Only sign +1 and -1 give a Fourier transform.
void complex_fft(float* data, std::uint32_t nn, int sign);

// sign +1: replaces n real values data[1..n] by their packed half spectrum: data[1] = H(0),
// data[2] = H(n/2) (both real), data[2m+1] + i*data[2m+2] = H(m) for m = 1..n/2-1.
// Any other sign: takes such a spectrum back and returns the real values times n/2.
void real_fft(float* data, std::uint32_t n, int sign);

// Transforms a row-major complex array of dims[1] x ... x dims[ndim] points (last dimension
// fastest), stored as data[1..2*T] with T the product of the dims. sign must be +1 or -1.
// Forward then inverse returns T times the input.
void complex_fft_nd(float* data, const std::uint32_t* dims, int ndim, int sign);

// Real 3-D transform of data[1..nn1][1..nn2][1..nn3], which must be one contiguous block as
// f3tensor lays it out (checked: otherwise fatal error before anything is changed).
// sign +1: data[i1][i2][2*i3-1], data[i1][i2][2*i3] become H(i1-1, i2-1, i3-1), i3 = 1..nn3/2;
// nyquist[1..nn1][1..2*nn2] receives H(i1-1, i2-1, nn3/2) at columns 2*i2-1, 2*i2.
// sign -1: takes that layout back (overwriting nyquist) and returns the real data times
// nn1*nn2*nn3/2. nn1 = 1 gives the 2-D transform of an nn2 x nn3 array.
void real_fft_3d(float*** data, float** nyquist, std::uint32_t nn1, std::uint32_t nn2,
                 std::uint32_t nn3, int sign);
