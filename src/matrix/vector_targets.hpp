// Marks a loop to be built for AVX-512, AVX2 and the baseline, the one to run
// picked when the program starts (an ifunc). Only on x86-64, and not under
// ThreadSanitizer, whose runtime is not yet up when ifunc resolvers run.
// The marked loops keep every operation per element, so all builds give the
// same bits.
#pragma once

#if defined(__has_feature)
#if __has_feature(thread_sanitizer)
#define TOLVANE_UNDER_TSAN 1
#endif
#endif
#if defined(__SANITIZE_THREAD__)
#define TOLVANE_UNDER_TSAN 1
#endif

#if defined(__x86_64__) && !defined(TOLVANE_UNDER_TSAN)
#define TOLVANE_VECTOR_TARGETS [[gnu::target_clones("avx512f", "avx2", "default")]]
#else
#define TOLVANE_VECTOR_TARGETS
#endif
