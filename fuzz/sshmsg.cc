// libFuzzer target of the readers of untrusted text that the sshmsg tool, the
// case runner and the vectors share: hex (internal/text.h) and records as JSON
// (internal/record_json.h). The input is read or refused by each, a refusal as
// one line shorter than 4 KiB. Hex read stays within the tool's bound, and the
// input's first 256 bytes written as plain hex, and laid out as xxd, hexdump -C
// (its ASCII column kept or cut off) and od -Ax -tx1 lay them out, read back as
// themselves. JSON is
// read as a record of every message in turn, with an independent JSON parser
// as the oracle: what it refuses, the reader refuses; every number and string
// the reader took for a member is the one the oracle reads there; and the
// record, packed, unpacked and written, reads back as the same bytes.
// The input is also a capture, as `sshmsg decode --all` and `sshmsg replay`
// take it: split into messages back to back, each read alone gives the record
// it gives within the rest; replayed through the host framework, the host's
// verdict is the library's decoder's.
#include <nlohmann/json.hpp>

#include "../tools/sshmsg/inspect.h"
#include "invariants.h"
#include "ssh_msg_def/vorn_host.h"
#include "text.h"

namespace {

namespace smd = ssh_msg_def::internal;
using smd_fuzz::Fail;
using Json = nlohmann::ordered_json;

enum class DumpForm { kXxd, kHexdump, kHexdumpCut, kOd };

// The bytes as the dump tool writes them: 16 a line; hexdump and od leave out
// a line like the one before, a "*" in its place, and end on the offset.
std::string Write(std::string_view bytes, DumpForm layout) {
    const bool xxd = layout == DumpForm::kXxd, od = layout == DumpForm::kOd;
    std::string out;
    char text[32];
    for (size_t at = 0; at < bytes.size(); at += 16) {
        const std::string_view line = bytes.substr(at, 16);
        if (!xxd && at >= 16 && line == bytes.substr(at - 16, 16)) {
            if (!out.ends_with("*\n")) out += "*\n";
            continue;
        }
        std::string ascii, row;
        for (const char b : line) ascii += b >= 0x20 && b < 0x7F ? b : '.';
        snprintf(text, sizeof text, od ? "%06zx" : xxd ? "%08zx: " : "%08zx ", at);
        row = text;
        for (size_t k = 0; k < 16 && (!od || k < line.size()); ++k) {
            const std::string hex = k < line.size() ? smd::ToHex(line.substr(k, 1)) : "  ";
            row += xxd ? hex + (k % 2 ? " " : "") : (k == 8 && !od ? "  " : " ") + hex;
        }
        row += xxd ? " " + ascii : od ? "" : "  |" + ascii + "|";
        out += (layout == DumpForm::kHexdumpCut ? row.substr(0, 60) : row) + "\n";
    }
    snprintf(text, sizeof text, od ? "%06zx\n" : "%08zx\n", bytes.size());
    return xxd || bytes.empty() ? out : out + text;
}

void CheckRefusal(const std::exception &e) {
    const std::string line = smd::Escape(e.what());
    if (line.find('\n') != std::string::npos || line.size() >= 4096) Fail("a refusal is one short line", line);
}

// Reads the text as a record of m; false when it is refused.
bool Read(const smd::Message &m, std::string_view text, smd::Records &record, smd::Arena &arena) {
    try {
        smd::RecordReader in(text, arena);
        in.Record(m.schema, record.at(0));
        in.End();
        return true;
    } catch (const std::exception &e) {
        CheckRefusal(e);
        return false;
    }
}

void Check(const smd::Message &m, const std::string &input, const Json *oracle) {
    smd::Records record(m.schema.recordSize, 1);
    smd::Arena arena;
    if (!Read(m, input, record, arena)) return;
    if (oracle == nullptr) Fail("what the reader accepts is JSON", input);
    const std::string first = smd::RecordText(m.schema, record.at(0));
    const Json read = Json::parse(first);
    for (const auto &[name, value] : oracle->items()) {
        if ((value.is_number() || value.is_string()) && read[name] != value) {
            Fail("a member holds the value the text gives it",
                 std::string(m.schema.name) + " from " + input + "\nread " + first);
        }
    }
    std::vector<uint8_t> encoding(1 << 20), again(1 << 20);
    auto length = static_cast<uint32_t>(encoding.size());
    if (m.pack(record.at(0), encoding.data(), &length) != 0) Fail("an accepted record packs", input);
    smd::Records back(m.schema.recordSize, 1), reread(m.schema.recordSize, 1);
    if (!m.decode(encoding.data(), length, back.at(0))) Fail("its encoding unpacks", input);
    const std::string text = smd::RecordText(m.schema, back.at(0), smd::Style::kPretty);
    m.release(back.at(0));
    auto size = static_cast<uint32_t>(again.size());
    if (!Read(m, text, reread, arena) || m.pack(reread.at(0), again.data(), &size) != 0 || size != length ||
        memcmp(again.data(), encoding.data(), size) != 0) {
        Fail("what the writer writes reads back as the same record", input + "\nwrote " + text);
    }
}

// The input as a capture of messages m back to back, and replayed as one.
void CheckCapture(const smd::Message &m, const uint8_t *data, uint32_t size) {
    uint32_t next = 0;
    sshmsg::Layout rest;
    const uint32_t end = sshmsg::EachMessage(
        m, data, size,
        [&](uint32_t at, uint32_t length, const sshmsg::Layout &) {
            smd::Records alone(m.schema.recordSize, 1), within(m.schema.recordSize, 1);
            if (at != next || length == 0 || length > size - at || !m.decode(data + at, length, alone.at(0)) ||
                !m.decode(data + at, size - at, within.at(0)) ||
                smd::RecordText(m.schema, alone.at(0)) != smd::RecordText(m.schema, within.at(0))) {
                Fail("a message of a capture reads alone as within the rest", std::string(m.schema.name));
            }
            m.release(alone.at(0)), m.release(within.at(0));
            next = at + length;
        },
        &rest);
    if (end != next || (end < size) == rest.refusal.empty()) Fail("a capture ends where its last message does", "");
    static const bool registered = sshc_msg_def_recv_init() == 0 && sshs_msg_def_recv_init() == 0;
    static int verdict;
    VornHost_Subscribe([](const VornHost_Delivery *d, void *) { verdict = static_cast<int>(d->accepted); }, nullptr);
    const SshMsgDef_MsgDesc desc{data, m.id(), size};
    verdict = -1;
    smd::Records record(m.schema.recordSize, 1);
    const bool accepted = m.decode(data, size, record.at(0));
    if (accepted) m.release(record.at(0));
    if (!registered || VORN_SendMsg(1, &desc, 1) != 0 || verdict != static_cast<int>(accepted)) {
        Fail("a replay's verdict is the library's decoder's", std::string(m.schema.name));
    }
    VornHost_Subscribe(nullptr, nullptr);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    const std::string input(reinterpret_cast<const char *>(data), size), bytes = input.substr(0, 256);
    try {
        if (smd::ParseHex(input).size() > smd::kMaxInput + size) Fail("hex read stays within the bound", input);
    } catch (const std::exception &e) {
        CheckRefusal(e);
    }
    if (smd::ParseHex(smd::ToHex(bytes)) != bytes) Fail("plain hex reads back as its bytes", bytes);
    for (const DumpForm layout : {DumpForm::kXxd, DumpForm::kHexdump, DumpForm::kHexdumpCut, DumpForm::kOd}) {
        const std::string dump = Write(bytes, layout);
        if (!bytes.empty() && smd::ParseHex(dump) != bytes) Fail("a dump reads back as its bytes", dump);
    }
    Json oracle;
    bool json = true;
    try {
        oracle = Json::parse(input);
    } catch (const Json::exception &) {
        json = false;
    }
    for (const smd::Message &m : smd::Messages()) {
        Check(m, input, json && oracle.is_object() ? &oracle : nullptr);
        if (size >= 4 && size <= 0x7FFFFFFF) CheckCapture(m, data, static_cast<uint32_t>(size));
    }
    return 0;
}
