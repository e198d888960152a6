// The generic encoder: size computation, table writer, root writer and `__pack`,
// instantiated per schema. It writes the compact encoding: each vtable directly
// before its table, zero scalars and null strings left out, scalars before
// forward offsets, out-of-line data in slot order, no padding anywhere. The
// fixed all-scalar image used by ForwardPort's send path is written here too.
#ifndef SSH_MSG_DEF_RUNTIME_ENCODE_H
#define SSH_MSG_DEF_RUNTIME_ENCODE_H

#include <assert.h>
#include <stdint.h>
#include <string.h>

#include "schema.h"
#include "securec.h"
#include "ssh_msg_def/msg_common.h"
#include "walk.h"
#include "wire.h"

namespace ssh_msg_def::internal {

struct Writer {
    uint8_t *base;
    uint32_t pos;  // next byte to write
    bool swap;     // the send module's byte-order flag
};

void LogPackParams(Context &ctx, const char *tag, const void *buf, uint32_t avail, const void *record);

// A vector is written only when its count is not 0 and its array is set.
inline bool VectorPresent(const void *record, const Field &f, uint32_t *count, const uint8_t **array) {
    *count = Member<uint32_t>(record, f.offset);
    *array = Member<const uint8_t *>(record, f.arrayOffset);
    return *count != 0 && *array != nullptr;
}

// Bytes of the nested form of a table: vtable, table and all it reaches. In 64
// bits, so it cannot wrap for any record that fits in memory.
template <const Schema *S>
uint64_t TableSize(const void *record) {
    uint64_t size = 8 + 2 * S->slotCount;
    ForEachSlot<S->slotCount>([&](auto slot) {
        constexpr const Field &f = S->fields[decltype(slot)::value];
        if constexpr (f.kind == Kind::kScalar) {
            if (Member<uint32_t>(record, f.offset) != 0) size += 4;
        } else if constexpr (f.kind == Kind::kString) {
            if (const char *s = Member<const char *>(record, f.offset)) size += strlen(s) + 9;
        } else if constexpr (f.kind == Kind::kTable) {
            size += 4 + TableSize<f.nested>(&Member<char>(record, f.offset));
        } else {
            uint32_t n;
            const uint8_t *elements;
            if (VectorPresent(record, f, &n, &elements)) {
                size += 8 + 4 * static_cast<uint64_t>(n);
                for (uint32_t i = 0; i < n; ++i) {
                    size += TableSize<f.nested>(elements + static_cast<size_t>(i) * f.nested->recordSize);
                }
            }
        }
    });
    return size;
}

// Root size computation: the exact encoded size, or 0 for a null record or an
// encoding that does not fit in 32 bits.
template <const Schema *S>
uint32_t RootSize(const void *record) {
    if (record == nullptr) return 0;
    const uint64_t size = 4 + TableSize<S>(record);
    return size > 0xFFFFFFFFu ? 0 : static_cast<uint32_t>(size);
}

// Lays out a vtable at w.pos, its table directly after it and then the table's
// out-of-line data; returns the table offset. Forward offsets are reserved in
// the inline part and patched once their targets are written.
template <const Schema *S>
uint32_t WriteTable(Writer &w, const void *record) {
    constexpr uint32_t kSlots = S->slotCount;
    constexpr uint32_t kVtLen = 4 + 2 * kSlots;
    uint8_t *const b = w.base;
    const uint32_t vtable = w.pos;
    const uint32_t table = vtable + kVtLen;
    (void)memset_s(b + vtable + 4, 2 * kSlots, 0, 2 * kSlots);
    Store32(b + table, kVtLen, w.swap);
    uint32_t pos = table + 4;
    auto place = [&](uint32_t i) {
        Store16(b + vtable + 4 + 2 * i, static_cast<uint16_t>(pos - table), w.swap);
        pos += 4;
        return pos - 4;
    };
    ForEachSlot<kSlots>([&](auto slot) {
        constexpr const Field &f = S->fields[decltype(slot)::value];
        if constexpr (f.kind == Kind::kScalar) {
            const uint32_t v = Member<uint32_t>(record, f.offset);
            if (v != 0) Store32(b + place(decltype(slot)::value), v, w.swap);
        }
    });
    uint32_t forward[kSlots] = {};  // position of each reserved forward offset; 0 when absent
    ForEachSlot<kSlots>([&](auto slot) {
        constexpr size_t i = decltype(slot)::value;
        constexpr const Field &f = S->fields[i];
        uint32_t n;
        const uint8_t *elements;
        if constexpr (f.kind == Kind::kString) {
            if (Member<const char *>(record, f.offset) != nullptr) forward[i] = place(i);
        } else if constexpr (f.kind == Kind::kTable) {
            forward[i] = place(i);
        } else if constexpr (f.kind == Kind::kVector) {
            if (VectorPresent(record, f, &n, &elements)) forward[i] = place(i);
        }
    });
    uint32_t tableLen = pos - table;  // the table's own data; nested tables are not counted
    w.pos = pos;
    ForEachSlot<kSlots>([&](auto slot) {
        constexpr size_t i = decltype(slot)::value;
        constexpr const Field &f = S->fields[i];
        if constexpr (IsReference(f.kind)) {
            const uint32_t at = forward[i];
            if (at == 0) return;
            if constexpr (f.kind == Kind::kString) {
                const char *s = Member<const char *>(record, f.offset);
                const uint32_t len = static_cast<uint32_t>(strlen(s));
                Store32(b + at, w.pos - at, w.swap);
                Store32(b + w.pos, len, w.swap);
                if (len > 0) (void)memcpy_sOptAsm(b + w.pos + 4, len, s, len);
                b[w.pos + 4 + len] = 0;
                w.pos += len + 5;
                tableLen += len + 5;
            } else if constexpr (f.kind == Kind::kTable) {
                const uint32_t nested = WriteTable<f.nested>(w, &Member<char>(record, f.offset));
                Store32(b + at, nested - at, w.swap);
            } else {
                uint32_t n;
                const uint8_t *elements;
                (void)VectorPresent(record, f, &n, &elements);
                const uint32_t count = w.pos;
                Store32(b + at, count - at, w.swap);
                Store32(b + count, n, w.swap);
                w.pos = count + 4 + 4 * n;
                tableLen += 4 + 4 * n;
                for (uint32_t e = 0; e < n; ++e) {
                    const uint32_t slotAt = count + 4 + 4 * e;
                    const uint32_t nested =
                        WriteTable<f.nested>(w, elements + static_cast<size_t>(e) * f.nested->recordSize);
                    Store32(b + slotAt, nested - slotAt, w.swap);
                }
            }
        }
    });
    Store16(b + vtable, kVtLen, w.swap);
    Store16(b + vtable + 2, static_cast<uint16_t>(tableLen), w.swap);  // low 16 bits only
    return table;
}

// Root writer: checks its arguments (logging under the pack tag), then writes
// the whole message at the start of `buf`. Returns the bytes written, or 0. It
// trusts its caller to have sized `buf` with RootSize.
template <const Schema *S>
uint32_t RootWrite(uint8_t *buf, uint32_t avail, const void *record) {
    Context &ctx = *S->send;
    if (buf == nullptr || avail < 4 || record == nullptr) {
        LogPackParams(ctx, S->tags.pack, buf, avail, record);
        return 0;
    }
    resolve_cache_hooks(ctx);
    Writer w{buf, 4, ctx.byteOrder != 0};
    Store32(buf, WriteTable<S>(w, record), w.swap);
    return w.pos;
}

// `__pack`: 0 with *length set to the bytes written, or SSH_MSG_DEF_ERROR with
// nothing written and *length unchanged.
template <const Schema *S>
uint32_t Pack(const void *record, uint8_t *buf, uint32_t *length) {
    const uint32_t size = RootSize<S>(record);
    if (size == 0 || length == nullptr || size > *length) return SSH_MSG_DEF_ERROR;
    const uint32_t written = RootWrite<S>(buf, *length, record);
    if (written == 0) return SSH_MSG_DEF_ERROR;
    assert(written == size);
    *length = size;
    return 0;
}

// The fixed image of an all-scalar message: root offset 4, the table with every
// field written, then its vtable (so the vtable delta is negative).
template <const Schema *S>
inline constexpr uint32_t kImageSize = 4 + (4 + 4 * S->slotCount) + (4 + 2 * S->slotCount);

template <const Schema *S>
void WriteImage(uint8_t *b, const void *record, bool swap) {
    constexpr uint32_t kSlots = S->slotCount;
    constexpr uint32_t kTable = 4;
    constexpr uint32_t kVtable = kTable + 4 + 4 * kSlots;
    Store32(b, kTable, swap);
    Store32(b + kTable, kTable - kVtable, swap);  // negative delta, modulo 2^32
    Store16(b + kVtable, 4 + 2 * kSlots, swap);
    Store16(b + kVtable + 2, 4 + 4 * kSlots, swap);
    ForEachSlot<kSlots>([&](auto slot) {
        constexpr uint32_t i = decltype(slot)::value;
        Store32(b + kTable + 4 + 4 * i, Member<uint32_t>(record, S->fields[i].offset), swap);
        Store16(b + kVtable + 4 + 2 * i, 4 + 4 * i, swap);
    });
}

}  // namespace ssh_msg_def::internal

#endif
