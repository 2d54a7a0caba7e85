// Vector paths of the operations: AVX-512 with byte permutes, chosen at run time. Left out of the
// Windows build, whose compiler does not keep the stack aligned for 64-byte spills.
#pragma once

#if (defined(__x86_64__) || defined(__i386__)) && !defined(_WIN32) && defined(__GNUC__)
#define LUMEVA_AVX512 1
#include <immintrin.h>

#define LUMEVA_TARGET_VBMI __attribute__((target("avx512f,avx512bw,avx512vbmi")))

inline bool cpu_has_avx512_vbmi()
{
    static const bool has = [] {
        __builtin_cpu_init();
        return __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512bw") &&
               __builtin_cpu_supports("avx512vbmi");
    }();
    return has;
}
#endif
