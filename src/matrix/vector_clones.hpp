// Marks a hot function to be built once per instruction set (AVX-512, AVX2,
// baseline), the version picked when the program loads. Wider vectors change
// the speed, never a bit of a result: no operation is fused or reordered
// (-ffp-contract=off), and every lane rounds as the scalar code does.
// Resolvers run before a thread sanitizer is ready, so such builds, and other
// machines than x86-64, keep one version.
#pragma once

#if defined(__has_feature)
#if __has_feature(thread_sanitizer)
#define TOLVANE_NO_CLONES 1
#endif
#endif
#if defined(__x86_64__) && !defined(__SANITIZE_THREAD__) && !defined(TOLVANE_NO_CLONES)
#define TOLVANE_VECTOR_CLONES __attribute__((target_clones("avx512f", "avx2", "default")))
#else
#define TOLVANE_VECTOR_CLONES
#endif
