// A copy of a buffer that ends where memory without access begins, so that a
// decoder reading past the end of its buffer ends the process in any build.
#pragma once

#include <stddef.h>
#include <stdint.h>
#include <string.h>
#include <sys/mman.h>

// The n bytes at p, copied to end where 1 MiB without access begins (p itself
// when they do not fit, or the mapping failed).
inline const uint8_t *Guarded(const void *p, size_t n) {
    constexpr size_t kRoom = 1 << 20;
    static uint8_t *const room = [] {
        void *area = mmap(nullptr, 2 * kRoom, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        const bool ok = area != MAP_FAILED && mprotect(static_cast<uint8_t *>(area) + kRoom, kRoom, PROT_NONE) == 0;
        return ok ? static_cast<uint8_t *>(area) + kRoom : nullptr;
    }();
    if (room == nullptr || n > kRoom) return static_cast<const uint8_t *>(p);
    if (n != 0) memcpy(room - n, p, n);  // p may be null then
    return room - n;
}
