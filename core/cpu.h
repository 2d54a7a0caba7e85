// What the processor offers beyond the x86-64 baseline, asked once.
#pragma once

#if defined(__x86_64__) && defined(__GNUC__)
#define LUMEVA_X86_64 1
inline bool cpu_has_ssse3()
{
    static const bool yes = __builtin_cpu_supports("ssse3");
    return yes;
}
#else
inline bool cpu_has_ssse3() { return false; }
#endif
