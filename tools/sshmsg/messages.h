// The messages the tool knows: one entry per schema of the library, with the
// operations the commands need. Everything else (names, identifiers, sizes,
// fields) is read off the schema.
#pragma once

#include <stdint.h>

#include <span>
#include <string>
#include <string_view>

#include "inspect.h"
#include "internal.h"

namespace sshmsg {

namespace smd = ssh_msg_def::internal;

// A message: its exported operations in libssh_msg_def.so (Operations), its
// schema, its observed decoder and its fixed image, if it is sent as one.
struct Message : smd::Operations {
    const smd::Schema *schema;
    // The library's decoder telling a Collector what it reads (internal.h): true
    // when it accepts the buffer. Silent: no log line, no OS-layer memory.
    bool (*inspect)(const uint8_t *buf, uint32_t len, Collector &collector);
    // The fixed image the send path writes, for messages sent that way; else null.
    void (*image)(const void *record, uint8_t *out);
    uint32_t imageSize;

    std::string_view Name() const { return schema->name; }  // "SshsMsgDef_PortList"
    std::string_view ShortName() const { return Name().substr(Name().find('_') + 1); }
};

std::span<const Message> Messages();

// By record type ("SshsMsgDef_PortList"), qualified name ("SshsMsgDef.PortList"),
// message name ("PortList", any case) or identifier ("0x71670B77" or decimal).
const Message *FindMessage(std::string_view key);
const Message *FindMessage(uint32_t msgId);

}  // namespace sshmsg
