// The generic decoder and release routine. One algorithm for every message,
// instantiated per schema: root decoders (self-contained or delegating), nested
// decoders (guarded or plain), the four field kinds and the release routine.
// Every read is preceded by its bound check (see wire.h); the first failing
// acceptance rule ends the decode, and the failure path releases whatever the
// record took, so a failed decode leaves a record that owns nothing.
#ifndef SSH_MSG_DEF_RUNTIME_DECODE_H
#define SSH_MSG_DEF_RUNTIME_DECODE_H

#include <stdint.h>
#include <string.h>

#include "schema.h"
#include "securec.h"
#include "walk.h"
#include "wire.h"

namespace ssh_msg_def::internal {

struct Input {
    const uint8_t *buf;
    uint32_t len;  // below 2^31: the parameter check refuses anything larger
    bool swap;     // the receive module's byte-order flag
};

// A table that passed acceptance rules 2 to 4.
struct TableView {
    uint32_t table;   // T
    uint32_t vtable;  // V
    uint32_t vtLen;   // VL; V + VL <= len
};

extern const char kMallocFormat[];      // root and guarded nested decoders
extern const char kMallocWideFormat[];  // plain nested decoders

// Rule 1: buffer and record not null, len read as a signed number at least 4.
inline bool ParamsValid(const void *buf, uint32_t len, const void *record) {
    return buf != nullptr && static_cast<int32_t>(len) >= 4 && record != nullptr;
}
void LogUnpackParams(Context &ctx, const char *tag, const void *buf, uint32_t len, const void *record);

// Rules 2 to 4 for the table at `table`, logged under `tag` on failure.
[[nodiscard]] bool CheckTable(Context &ctx, const char *tag, const Input &in, uint32_t table, TableView *view);

// The string at field position P: checks, allocates L + 1 bytes from the cache
// allocator into *out (logging `mallocFormat` when that fails) and copies.
[[nodiscard]] bool DecodeString(Context &ctx, const char *tag, const char *mallocFormat, const Input &in, uint32_t pos,
                                char **out);

// The vector header at field position P: its count word position W and count N,
// once every element offset is known to lie inside the buffer.
[[nodiscard]] bool CheckVector(const Input &in, uint32_t pos, uint32_t *countPos, uint32_t *count);

// The forward offset at P: P + 4 <= len and a target that does not wrap.
[[nodiscard]] inline bool FollowOffset(const Input &in, uint32_t pos, uint32_t *target) {
    return Fits(pos, 4, in.len) && AddNoWrap(pos, Load32(in.buf + pos, in.swap), target);
}

// Field slot i of a checked table; 0 when the vtable is too short to hold it.
inline uint16_t SlotValue(const Input &in, const TableView &t, uint32_t i) {
    return t.vtLen >= 6 + 2 * i ? Load16(in.buf + t.vtable + 4 + 2 * i, in.swap) : 0;
}

template <const Schema *S>
void ReleaseRecord(void *record);
template <const Schema *S>
[[nodiscard]] bool DecodeNested(const Input &in, uint32_t table, void *record);

template <const Schema *E>
[[nodiscard]] bool DecodeVector(const char *tag, const char *mallocFormat, const Input &in, uint32_t pos,
                                uint32_t *count, void **array) {
    // N < 2^29 once CheckVector passed (4 bytes of offsets per element inside a
    // buffer below 2^31), so N times an element of at most 8 bytes fits 32 bits.
    static_assert(E->recordSize <= 8);
    Context &ctx = *E->recv;
    uint32_t w, n;
    if (!CheckVector(in, pos, &w, &n)) return false;
    *count = n;
    if (n == 0) return true;
    const uint32_t bytes = n * E->recordSize;
    auto *elements = static_cast<uint8_t *>(ctx.cacheAlloc(bytes, kCacheArg, tag));
    *array = elements;
    if (elements == nullptr) {
        SSH_MSG_DEF_LOG(ctx, kCodeNoMemory, tag, mallocFormat, bytes);
        return false;
    }
    (void)memset_s(elements, bytes, 0, bytes);
    for (uint32_t i = 0; i < n; ++i) {
        // W + 4 + 4N <= len bounds every element offset, so only the target can
        // go wrong here.
        const uint32_t at = w + 4 + 4 * i;
        uint32_t table;
        if (!AddNoWrap(at, Load32(in.buf + at, in.swap), &table)) return false;
        if (!DecodeNested<E>(in, table, elements + static_cast<size_t>(i) * E->recordSize)) return false;
    }
    return true;
}

// Decodes the fields of a checked table in slot order; absent slots keep the
// zero their record already holds.
template <const Schema *S>
[[nodiscard]] bool DecodeFields(const Input &in, const TableView &t, void *record, const char *tag,
                                const char *mallocFormat) {
    return AllSlots<S->slotCount>([&](auto slot) {
        constexpr Field f = S->fields[decltype(slot)::value];
        const uint16_t at = SlotValue(in, t, decltype(slot)::value);
        if (at == 0) return true;
        const uint32_t pos = t.table + at;  // T <= len - 4 < 2^31: cannot wrap
        if constexpr (f.kind == Kind::kScalar) {
            if (!Fits(pos, 4, in.len)) return false;
            Member<uint32_t>(record, f.offset) = Load32(in.buf + pos, in.swap);
            return true;
        } else if constexpr (f.kind == Kind::kString) {
            return DecodeString(*S->recv, tag, mallocFormat, in, pos, &Member<char *>(record, f.offset));
        } else if constexpr (f.kind == Kind::kTable) {
            uint32_t table;
            return FollowOffset(in, pos, &table) && DecodeNested<f.nested>(in, table, &Member<char>(record, f.offset));
        } else {
            return DecodeVector<f.nested>(tag, mallocFormat, in, pos, &Member<uint32_t>(record, f.offset),
                                          &Member<void *>(record, f.arrayOffset));
        }
    });
}

template <const Schema *S>
bool DecodeNested(const Input &in, uint32_t table, void *record) {
    constexpr bool kGuarded = S->nested == NestedForm::kGuarded;
    static_assert(S->nested != NestedForm::kNone, "message is never nested");
    Context &ctx = *S->recv;
    const char *tag = S->tags.nested;
    if constexpr (kGuarded) {
        if (!ParamsValid(in.buf, in.len, record)) {
            LogUnpackParams(ctx, tag, in.buf, in.len, record);
            return false;
        }
    }
    TableView t;
    if (!CheckTable(ctx, tag, in, table, &t)) return false;
    if constexpr (kGuarded) memset(record, 0, S->recordSize);
    if (DecodeFields<S>(in, t, record, tag, kGuarded ? kMallocFormat : kMallocWideFormat)) return true;
    if constexpr (kGuarded && OwnsMemory(*S)) ReleaseRecord<S>(record);
    return false;
}

// The root decoder: true with a filled record, false with a record that owns
// nothing (untouched, zeroed, or released with the scalars read so far).
template <const Schema *S>
[[nodiscard]] bool Unpack(const uint8_t *buf, uint32_t len, void *record) {
    Context &ctx = *S->recv;
    if (!ParamsValid(buf, len, record)) {
        LogUnpackParams(ctx, S->tags.unpack, buf, len, record);
        return false;
    }
    const Input in{buf, len, ctx.byteOrder != 0};
    const uint32_t root = Load32(buf, in.swap);
    bool ok;
    if constexpr (S->root == RootForm::kSelfContained) {
        TableView t;
        if (!CheckTable(ctx, S->tags.unpack, in, root, &t)) return false;
        resolve_cache_hooks(ctx);
        memset(record, 0, S->recordSize);
        ok = DecodeFields<S>(in, t, record, S->tags.unpack, kMallocFormat);
    } else {
        resolve_cache_hooks(ctx);
        memset(record, 0, S->recordSize);
        ok = DecodeNested<S>(in, root, record);
    }
    if constexpr (OwnsMemory(*S)) {
        if (!ok) ReleaseRecord<S>(record);
    }
    return ok;
}

// The release routine: gives back every string and array the record owns, in
// slot order, through the cache hooks, and nulls them. Strings reach cacheFree
// even when null; arrays only when set. Scalars and counts stay.
template <const Schema *S>
void ReleaseRecord(void *record) {
    Context &ctx = *S->recv;
    resolve_cache_hooks(ctx);
    ForEachSlot<S->slotCount>([&](auto slot) {
        constexpr Field f = S->fields[decltype(slot)::value];
        if constexpr (f.kind == Kind::kString) {
            char *&s = Member<char *>(record, f.offset);
            ctx.cacheFree(s, kCacheArg, S->tags.release);
            s = nullptr;
        } else if constexpr (f.kind == Kind::kVector) {
            void *&a = Member<void *>(record, f.arrayOffset);
            if (a != nullptr) {
                ctx.cacheFree(a, kCacheArg, S->tags.release);
                a = nullptr;
            }
        } else if constexpr (f.kind == Kind::kTable && OwnsMemory(*f.nested)) {
            ReleaseRecord<f.nested>(&Member<char>(record, f.offset));
        }
    });
}

// `_free__unpacked`: ignores null; a message whose records own nothing does
// nothing at all.
template <const Schema *S>
void FreeUnpacked(void *record) {
    if constexpr (OwnsMemory(*S)) {
        if (record != nullptr) ReleaseRecord<S>(record);
    }
}

}  // namespace ssh_msg_def::internal

// The two exported receive functions of a message.
#define SSH_MSG_DEF_RECV_OPS(Rec, schema)                                                 \
    extern "C" uint32_t Rec##__unpack(const uint8_t *buffer, uint32_t len, Rec *record) { \
        (void)::ssh_msg_def::internal::Unpack<&(schema)>(buffer, len, record);            \
        return sizeof(Rec);                                                               \
    }                                                                                     \
    extern "C" void Rec##_free__unpacked(Rec *record) { ::ssh_msg_def::internal::FreeUnpacked<&(schema)>(record); }

#endif
