// Message schemas: what the generic codec knows about a message. A schema is a
// constexpr table of field descriptors (kind, record member, nested schema) in
// slot order plus the message's identity, function tags, modules and the few
// rules in which messages differ (root and nested decoder forms, fixed send
// image). The engines in decode.h, encode.h and send.h walk these tables at
// compile time; nothing here is message-specific.
#ifndef SSH_MSG_DEF_RUNTIME_SCHEMA_H
#define SSH_MSG_DEF_RUNTIME_SCHEMA_H

#include <stddef.h>
#include <stdint.h>

#include "context.h"

namespace ssh_msg_def::internal {

enum class Kind : uint8_t {
    kScalar,  // uint32_t member
    kString,  // char * member, owned when decoded
    kTable,   // nested record held by value
    kVector,  // uint32_t count member, then an owned pointer to element records
};

// Root decoder forms. A self-contained root checks the root table itself and
// zeroes the record only once the table passed; a delegating root zeroes the
// record first and hands the root table to the message's nested decoder.
enum class RootForm : uint8_t { kSelfContained, kDelegating };

// Nested decoder forms. A guarded one repeats the parameter check, zeroes its
// record after the table checks and, if its record owns memory, releases it
// after a field failure; a plain one does neither and logs allocation failures
// with the wide message.
enum class NestedForm : uint8_t { kNone, kGuarded, kPlain };

struct Schema;

struct Field {
    Kind kind;
    uint16_t offset;       // record member (the count, for a vector)
    uint16_t arrayOffset;  // vector only: the array pointer member
    const Schema *nested;  // table and vector only: the nested or element schema
    const char *name;      // record member as in the public header (the array, for a vector)
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

// True when a record of this schema, or a record nested in it by value, owns
// memory after a decode.
constexpr bool OwnsMemory(const Schema &s) {
    for (uint16_t i = 0; i < s.slotCount; ++i) {
        const Field &f = s.fields[i];
        if (f.kind == Kind::kString || f.kind == Kind::kVector) return true;
        if (f.kind == Kind::kTable && OwnsMemory(*f.nested)) return true;
    }
    return false;
}

// True when every field is a 32-bit scalar. Such a table with every field
// non-zero has a single layout, its dense form: vtable length 4 + 2k, table
// length 4 + 4k and slot i holding 4 + 4i, for k fields.
constexpr bool AllScalars(const Schema &s) {
    for (uint16_t i = 0; i < s.slotCount; ++i) {
        if (s.fields[i].kind != Kind::kScalar) return false;
    }
    return true;
}

// True when an all-scalar record holds its fields one after another, as its
// dense table does: the table's scalars then copy to the record in one piece.
constexpr bool ScalarsPacked(const Schema &s) {
    for (uint16_t i = 0; i < s.slotCount; ++i) {
        if (s.fields[i].offset != s.fields[0].offset + 4 * i) return false;
    }
    return AllScalars(s);
}

// True when a record is nothing but its scalars, packed from its start: an
// array of such records is an array of 32-bit words, one per field.
constexpr bool ScalarsOnly(const Schema &s) {
    return ScalarsPacked(s) && s.fields[0].offset == 0 && s.recordSize == 4u * s.slotCount;
}

// The bytes a member takes in its record: a word (a list's count too), a
// pointer, or the nested record itself.
constexpr uint32_t MemberSize(const Field &f) {
    if (f.kind == Kind::kString) return sizeof(char *);
    if (f.kind == Kind::kTable) return f.nested->recordSize;
    return 4;
}

// A schema is well formed when its members follow the slots in order inside the
// record without overlapping, vectors hold elements that own nothing, and a
// fixed image is only asked of an all-scalar message.
constexpr bool WellFormed(const Schema &s) {
    uint32_t next = 0;
    for (uint16_t i = 0; i < s.slotCount; ++i) {
        const Field &f = s.fields[i];
        if ((f.kind == Kind::kTable || f.kind == Kind::kVector) != (f.nested != nullptr)) return false;
        if (s.fixedImage && f.kind != Kind::kScalar) return false;
        if (f.offset < next) return false;
        next = f.offset + MemberSize(f);
        if (f.kind == Kind::kVector) {
            if (f.arrayOffset < next || OwnsMemory(*f.nested)) return false;
            next = f.arrayOffset + sizeof(void *);
        }
    }
    return next <= s.recordSize;
}

}  // namespace ssh_msg_def::internal

// The six function tags of a message, spelled from its namespace and name.
#define SSH_MSG_DEF_TAGS(Ns, Msg)                                                                                     \
    ::ssh_msg_def::internal::Tags {                                                                                   \
#Ns "_" #Msg "_unpack", #Ns "_" #Msg "_unpack_non_root", #Ns "_" #Msg "_free_unpacked", #Ns "_" #Msg "_pack", \
            #Ns "_" #Msg "__sendsingle", #Ns "_" #Msg "__sendbatch"                                                   \
    }

#define SSH_MSG_DEF_FIELD(kind, Rec, member, arrayOffset, nested)                                \
    ::ssh_msg_def::internal::Field {                                                             \
        ::ssh_msg_def::internal::Kind::kind, offsetof(Rec, member), arrayOffset, nested, #member \
    }
#define SSH_MSG_DEF_SCALAR(Rec, member) SSH_MSG_DEF_FIELD(kScalar, Rec, member, 0, nullptr)
#define SSH_MSG_DEF_STRING(Rec, member) SSH_MSG_DEF_FIELD(kString, Rec, member, 0, nullptr)
#define SSH_MSG_DEF_TABLE(Rec, member, schema) SSH_MSG_DEF_FIELD(kTable, Rec, member, 0, &(schema))
// The array member is named; its count member is the array's name with the suffix Count.
#define SSH_MSG_DEF_VECTOR(Rec, array, schema)                                                                       \
    ::ssh_msg_def::internal::Field {                                                                                 \
        ::ssh_msg_def::internal::Kind::kVector, offsetof(Rec, array##Count), offsetof(Rec, array), &(schema), #array \
    }

#endif
