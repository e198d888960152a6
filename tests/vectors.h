// The byte vectors of vectors.txt, read for the tests and for the fuzz seeds.
#pragma once

#include <stdint.h>
#include <stdio.h>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

inline std::vector<uint8_t> Hex(const char *text) {
    std::vector<uint8_t> out;
    unsigned v;
    int n;
    while (sscanf(text, " %2x%n", &v, &n) == 1) out.push_back(static_cast<uint8_t>(v)), text += n;
    return out;
}

struct ByteVector {
    std::string kind, message, record;
    std::vector<uint8_t> bytes;
    int line;
};

inline std::vector<ByteVector> ReadVectors(const char *path) {
    std::vector<ByteVector> out;
    std::ifstream in(path);
    std::string line;
    for (int n = 1; std::getline(in, line); ++n) {
        if (line.empty() || line[0] == '#') continue;
        if (line[0] == ' ' && !out.empty()) {
            const std::vector<uint8_t> more = Hex(line.c_str());
            out.back().bytes.insert(out.back().bytes.end(), more.begin(), more.end());
            continue;
        }
        ByteVector &v = out.emplace_back(ByteVector{"", "", "", {}, n});
        std::istringstream row(line);
        row >> v.kind >> v.message;
        std::getline(row >> std::ws, v.record);
    }
    return out;
}
