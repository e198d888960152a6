// A record's members one at a time, for code that meets a schema at run time:
// the tests, the fuzz checks and the tool. (The library's engines walk their
// schemas at compile time; the library does not include this file.)
#ifndef SSH_MSG_DEF_INTERNAL_VISIT_H
#define SSH_MSG_DEF_INTERNAL_VISIT_H

#include <stddef.h>
#include <stdint.h>

#include <type_traits>

#include "../src/runtime/schema.h"
#include "../src/runtime/walk.h"

namespace ssh_msg_def::internal {

// A nested record held by value, and a list with its count and array members.
struct NestedRecord {
    const Schema &schema;
    void *record;
};
struct ListMember {
    const Schema &element;
    uint32_t &count;
    void *&array;
    void *At(uint32_t i) const { return static_cast<unsigned char *>(array) + size_t{i} * element.recordSize; }
};

// Calls visit(field, member) for each member of the record in slot order, with
// member a uint32_t &, a char *&, a NestedRecord or a ListMember. A visitor that
// takes no NestedRecord is handed the nested record's members in its place.
template <class V>
void VisitMembers(const Schema &s, const void *record, V &&visit) {
    void *r = const_cast<void *>(record);
    for (uint16_t i = 0; i < s.slotCount; ++i) {
        const Field &f = s.fields[i];
        switch (f.kind) {
            case Kind::kScalar: visit(f, Member<uint32_t>(r, f.offset)); break;
            case Kind::kString: visit(f, Member<char *>(r, f.offset)); break;
            case Kind::kTable:
                if constexpr (std::is_invocable_v<V &, const Field &, NestedRecord>) {
                    visit(f, NestedRecord{*f.nested, &Member<char>(r, f.offset)});
                } else {
                    VisitMembers(*f.nested, &Member<char>(r, f.offset), visit);
                }
                break;
            case Kind::kList:
                visit(f, ListMember{*f.nested, Member<uint32_t>(r, f.offset), Member<void *>(r, f.arrayOffset)});
                break;
        }
    }
}

// A visitor made of lambdas, one per kind of member it handles.
template <class... F>
struct Visitor : F... {
    using F::operator()...;
};
template <class... F>
Visitor(F...) -> Visitor<F...>;

}  // namespace ssh_msg_def::internal

#endif
