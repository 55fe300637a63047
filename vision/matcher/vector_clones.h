// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Marks a function whose loops vectorise far better with AVX2 (byte triples, wide doubles):
// GCC on x86-64 Linux builds it twice, for AVX2 and for any x86-64, and the loader picks the
// one the processor runs. Elsewhere it is built once, for the baseline.
#if defined(__GNUC__) && !defined(__clang__) && defined(__x86_64__) && defined(__linux__)
#define RAVELKIN_VECTOR_CLONES __attribute__((target_clones("avx2", "default")))
#else
#define RAVELKIN_VECTOR_CLONES
#endif
