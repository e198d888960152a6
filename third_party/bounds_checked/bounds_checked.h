// The host's bounds-checked copy and fill, for hosts that do not ship them.
// `memcpy_sOptAsm(dest, destMax, src, count)` and
// `memset_s(dest, destMax, value, count)` return 0 on success and a non-zero
// code when the arguments are refused (null pointers, count above destMax,
// overlapping copy); a refused call writes nothing. The library always passes
// destMax == count and ignores the result, so only the copy or fill matters.
// They are static inline: compiled into each caller, never exported. Kept apart
// from the library's own code as the stand-in of a third party's library.
#ifndef SSH_MSG_DEF_BOUNDS_CHECKED_H
#define SSH_MSG_DEF_BOUNDS_CHECKED_H

#include <stddef.h>
#include <string.h>

#define BOUNDS_EOK 0
#define BOUNDS_EINVAL 22
#define BOUNDS_ERANGE 34
#define BOUNDS_EOVERLAP 54

static inline int memcpy_sOptAsm(void *dest, size_t destMax, const void *src, size_t count) {
    if (dest == NULL || src == NULL) return BOUNDS_EINVAL;
    if (count > destMax) return BOUNDS_ERANGE;
    const char *d = (const char *)dest;
    const char *s = (const char *)src;
    if ((d < s && d + count > s) || (s < d && s + count > d)) return BOUNDS_EOVERLAP;
    memcpy(dest, src, count);
    return BOUNDS_EOK;
}

static inline int memset_s(void *dest, size_t destMax, int value, size_t count) {
    if (dest == NULL) return BOUNDS_EINVAL;
    if (count > destMax) return BOUNDS_ERANGE;
    memset(dest, value, count);
    return BOUNDS_EOK;
}

#endif
