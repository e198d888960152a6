// The byte vectors of vectors.txt (its head says the form), read for the
// regression runner and the fuzz seeds with the tools' hex reader: a line it
// cannot read is an error that names the line.
#pragma once

#include <fstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "messages.h"
#include "text.h"

struct ByteVector {
    std::string kind;  // pack or accept
    const ssh_msg_def::internal::Message *message;
    std::string record;  // as JSON
    std::string bytes;
    int line;
};

inline std::vector<ByteVector> ReadVectors(const char *path) {
    namespace smd = ssh_msg_def::internal;
    std::vector<ByteVector> out;
    std::ifstream in(path);
    std::string line, hex;
    auto finish = [&] {
        if (out.empty()) return;
        try {
            out.back().bytes = smd::ParseHex(hex);
        } catch (const std::exception &e) {
            throw std::runtime_error(std::string(path) + ":" + std::to_string(out.back().line) + ": " + e.what());
        }
        hex.clear();
    };
    for (int n = 1; std::getline(in, line); ++n) {
        if (line.empty() || line[0] == '#') continue;
        if (line[0] == ' ' && !out.empty()) {
            hex += line + "\n";
            continue;
        }
        finish();
        const size_t a = line.find(' '), b = line.find(' ', a + 1);
        const smd::Message *m = b == std::string::npos ? nullptr : smd::FindMessage(line.substr(a + 1, b - a - 1));
        if (m == nullptr || (line.substr(0, a) != "pack" && line.substr(0, a) != "accept"))
            throw std::runtime_error(std::string(path) + ":" + std::to_string(n) + ": no such kind or message");
        out.push_back({line.substr(0, a), m, line.substr(b + 1), "", n});
    }
    finish();
    return out;
}
