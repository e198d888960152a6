// Message schemas: what the generic codec knows about a message. A schema is
// a constexpr table of fields (kind, record member, nested schema) in slot
// order plus the message's identity, function tags, modules and the few ways
// in which messages differ (root and nested decoder forms, fixed send image).
// Schemas are expanded from the message lists (messages.h) by the macros at
// the end of this file; a field's kind is its member's type. The engines in
// decode.h, encode.h and send.h walk these tables at compile time.
#ifndef SSH_MSG_DEF_RUNTIME_SCHEMA_H
#define SSH_MSG_DEF_RUNTIME_SCHEMA_H

#include <stddef.h>
#include <stdint.h>

#include <string_view>
#include <type_traits>
#include <utility>

#include "context.h"

namespace ssh_msg_def::internal {

enum class Kind : uint8_t {
    kScalar,  // uint32_t member
    kString,  // char * member, owned when decoded
    kTable,   // nested record held by value
    kList,    // pointer to owned element records, with a uint32_t count member named <array>Count
};

// The forms of a message's decoders and sends: each decides what a refusal
// leaves or which tag it carries, or how the message travels.
//
// Root decoder:
// - kSelfContained checks the root table before it touches the record, so a
//   buffer refused there leaves the record untouched, logged under the root's
//   tag. The default.
// - kDelegating zeroes the record, then hands the root table to the message's
//   own nested decoder, so a refusal there leaves the record all zero, logged
//   under the nested decoder's tag. For a message whose root refusals must
//   read as its nested decoder's.
enum class RootForm : uint8_t { kSelfContained, kDelegating };

// Nested decoder, for a message that another holds (kNone: no other does),
// named by who releases its record when a field fails; the form also decides
// which line a failed allocation logs:
// - kReleasesItself gives back what its record took (if the record owns
//   memory), and a failed allocation has the usual line. For a message that
//   must leave nothing behind itself wherever it is held.
// - kHolderReleases leaves the release to the record's holder, and a failed
//   allocation has the wide line. For a message whose holder cleans up, and
//   the nested decoder a delegating root hands its table to.
enum class NestedForm : uint8_t { kNone, kReleasesItself, kHolderReleases };

// Send:
// - kEncoded: the compact encoding, in a buffer of exactly its size, a batch
//   in the 65536-byte area. The default.
// - kFixedImage: the fixed image of an all-scalar message (every field
//   present, the vtable after the table): a single send allocates nothing and
//   a batch has no area limit. For a message whose receivers take the image.
enum class SendForm : uint8_t { kEncoded, kFixedImage };

struct Schema;

// A field slot and the record member that holds it. For each kind, `offset`
// is where in the record its value lies: the uint32_t of a scalar, the char *
// of a string, the nested record itself, the uint32_t count of a list (whose
// array pointer lies at arrayOffset); `size` is that value's size (a list's:
// one element's); `name` is the member the row names (a list's: its array).
struct Field {
    Kind kind;
    uint16_t offset;
    uint16_t arrayOffset{};  // a list only
    uint16_t size;
    const Schema *nested{};  // a nested record's or a list element's schema
    const char *name;
};

struct Tags {
    const char *unpack;      // root decoder
    const char *nested;      // nested decoder
    const char *release;     // release routine
    const char *pack;        // root writer
    const char *sendSingle;  // single send buffer
    const char *sendBatch;   // batch block
};

struct Schema {
    const char *name;  // record type, "<Namespace>_<Message>"
    uint32_t msgId;
    uint32_t recordSize;
    const Field *fields;  // slot i is fields[i]
    uint16_t slotCount;
    RootForm root;
    NestedForm nested;
    bool fixedImage;  // sent as the fixed all-scalar image instead of the compact encoding
    Context *recv;    // decoders and release routines
    Context *send;    // writers and send operations
    Tags tags;
};

constexpr bool IsReference(Kind k) { return k != Kind::kScalar; }

// True when some field of this schema satisfies `p`.
template <class P>
constexpr bool AnyField(const Schema &s, P p) {
    for (const Field *f = s.fields; f != s.fields + s.slotCount; ++f) {
        if (p(*f)) return true;
    }
    return false;
}

// True when a record of this schema, or a record nested in it by value, owns
// memory after a decode.
constexpr bool OwnsMemory(const Schema &s) {
    return AnyField(s, [](const Field &f) {
        return f.kind == Kind::kString || f.kind == Kind::kList || (f.kind == Kind::kTable && OwnsMemory(*f.nested));
    });
}

// True when every field is a 32-bit scalar. Such a table with every field
// non-zero has one layout only, the dense form (wire.h).
constexpr bool AllScalars(const Schema &s) {
    return !AnyField(s, [](const Field &f) { return f.kind != Kind::kScalar; });
}

// True when the fields lie one word after another in the record, as the
// scalars of a dense table do: an all-scalar record's scalars then copy in one piece.
constexpr bool ScalarsPacked(const Schema &s) {
    return !AnyField(s, [&](const Field &f) { return f.offset != s.fields[0].offset + 4 * (&f - s.fields); });
}

// True when a record is nothing but its scalars, packed from its start: an
// array of such records is an array of 32-bit words, one per field.
constexpr bool ScalarsOnly(const Schema &s) {
    return AllScalars(s) && ScalarsPacked(s) && s.fields[0].offset == 0 && s.recordSize == 4u * s.slotCount;
}

// The bytes a member takes in its record: a list's count is a word.
constexpr uint32_t MemberSize(const Field &f) { return f.kind == Kind::kList ? 4 : f.size; }

// A schema is well formed when its members follow the slots in order inside the
// record without overlapping, nested records and list elements are the size of
// their schema's record, list elements own nothing, and a fixed image is only
// asked of an all-scalar message.
constexpr bool WellFormed(const Schema &s) {
    uint32_t next = 0;
    for (uint16_t i = 0; i < s.slotCount; ++i) {
        const Field &f = s.fields[i];
        if ((f.kind == Kind::kTable || f.kind == Kind::kList) != (f.nested != nullptr)) return false;
        if (f.nested != nullptr && f.nested->recordSize != f.size) return false;
        if (s.fixedImage && f.kind != Kind::kScalar) return false;
        if (f.offset < next) return false;
        next = f.offset + MemberSize(f);
        if (f.kind == Kind::kList) {
            if (f.arrayOffset < next || OwnsMemory(*f.nested)) return false;
            next = f.arrayOffset + sizeof(void *);
        }
    }
    return next <= s.recordSize;
}

// A message's identifier: the FNV-1a hash of its qualified name, "." between
// namespace and message. The headers write each one out; the check below holds
// them to their names.
constexpr uint32_t IdentifierOf(const char *name) {
    uint32_t h = 0x811C9DC5;
    for (; *name != '\0'; ++name) h = (h ^ static_cast<uint8_t>(*name == '_' ? '.' : *name)) * 0x01000193;
    return h;
}

// The schema of each record type that has one, set where the message lists are
// expanded (sshc/schemas.h, sshs/schemas.h).
template <class Rec>
inline constexpr const Schema *kSchemaOf = nullptr;

// The field of a record member of type T: a uint32_t is a scalar, a char * a
// string, a message record a nested table and a pointer to one a list (whose
// count member's offset is `count`, 0xFFFF when the record has none).
template <class T>
constexpr Field MakeField(uint16_t offset, uint16_t count, const char *name) {
    if constexpr (std::is_same_v<T, uint32_t>) {
        return {.kind = Kind::kScalar, .offset = offset, .size = sizeof(T), .name = name};
    } else if constexpr (std::is_same_v<T, char *>) {
        return {.kind = Kind::kString, .offset = offset, .size = sizeof(T), .name = name};
    } else if constexpr (std::is_pointer_v<T>) {
        using Element = std::remove_pointer_t<T>;
        static_assert(kSchemaOf<Element> != nullptr, "a list holds records of a message");
        static_assert(sizeof(Element) <= 8, "a list element is a record of uint32_t scalars, at most 8 bytes");
        return {Kind::kList, count, offset, sizeof(Element), kSchemaOf<Element>, name};
    } else {
        static_assert(kSchemaOf<T> != nullptr, "a member is a uint32_t, a char *, a message record or a list");
        return {.kind = Kind::kTable, .offset = offset, .size = sizeof(T), .nested = kSchemaOf<T>, .name = name};
    }
}

// The members of a record of this schema: one per field, two per list (its
// count and its array).
constexpr size_t RecordMembers(const Schema &s) {
    size_t n = s.slotCount;
    for (const Field *f = s.fields; f != s.fields + s.slotCount; ++f) n += f->kind == Kind::kList;
    return n;
}

// Whether the member `name`, which its row names, follows in its record every
// member the row names before it.
constexpr bool InRecordOrder(const Schema &s, std::string_view name) {
    uint32_t end = 0;
    const Field *f = s.fields;
    for (; name != f->name; ++f) end = f->kind == Kind::kList ? f->arrayOffset + sizeof(void *) : f->offset + f->size;
    return f->offset >= end;
}

// A value for any record member.
struct AnyMember {
    template <class T>
    constexpr operator T() const {
        return T{};
    }
};

// Initialises a record with one value for each of N members: a record with
// more members does not compile, the compiler naming the first one left out.
#pragma GCC diagnostic push
#pragma GCC diagnostic error "-Wmissing-field-initializers"
template <class Rec, size_t... I>
constexpr bool HasMembers(std::index_sequence<I...>) {
    [[maybe_unused]] const Rec record{((void)I, AnyMember{})...};
    return true;
}
#pragma GCC diagnostic pop

template <size_t N>
constexpr uint16_t CountOf(const Field (&)[N]) {
    return static_cast<uint16_t>(N);
}

}  // namespace ssh_msg_def::internal

