#include "messages.h"

#include <strings.h>

#include <charconv>

#include "encode.h"
#include "observe.h"
#include "ssh_msg_def/ssh_msg_def.h"

namespace sshmsg {
namespace {

namespace observe = ssh_msg_def::observe;

template <const smd::Schema *S>
constexpr auto ImageWriter() -> void (*)(const void *, uint8_t *) {
    if constexpr (S->fixedImage) {
        return [](const void *record, uint8_t *out) { smd::WriteImage<S>(out, record, S->send->byteOrder != 0); };
    } else {
        return nullptr;
    }
}

template <const smd::Schema *S>
constexpr uint32_t ImageSize() {
    if constexpr (S->fixedImage) return smd::kImageSize<S>;
    return 0;
}

#define SSHMSG_MESSAGE(Rec, schema)                                                                                  \
    Message {                                                                                                        \
        &smd::schema, &observe::Inspect<&smd::schema, Collector>,                                                    \
            [](const uint8_t *b, uint32_t l, void *r) { return Rec##__unpack(b, l, static_cast<Rec *>(r)); },        \
            [](void *r) { Rec##_free__unpacked(static_cast<Rec *>(r)); },                                            \
            [](const void *r, uint8_t *b, uint32_t *l) { return Rec##__pack(static_cast<const Rec *>(r), b, l); },   \
            [](uint32_t h, const void *r, uint32_t n) { return Rec##__sendmsg(h, static_cast<const Rec *>(r), n); }, \
            [](uint32_t h, const void *r, uint32_t n, uint64_t t) {                                                  \
                return Rec##__sendtomsg(h, static_cast<const Rec *>(r), n, t);                                       \
            },                                                                                                       \
            ImageWriter<&smd::schema>(), ImageSize<&smd::schema>()                                                   \
    }

// In the order the receive modules register them.
const Message kMessages[] = {
    SSHMSG_MESSAGE(SshcMsgDef_FileTrans, kFileTrans),
    SSHMSG_MESSAGE(SshcMsgDef_FileDir, kFileDir),
    SSHMSG_MESSAGE(SshcMsgDef_ConnectPara, kConnectPara),
    SSHMSG_MESSAGE(SshcMsgDef_SftpciMessage, kSftpciMessage),
    SSHMSG_MESSAGE(SshsMsgDef_PortList, kPortList),
    SSHMSG_MESSAGE(SshsMsgDef_ForwardPort, kForwardPort),
    SSHMSG_MESSAGE(SshsMsgDef_TcpForwordMessage, kTcpForwordMessage),
};

bool SameText(std::string_view a, std::string_view b) {
    return a.size() == b.size() && strncasecmp(a.data(), b.data(), a.size()) == 0;
}

}  // namespace

std::span<const Message> Messages() { return kMessages; }

const Message *FindMessage(uint32_t msgId) {
    for (const Message &m : kMessages) {
        if (m.schema->msgId == msgId) return &m;
    }
    return nullptr;
}

const Message *FindMessage(std::string_view key) {
    for (const Message &m : kMessages) {
        const std::string_view name = m.Name();
        const size_t ns = name.find('_');
        if (key == name || SameText(key, m.ShortName()) ||
            (key.size() == name.size() && key.substr(0, ns) == name.substr(0, ns) && key[ns] == '.' &&
             key.substr(ns + 1) == name.substr(ns + 1))) {
            return &m;
        }
    }
    const bool hex = key.starts_with("0x") || key.starts_with("0X");
    const std::string_view digits = hex ? key.substr(2) : key;
    uint32_t id;
    const auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), id, hex ? 16 : 10);
    if (digits.empty() || ec != std::errc() || end != digits.data() + digits.size()) return nullptr;
    return FindMessage(id);
}

}  // namespace sshmsg
