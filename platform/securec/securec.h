// Bounds-checked copy and fill with the host's securec contract, for hosts that
// do not ship one. `memcpy_sOptAsm(dest, destMax, src, count)` and
// `memset_s(dest, destMax, value, count)` return 0 on success and a non-zero
// code when the arguments are refused (null pointers, count above destMax,
// overlapping copy); a refused call writes nothing. The library always passes
// destMax == count and ignores the result, so only the copy or fill matters.
// They are static inline: compiled into each caller, never exported.
#ifndef SSH_MSG_DEF_PLATFORM_SECUREC_H
#define SSH_MSG_DEF_PLATFORM_SECUREC_H

#include <stddef.h>
#include <string.h>

#define SECUREC_EOK 0
#define SECUREC_EINVAL 22
#define SECUREC_ERANGE 34
#define SECUREC_EOVERLAP 54

static inline int memcpy_sOptAsm(void *dest, size_t destMax, const void *src, size_t count) {
    if (dest == NULL || src == NULL) return SECUREC_EINVAL;
    if (count > destMax) return SECUREC_ERANGE;
    const char *d = (const char *)dest;
    const char *s = (const char *)src;
    if ((d < s && d + count > s) || (s < d && s + count > d)) return SECUREC_EOVERLAP;
    memcpy(dest, src, count);
    return SECUREC_EOK;
}

static inline int memset_s(void *dest, size_t destMax, int value, size_t count) {
    if (dest == NULL) return SECUREC_EINVAL;
    if (count > destMax) return SECUREC_ERANGE;
    memset(dest, value, count);
    return SECUREC_EOK;
}

#endif