// The six function tags of a message, spelled from its namespace and name.
#define SSH_MSG_DEF_TAGS(Ns, Msg)                                                                                     \
    ::ssh_msg_def::internal::Tags {                                                                                   \
#Ns "_" #Msg "_unpack", #Ns "_" #Msg "_unpack_non_root", #Ns "_" #Msg "_free_unpacked", #Ns "_" #Msg "_pack", \
            #Ns "_" #Msg "__sendsingle", #Ns "_" #Msg "__sendbatch"                                                   \
    }

// F(R, m) for each member m that follows, separated by commas.
#define SSH_MSG_DEF_EACH(F, R, ...) __VA_OPT__(SSH_MSG_DEF_EXPAND(SSH_MSG_DEF_EACH_(F, R, __VA_ARGS__)))
#define SSH_MSG_DEF_EACH_(F, R, m, ...) \
    F(R, m) __VA_OPT__(, SSH_MSG_DEF_EACH_AGAIN SSH_MSG_DEF_PARENS(F, R, __VA_ARGS__))
#define SSH_MSG_DEF_EACH_AGAIN() SSH_MSG_DEF_EACH_
#define SSH_MSG_DEF_PARENS ()
#define SSH_MSG_DEF_EXPAND(...) SSH_MSG_DEF_EXPAND4(SSH_MSG_DEF_EXPAND4(SSH_MSG_DEF_EXPAND4(__VA_ARGS__)))
#define SSH_MSG_DEF_EXPAND4(...) SSH_MSG_DEF_EXPAND1(SSH_MSG_DEF_EXPAND1(SSH_MSG_DEF_EXPAND1(__VA_ARGS__)))
#define SSH_MSG_DEF_EXPAND1(...) __VA_ARGS__

