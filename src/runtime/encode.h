// The generic encoder: size computation, table writer, root writer and `__pack`,
// instantiated per schema. It writes the compact encoding: each vtable directly
// before its table, zero scalars and null strings left out, scalars before
// forward offsets, out-of-line data in slot order, no padding anywhere. The
// fixed all-scalar image used by ForwardPort's send path is written here too.
//
// Speed: a record is measured once. The size computation measures each string
// and hands the lengths to the writer (StringLengths, each string in its own
// place, StringAt); the byte order is the host's, known at compile time
// (context.h); every nested writer is inlined into the root writer, which writes through a pointer
// cursor straight into the final buffer. The element tables of a list are
// sized apart from the rest of the record: `__pack` and the batch only need to
// know that a record fits their room, and the largest size of a list's
// elements settles that without reading them, except when the room is tight.
#ifndef SSH_MSG_DEF_RUNTIME_ENCODE_H
#define SSH_MSG_DEF_RUNTIME_ENCODE_H

#include <stdint.h>
#include <string.h>

#include <array>

#include "bounds_checked.h"
#include "refusal.h"
#include "schema.h"
#include "ssh_msg_def/msg_common.h"
#include "walk.h"
#include "wire.h"

namespace ssh_msg_def::internal {

// The write cursor of one root writer and the nested writers it calls. The
// byte order is a compile-time constant.
template <bool kSwap>
struct Cursor {
    uint8_t *next;  // next byte to write
    static constexpr bool swap = kSwap;
};

// A list is written only when its count is not 0 and its array is set.
inline bool ListPresent(const void *record, const Field &f, uint32_t *count, const uint8_t **array) {
    *count = Member<uint32_t>(record, f.offset);
    *array = Member<const uint8_t *>(record, f.arrayOffset);
    return *count != 0 && *array != nullptr;
}

constexpr uint32_t StringCount(const Schema &s);

// True when a record of this schema holds a list, itself or in a nested table.
constexpr bool HasList(const Schema &s) {
    return AnyField(
        s, [](const Field &f) { return f.kind == Kind::kList || (f.kind == Kind::kTable && HasList(*f.nested)); });
}

// The non-zero values among n words.
[[SSH_MSG_DEF_INLINE]] inline uint64_t NonZeroWords(const uint32_t *words, size_t n) {
    uint64_t count = 0;
    for (size_t i = 0; i < n; ++i) count += words[i] != 0;
    return count;
}

// Where the length of the string in slot i of a table of this schema is kept
// among the measured lengths of the table (for a nested table: where its own
// begin): after those of the strings in the slots before, nested ones included.
constexpr uint32_t StringAt(const Schema &s, uint32_t slot) {
    uint32_t n = 0;
    for (uint32_t i = 0; i < slot; ++i) {
        if (s.fields[i].kind == Kind::kString) ++n;
        if (s.fields[i].kind == Kind::kTable) n += StringCount(*s.fields[i].nested);
    }
    return n;
}

// Strings of a record of this schema, those of its nested tables included
// (list elements hold none): the size of the measured lengths below.
constexpr uint32_t StringCount(const Schema &s) { return StringAt(s, s.slotCount); }

// The lengths of a record's strings, each at its StringAt place. The size computation measures each string once
// and the writer reuses the figure, which it may: the record must not change
// between the two.
template <const Schema *S>
using StringLengths = std::array<uint32_t, StringCount(*S)>;

// How a size computation counts the element tables of a list. kExact: their
// bytes. kBound: every element at its largest size, so at least that, and no
// element is read. kApart: not at all, for ElementTables to count afterwards.
enum class Sizing { kExact, kBound, kApart };

template <const Schema *S, Sizing kSizing = Sizing::kExact>
uint64_t TableSize(const void *record, uint32_t *lengths);

// Bytes of the element tables of one list of n elements. An element is
// nothing but its scalars, so every table has the same fixed part plus 4 bytes
// per non-zero word, and at most 4 bytes per word.
template <const Schema *E, Sizing kSizing>
[[SSH_MSG_DEF_INLINE]] inline uint64_t ListTables(const uint8_t *elements, uint32_t n) {
    static_assert(ScalarsOnly(*E), "a list element is a record of uint32_t scalars only");
    constexpr uint32_t k = E->slotCount;
    if constexpr (kSizing == Sizing::kApart) {
        return 0;
    } else if constexpr (kSizing == Sizing::kBound) {
        return n * static_cast<uint64_t>(VtableSize(k) + DenseTableSize(k));
    } else {
        return n * static_cast<uint64_t>(VtableSize(k) + kWord) +
               4 * NonZeroWords(reinterpret_cast<const uint32_t *>(elements), static_cast<size_t>(n) * k);
    }
}

// Bytes of the nested form of a table: vtable, table and all it reaches, the
// element tables of its lists counted as kSizing says, each present field
// with its word in the table. Stores the length of every present string at its
// place from `lengths` on (0 for a null one). In 64 bits, so it cannot wrap for any record that
// fits in memory.
template <const Schema *S, Sizing kSizing>
[[SSH_MSG_DEF_INLINE]] inline uint64_t TableSize(const void *record, uint32_t *lengths) {
    uint64_t size = VtableSize(S->slotCount) + kWord;
    ForEachSlot<S->slotCount>([&](auto slot) SSH_MSG_DEF_INLINE_LAMBDA {
        constexpr uint32_t i = decltype(slot)::value;
        constexpr const Field &f = S->fields[i];
        if constexpr (f.kind == Kind::kScalar) {
            if (Member<uint32_t>(record, f.offset) != 0) size += kWord;
        } else if constexpr (f.kind == Kind::kString) {
            size_t len{};  // a null string's length is never read, but is stored all the same
            if (const char *s = Member<const char *>(record, f.offset)) {
                len = strlen(s);
                size += kWord + StringSize(len);
            }
            // Truncated only for a string of 4 GiB or more, whose record the
            // size check refuses before anything is written.
            lengths[StringAt(*S, i)] = static_cast<uint32_t>(len);
        } else if constexpr (f.kind == Kind::kTable) {
            size += kWord + TableSize<f.nested, kSizing>(&Member<char>(record, f.offset), lengths + StringAt(*S, i));
        } else {
            uint32_t n;
            const uint8_t *elements;
            if (ListPresent(record, f, &n, &elements)) {
                size += 2 * kWord + 4 * static_cast<uint64_t>(n);
                size += ListTables<f.nested, kSizing>(elements, n);
            }
        }
    });
    return size;
}

// Bytes of the element tables of every list that the record holds, itself or
// in a nested table: what a kApart size computation left out.
template <const Schema *S, Sizing kSizing>
[[SSH_MSG_DEF_INLINE]] inline uint64_t ElementTables(const void *record) {
    uint64_t size = 0;
    ForEachSlot<S->slotCount>([&](auto slot) SSH_MSG_DEF_INLINE_LAMBDA {
        constexpr const Field &f = S->fields[decltype(slot)::value];
        if constexpr (f.kind == Kind::kTable && HasList(*f.nested)) {
            size += ElementTables<f.nested, kSizing>(&Member<char>(record, f.offset));
        } else if constexpr (f.kind == Kind::kList) {
            uint32_t n;
            const uint8_t *elements;
            if (ListPresent(record, f, &n, &elements)) size += ListTables<f.nested, kSizing>(elements, n);
        }
    });
    return size;
}

// The root size of a non-null record, measuring its strings into `lengths`:
// the exact encoded size, or 0 for an encoding that does not fit in 32 bits.
template <const Schema *S>
[[SSH_MSG_DEF_INLINE]] inline uint32_t MeasureRoot(const void *record, uint32_t *lengths) {
    const uint64_t size = kWord + TableSize<S>(record, lengths);
    return size > UINT32_MAX ? 0 : static_cast<uint32_t>(size);
}

// Whether the root encoding of a non-null record fits in `room` bytes,
// storing its string lengths for the writer from `lengths` on. The record is
// measured once: the elements of its lists are read only when their largest
// size would not fit.
template <const Schema *S>
[[SSH_MSG_DEF_INLINE]] inline bool EncodingFits(const void *record, uint32_t room, uint32_t *lengths) {
    const uint64_t size = kWord + TableSize<S, Sizing::kApart>(record, lengths);
    if constexpr (HasList(*S)) {
        if (size + ElementTables<S, Sizing::kBound>(record) > room) {
            return size + ElementTables<S, Sizing::kExact>(record) <= room;
        }
    }
    return size <= room;
}

template <const Schema *E, class W>
uint8_t *WriteElements(uint8_t *next, uint8_t *slotAt, const uint8_t *elements, uint32_t n);

// Whether every field of an all-scalar record is non-zero: its table then
// takes the dense form.
template <const Schema *S>
[[SSH_MSG_DEF_INLINE]] inline bool AllPresent(const void *record) {
    return [&]<size_t... I>(std::index_sequence<I...>) SSH_MSG_DEF_INLINE_LAMBDA {
        return ((Member<uint32_t>(record, S->fields[I].offset) != 0) && ...);
    }
    (std::make_index_sequence<S->slotCount>{});
}

// Writes the dense form of an all-scalar record at `vtable`: the constant
// vtable and delta, then the scalars; returns the table.
template <const Schema *S, bool kSwap>
[[SSH_MSG_DEF_INLINE]] inline uint8_t *WriteDense(uint8_t *vtable, const void *record) {
    constexpr uint32_t kSlots = S->slotCount;
    constexpr auto head = kDenseHead<kSlots>;
    memcpy(vtable, head.data(), sizeof head);
    uint8_t *const table = vtable + VtableSize(kSlots);
    if constexpr (!kSwap && ScalarsPacked(*S)) {
        memcpy(table + DenseFieldAt(0), &Member<uint32_t>(record, S->fields[0].offset), 4 * kSlots);
    } else {
        ForEachSlot<kSlots>([&](auto slot) SSH_MSG_DEF_INLINE_LAMBDA {
            constexpr uint32_t i = decltype(slot)::value;
            Store32(table + DenseFieldAt(i), Member<uint32_t>(record, S->fields[i].offset), kSwap);
        });
    }
    return table;
}

// Lays out a vtable at w.next, its table directly after it and then the table's
// out-of-line data; returns the table (the position of its vtable delta).
// Forward offsets are reserved in the inline part and patched once their
// targets are written. String lengths come from their places from `lengths` on.
template <const Schema *S, class W>
[[SSH_MSG_DEF_INLINE]] inline uint8_t *WriteTable(W &w, const void *record, const uint32_t *lengths) {
    constexpr uint32_t kSlots = S->slotCount;
    constexpr uint32_t kVtLen = VtableSize(kSlots);
    uint8_t *const vtable = w.next;
    uint8_t *const table = vtable + kVtLen;
    if constexpr (AllScalars(*S)) {
        // Every field non-zero (each list element, usually): the dense form,
        // whose vtable is a constant, with no test per field.
        if (AllPresent<S>(record)) [[likely]] {
            w.next = table + DenseTableSize(kSlots);
            return WriteDense<S, W::swap>(vtable, record);
        }
    }
    (void)memset_s(vtable + SlotAt(0), kVtLen - SlotAt(0), 0, kVtLen - SlotAt(0));
    Store32(table, kVtLen, w.swap);
    uint8_t *pos = table + kWord;
    auto place = [&](uint32_t i) SSH_MSG_DEF_INLINE_LAMBDA {
        Store16(vtable + SlotAt(i), static_cast<uint16_t>(pos - table), w.swap);
        pos += kWord;
        return pos - kWord;
    };
    ForEachSlot<kSlots>([&](auto slot) SSH_MSG_DEF_INLINE_LAMBDA {
        constexpr const Field &f = S->fields[decltype(slot)::value];
        if constexpr (f.kind == Kind::kScalar) {
            const uint32_t v = Member<uint32_t>(record, f.offset);
            if (v != 0) Store32(place(decltype(slot)::value), v, w.swap);
        }
    });
    uint8_t *forward[kSlots] = {};  // each reserved forward offset; null when absent
    ForEachSlot<kSlots>([&](auto slot) SSH_MSG_DEF_INLINE_LAMBDA {
        constexpr size_t i = decltype(slot)::value;
        constexpr const Field &f = S->fields[i];
        uint32_t n;
        const uint8_t *elements;
        if constexpr (f.kind == Kind::kString) {
            if (Member<const char *>(record, f.offset) != nullptr) forward[i] = place(i);
        } else if constexpr (f.kind == Kind::kTable) {
            forward[i] = place(i);
        } else if constexpr (f.kind == Kind::kList) {
            if (ListPresent(record, f, &n, &elements)) forward[i] = place(i);
        }
    });
    uint32_t tableLen = static_cast<uint32_t>(pos - table);  // the table's own data; nested tables are not counted
    w.next = pos;
    ForEachSlot<kSlots>([&](auto slot) SSH_MSG_DEF_INLINE_LAMBDA {
        constexpr size_t i = decltype(slot)::value;
        constexpr const Field &f = S->fields[i];
        if constexpr (IsReference(f.kind)) {
            uint8_t *const at = forward[i];
            if (at == nullptr) return;
            if constexpr (f.kind == Kind::kString) {
                const char *s = Member<const char *>(record, f.offset);
                const uint32_t len = lengths[StringAt(*S, i)];
                uint8_t *const text = w.next;
                Store32(at, static_cast<uint32_t>(text - at), w.swap);
                Store32(text, len, w.swap);
                // The length is the measured one, so a string that changed
                // since (one lying in the output, overwritten before it is
                // copied) still takes exactly the room the size computation gave it.
                if (len > 0) (void)memcpy_sOptAsm(text + kWord, len, s, len);
                text[kWord + len] = 0;
                w.next = text + StringSize(len);
                tableLen += StringSize(len);
            } else if constexpr (f.kind == Kind::kTable) {
                const uint8_t *nested =
                    WriteTable<f.nested>(w, &Member<char>(record, f.offset), lengths + StringAt(*S, i));
                Store32(at, static_cast<uint32_t>(nested - at), w.swap);
            } else {
                uint32_t n;
                const uint8_t *elements;
                (void)ListPresent(record, f, &n, &elements);
                uint8_t *const count = w.next;
                Store32(at, static_cast<uint32_t>(count - at), w.swap);
                Store32(count, n, w.swap);
                tableLen += kWord + 4 * n;
                w.next =
                    WriteElements<f.nested, W>(count + kWord + 4 * static_cast<size_t>(n), count + kWord, elements, n);
            }
        }
    });
    Store16(vtable, kVtLen, w.swap);
    Store16(vtable + 2, static_cast<uint16_t>(tableLen), w.swap);  // low 16 bits only
    return table;
}

// The element tables of a list, from `next` on, each with its forward offset
// in the slot at `slotAt`; returns the end. Out of line: the loop then runs with
// the registers to itself.
template <const Schema *E, class W>
[[gnu::noinline]] uint8_t *WriteElements(uint8_t *next, uint8_t *slotAt, const uint8_t *elements, uint32_t n) {
    W w{next};
    const uint8_t *const end = elements + static_cast<size_t>(n) * E->recordSize;
    for (const uint8_t *e = elements; e != end; e += E->recordSize, slotAt += 4) {
        const uint8_t *nested = WriteTable<E>(w, e, nullptr);  // the elements hold no strings
        Store32(slotAt, static_cast<uint32_t>(nested - slotAt), w.swap);
    }
    return w.next;
}

// The root writer once its arguments passed, in byte order kSwap: one copy
// per message, out of line, that `__pack` and both sends call (inlined into
// each, it would cost far more text than the call it saves: see
// docs/performance.md).
template <const Schema *S, bool kSwap>
[[gnu::noinline]] uint32_t WriteRoot(uint8_t *buf, const void *record, const uint32_t *lengths) {
    Cursor<kSwap> w{buf + kWord};
    Store32(buf, static_cast<uint32_t>(WriteTable<S>(w, record, lengths) - buf), kSwap);
    return static_cast<uint32_t>(w.next - buf);
}

// The root writer for a record whose strings the size computation measured
// into `lengths`: checks its arguments (logging under the pack tag), then
// writes the whole message at the start of `buf`. Returns the bytes written,
// or 0. It trusts its caller to have sized `buf` with that size computation.
template <const Schema *S>
[[SSH_MSG_DEF_INLINE]] inline uint32_t WriteMeasured(uint8_t *buf, uint32_t avail, const void *record,
                                                     const uint32_t *lengths) {
    Context &ctx = *S->send;
    if (buf == nullptr || avail < kWord || record == nullptr) [[unlikely]] {
        LogWriterRefusal(ctx, S->tags.pack, buf, avail, record);
        return 0;
    }
    resolve_cache_hooks(ctx);
    return WriteRoot<S, kHostSwap>(buf, record, lengths);
}

// `__pack`: 0 with *length set to the bytes written, or SSH_MSG_DEF_ERROR with
// nothing written and *length unchanged. Each string is measured once, so one
// that lies in the output and is overwritten before it is copied still gets
// exactly its measured room: the encoding keeps its size and layout.
template <const Schema *S>
uint32_t Pack(const void *record, uint8_t *buf, uint32_t *length) {
    if (record == nullptr || length == nullptr) return SSH_MSG_DEF_ERROR;
    StringLengths<S> lengths;
    if (!EncodingFits<S>(record, *length, lengths.data())) return SSH_MSG_DEF_ERROR;
    const uint32_t written = WriteMeasured<S>(buf, *length, record, lengths.data());
    if (written == 0) return SSH_MSG_DEF_ERROR;
    *length = written;
    return 0;
}

// The fixed image of an all-scalar message: root offset 4, the table with every
// field written, then its vtable (so the vtable delta is negative).
template <const Schema *S>
inline constexpr uint32_t kImageSize = kWord + DenseTableSize(S->slotCount) + VtableSize(S->slotCount);

template <const Schema *S>
[[SSH_MSG_DEF_INLINE]] inline void WriteImage(uint8_t *b, const void *record, bool swap) {
    constexpr uint32_t kSlots = S->slotCount;
    constexpr uint32_t kTable = kWord;
    constexpr uint32_t kVtable = kTable + DenseTableSize(kSlots);
    Store32(b, kTable, swap);
    Store32(b + kTable, kTable - kVtable, swap);  // negative delta, modulo 2^32
    Store16(b + kVtable, VtableSize(kSlots), swap);
    Store16(b + kVtable + 2, DenseTableSize(kSlots), swap);
    ForEachSlot<kSlots>([&](auto slot) SSH_MSG_DEF_INLINE_LAMBDA {
        constexpr uint32_t i = decltype(slot)::value;
        Store32(b + kTable + DenseFieldAt(i), Member<uint32_t>(record, S->fields[i].offset), swap);
        Store16(b + kVtable + SlotAt(i), DenseFieldAt(i), swap);
    });
}

}  // namespace ssh_msg_def::internal

#endif
