// The wire manifest: what a program built on another message list relies on
// when it exchanges buffers with this one. A buffer names no schema, so two
// lists agree on the wire when their messages keep their identifiers and send
// forms and their slots keep their positions and kinds (scripts/compat.py says
// which changes keep that). Text, one line per message and one per slot, in
// the order the receive modules register the messages and in slot order, so
// that a diff of two manifests reads as the change:
//
//   message <Namespace>.<Message> <identifier> <encoded|fixed-image>
//   slot <Namespace>.<Message> <index> <member> <kind>
//
// where kind is scalar, string, message <Namespace>.<Message> (a nested
// table) or list <Namespace>.<Message> (a list of tables), and a list's
// member is its array (its count is the array's name with the suffix Count).
// `sshmsg list --wire` prints it; releases keep theirs under compat/.
#ifndef SSH_MSG_DEF_INTERNAL_MANIFEST_H
#define SSH_MSG_DEF_INTERNAL_MANIFEST_H

#include <stdio.h>

#include <string>

#include "messages.h"

namespace ssh_msg_def::internal {

inline std::string WireKind(const Field &f) {
    switch (f.kind) {
        case Kind::kScalar: return "scalar";
        case Kind::kString: return "string";
        case Kind::kTable: return std::string("message ") + MessageOf(*f.nested).qualified;
        case Kind::kList: return std::string("list ") + MessageOf(*f.nested).qualified;
    }
    return "?";
}

inline std::string WireManifest() {
    std::string out;
    for (const Message &m : Messages()) {
        char id[11];
        snprintf(id, sizeof id, "0x%08X", static_cast<unsigned>(m.id()));
        const std::string name = m.qualified;
        out += "message " + name + " " + id + (m.schema.fixedImage ? " fixed-image\n" : " encoded\n");
        for (uint16_t i = 0; i < m.schema.slotCount; ++i) {
            const Field &f = m.schema.fields[i];
            out += "slot " + name + " " + std::to_string(i) + " " + f.name + " " + WireKind(f) + "\n";
        }
    }
    return out;
}

}  // namespace ssh_msg_def::internal

#endif
