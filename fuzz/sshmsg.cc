// libFuzzer target of the sshmsg tool's readers of untrusted text: hex
// (tools/sshmsg/hex.h) and records as JSON (tools/sshmsg/record_json.h). The
// input is read or refused by each, a refusal as one line shorter than 4 KiB in
// the tool's own words. Hex read stays within the tool's bound, and the input's
// first 256 bytes written as plain hex read back as themselves. JSON is read as
// a record of every message in turn; a record read from it packs, unpacks and
// prints as the text's JSON normalised: members in slot order, absent ones
// filled in, counts beside their lists, strings in the form the tool prints.
#include <stdio.h>
#include <stdlib.h>

#include "../tools/sshmsg/hex.h"
#include "../tools/sshmsg/record_json.h"
#include "invariants.h"

namespace {

namespace smd = ssh_msg_def::internal;
using sshmsg::Json;

[[noreturn]] void Broken(const char *what, const std::string &detail) {
    fprintf(stderr, "invariant broken: %s\n%s\n", what, detail.c_str());
    abort();
}

void CheckRefusal(const std::exception &e) {
    // An exception of the JSON library itself would be its words, not the tool's.
    const std::string line = sshmsg::Escape(e.what());
    if (line.find('\n') != std::string::npos || line.size() >= 4096 || dynamic_cast<const Json::exception *>(&e)) {
        Broken("a refusal is one short line in the tool's words", line);
    }
}

// The record's JSON as the tool prints it, from the text's JSON alone.
Json Normal(const smd::Schema &s, const Json &j) {
    Json out = Json::object();
    for (uint16_t i = 0; i < s.slotCount; ++i) {
        const smd::Field &f = s.fields[i];
        const auto it = j.find(f.name);
        const bool given = it != j.end() && !it->is_null();
        switch (f.kind) {
            case smd::Kind::kScalar: out[f.name] = given ? *it : Json(0); break;
            case smd::Kind::kString:
                out[f.name] = !given ? Json(nullptr)
                              : it->is_string()
                                  ? *it
                                  : sshmsg::BytesToJson(sshmsg::ParseHex((*it)["hex"].get<std::string>()));
                break;
            case smd::Kind::kTable: out[f.name] = Normal(*f.nested, given ? *it : Json::object()); break;
            case smd::Kind::kVector: {
                const size_t n = given ? it->size() : 0;
                out[std::string(f.name) + "Count"] = n;
                Json &elements = out[f.name] = n > 0 ? Json::array() : Json(nullptr);
                for (size_t e = 0; e < n; ++e) elements.push_back(Normal(*f.nested, (*it)[e]));
                break;
            }
        }
    }
    return out;
}

template <const smd::Schema *S>
void Check(const Json &j) {
    sshmsg::Records record(S->recordSize, 1), back(S->recordSize, 1);
    sshmsg::Arena arena;
    try {
        sshmsg::FromJson(*S, j, record.at(0), arena);
    } catch (const std::exception &e) {
        return CheckRefusal(e);
    }
    std::vector<uint8_t> encoding(1 << 20);
    auto length = static_cast<uint32_t>(encoding.size());
    if (smd::Pack<S>(record.at(0), encoding.data(), &length) != 0) Broken("an accepted record packs", j.dump());
    if (!smd::Unpack<S>(encoding.data(), length, back.at(0))) Broken("its encoding unpacks", j.dump());
    const Json got = sshmsg::ToJson(*S, back.at(0)), want = Normal(*S, j);
    smd::FreeUnpacked<S>(back.at(0));
    if (got != want) {
        Broken("the decoded record is the text's",
               std::string(S->name) + " from " + j.dump() + "\nwant " + want.dump() + "\ngot  " + got.dump());
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    const std::string input(reinterpret_cast<const char *>(data), size), bytes = input.substr(0, 256);
    try {
        if (sshmsg::ParseHex(input).size() > sshmsg::kMaxInput + size) Broken("hex read stays within the bound", input);
    } catch (const std::exception &e) {
        CheckRefusal(e);
    }
    if (sshmsg::ParseHex(sshmsg::ToHex(bytes)) != bytes) Broken("plain hex reads back as its bytes", bytes);
    Json j;
    try {
        j = sshmsg::ParseJson(input);
    } catch (const std::exception &e) {
        return CheckRefusal(e), 0;
    }
    smd::ForEachMessage([&]<const smd::Schema * S>() { Check<S>(j); });
    return 0;
}
