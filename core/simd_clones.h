// Loops written to be vectorized are also built for AVX2 and for AVX-512
// (x86-64-v4), picked at load time by what the CPU has: two to four times the
// doubles per instruction. Contraction stays off (-ffp-contract=off), so the
// FMA these levels bring changes no result. Only with GCC and where the
// loader supports the choice (GNU ifunc): clang, the fuzz build's compiler,
// clones no function templates and gives same-named functions of two files'
// anonymous namespaces one resolver symbol, so there each loop is built once.
#pragma once

#if defined(__GNUC__) && !defined(__clang__) && defined(__x86_64__) && defined(__linux__)
#define SELVO_SIMD_CLONES __attribute__((target_clones("arch=x86-64-v4", "avx2", "default")))
#else
#define SELVO_SIMD_CLONES
#endif
