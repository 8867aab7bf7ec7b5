#pragma once

// For the few small functions of the per-datagram path whose call costs as much as their work: the
// compiler inlines them wherever they are called.
#if defined(__GNUC__)
#define ZARARE_ALWAYS_INLINE inline __attribute__((always_inline))
#else
#define ZARARE_ALWAYS_INLINE inline
#endif
