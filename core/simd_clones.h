// Loops written to be vectorized are also built for AVX2 and for AVX-512
// (x86-64-v4), picked at load time by what the CPU has: two to four times the
// doubles per instruction. Contraction stays off (-ffp-contract=off), so the
// FMA these levels bring changes no result. Only where the loader supports
// the choice (GNU ifunc).
#pragma once

#if defined(__GNUC__) && defined(__x86_64__) && defined(__linux__)
#define SELVO_SIMD_CLONES __attribute__((target_clones("arch=x86-64-v4", "avx2", "default")))
#else
#define SELVO_SIMD_CLONES
#endif

// The same for function templates, which GCC clones and clang (the fuzz
// build's compiler) does not yet: there they are built once, for the default
// target.
#if defined(__clang__)
#define SELVO_SIMD_CLONES_TEMPLATE
#else
#define SELVO_SIMD_CLONES_TEMPLATE SELVO_SIMD_CLONES
#endif
