// libFuzzer target of the sshmsg tool's readers of untrusted text: hex
// (tools/sshmsg/hex.h) and records as JSON (tools/sshmsg/record_json.h). The
// input is read or refused by each, a refusal as one line shorter than 4 KiB in
// the tool's own words. Hex read stays within the tool's bound, and the input's
// first 256 bytes written as plain hex read back as themselves. JSON is read as
// a record of every message in turn (see Check).
#include "../tools/sshmsg/hex.h"
#include "../tools/sshmsg/record_json.h"
#include "invariants.h"

namespace {

using smd_fuzz::Fail;
using sshmsg::Json;

void CheckRefusal(const std::exception &e) {
    // An exception of the JSON library itself would be its words, not the tool's.
    const std::string line = sshmsg::Escape(e.what());
    if (line.find('\n') != std::string::npos || line.size() >= 4096 || dynamic_cast<const Json::exception *>(&e)) {
        Fail("a refusal is one short line in the tool's words", line);
    }
}

// The record read from JSON, packed and unpacked, prints as JSON that reads
// back to the same bytes; every number and plain string the text gives a
// member of the record is printed as given.
void Check(const smd_fuzz::Codec &c, const Json &j) {
    std::vector<uint8_t> first;
    Json text = j;
    for (int round = 0; round < 2; ++round) {
        sshmsg::Records record(c.s.recordSize, 1), back(c.s.recordSize, 1);
        sshmsg::Arena arena;
        try {
            sshmsg::FromJson(c.s, text, record.at(0), arena);
        } catch (const std::exception &e) {
            if (round == 1) Fail("the tool reads what it prints", text.dump());
            return CheckRefusal(e);
        }
        std::vector<uint8_t> encoding(1 << 20);
        auto length = static_cast<uint32_t>(encoding.size());
        if (c.ops.pack(record.at(0), encoding.data(), &length) != 0) Fail("an accepted record packs", j.dump());
        encoding.resize(length);
        if (!c.unpack(encoding.data(), length, back.at(0))) Fail("its encoding unpacks", j.dump());
        text = sshmsg::ToJson(c.s, back.at(0));
        c.ops.release(back.at(0));
        if (round == 1 && encoding != first) Fail("what the tool prints reads back as the same record", j.dump());
        first = encoding;
    }
    for (const auto &[name, value] : j.items()) {
        if ((value.is_number() || value.is_string()) && text[name] != value) {
            Fail("a member's value is printed as given",
                 std::string(c.s.name) + " from " + j.dump() + "\ngot " + text.dump());
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    const std::string input(reinterpret_cast<const char *>(data), size), bytes = input.substr(0, 256);
    try {
        if (sshmsg::ParseHex(input).size() > sshmsg::kMaxInput + size) Fail("hex read stays within the bound", input);
    } catch (const std::exception &e) {
        CheckRefusal(e);
    }
    if (sshmsg::ParseHex(sshmsg::ToHex(bytes)) != bytes) Fail("plain hex reads back as its bytes", bytes);
    Json j;
    try {
        j = sshmsg::ParseJson(input);
    } catch (const std::exception &e) {
        return CheckRefusal(e), 0;
    }
    for (const smd_fuzz::Codec &c : smd_fuzz::kCodecs) Check(c, j);
    return 0;
}
