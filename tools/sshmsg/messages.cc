#include "messages.h"

#include <strings.h>

#include <charconv>

#include "internal.h"
#include "ssh_msg_def/ssh_msg_def.h"

namespace sshmsg {
namespace {

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

#define SSHMSG_MESSAGE(Ns, Msg, ...)                                                                \
    Message{smd::kOperationsOf<&smd::k##Msg>, &smd::k##Msg, &smd::Observe<&smd::k##Msg, Collector>, \
            ImageWriter<&smd::k##Msg>(), ImageSize<&smd::k##Msg>()},

// In the order the receive modules register them.
const Message kMessages[] = {SSH_MSG_DEF_MESSAGES(SSHMSG_MESSAGE)};

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