// The offset of member m's count, m##Count, when it has a uint32_t one; else 0xFFFF.
#define SSH_MSG_DEF_COUNT_OF(Rec, m)                                                          \
    []<class R = Rec>() constexpr->uint16_t {                                                 \
        if constexpr (requires { requires std::is_same_v<decltype(R::m##Count), uint32_t>; }) \
            return offsetof(R, m##Count);                                                     \
        else                                                                                  \
            return 0xFFFF;                                                                    \
    }                                                                                         \
    ()

#define SSH_MSG_DEF_FIELD(Rec, m) \
    ::ssh_msg_def::internal::MakeField<decltype(Rec::m)>(offsetof(Rec, m), SSH_MSG_DEF_COUNT_OF(Rec, m), #m)

// A row of a message list as the declaration of its schema k<Msg> and the
// record type's entry in kSchemaOf, then as the definition, then as the checks
// of its record and its identifier.
// Declarations come first so that a schema may name one defined after it.
#define SSH_MSG_DEF_DECLARE_SCHEMA(Ns, Msg, ...) \
    extern const Schema k##Msg;                  \
    template <>                                  \
    inline constexpr const Schema *kSchemaOf<Ns##_##Msg> = &k##Msg;
#define SSH_MSG_DEF_DEFINE_SCHEMA(recv, send, Ns, Msg, id, rootForm, nestedForm, sendForm, ...)               \
    inline constexpr Field k##Msg##Fields[] = {SSH_MSG_DEF_EACH(SSH_MSG_DEF_FIELD, Ns##_##Msg, __VA_ARGS__)}; \
    inline constexpr Schema k##Msg = {#Ns "_" #Msg,                                                           \
                                      (id),                                                                   \
                                      sizeof(Ns##_##Msg),                                                     \
                                      k##Msg##Fields,                                                         \
                                      CountOf(k##Msg##Fields),                                                \
                                      RootForm::rootForm,                                                     \
                                      NestedForm::nestedForm,                                                 \
                                      SendForm::sendForm == SendForm::kFixedImage,                            \
                                      &(recv),                                                                \
                                      &(send),                                                                \
                                      SSH_MSG_DEF_TAGS(Ns, Msg)};
// A row that leaves out a member of its record, or names two in another
// order, does not compile, and the compiler names the member.
#define SSH_MSG_DEF_CHECK_SCHEMA(Ns, Msg, id, rootForm, nestedForm, sendForm, ...)                                     \
    static_assert(WellFormed(k##Msg), #Ns "_" #Msg ": schema does not match its record");                              \
    static_assert(k##Msg.msgId == IdentifierOf(k##Msg.name), #Ns "_" #Msg ": identifier is not the hash of its name"); \
    static_assert(HasMembers<Ns##_##Msg>(std::make_index_sequence<RecordMembers(k##Msg)>{}));                          \
    [[maybe_unused]] inline constexpr int k##Msg##InOrder =                                                            \
        (SSH_MSG_DEF_EACH(SSH_MSG_DEF_IN_ORDER, Ns##_##Msg, __VA_ARGS__), 0);
#define SSH_MSG_DEF_IN_ORDER(Rec, m)                                                               \
    (void)[] {                                                                                     \
        static_assert(InRecordOrder(*kSchemaOf<Rec>, #m),                                          \
                      #Rec ": its row names " #m " after a member that follows it in the record"); \
    }

#endif
