// Writes the fuzz seed corpora: OUT/<Message>/ for each decoder target and
// OUT/Records/ for the record builder. The seeds are the byte vectors written in
// the test sources (every string literal made only of hex digits and blanks,
// adjacent literals joined, is one buffer) and the encodings of the realistic
// samples. A buffer goes to every decoder that accepts it, or to all of them
// when none does; the record builder gets every buffer, and inputs that make
// it take each of its choices.
// Usage: seedgen OUT SOURCE...
#include <stdio.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "samples.h"

namespace fs = std::filesystem;
using namespace smd_fuzz;

namespace {

// The string literals of a C++ source, adjacent ones joined; comments and
// character literals skipped.
std::vector<std::string> Literals(const std::string &src) {
    std::vector<std::string> out;
    bool joinable = false;  // only blanks since the last literal ended
    for (size_t i = 0; i < src.size(); ++i) {
        const char c = src[i];
        if (c == '/' && i + 1 < src.size() && (src[i + 1] == '/' || src[i + 1] == '*')) {
            const size_t end = src[i + 1] == '/' ? src.find('\n', i) : src.find("*/", i + 2) + 1;
            i = end == std::string::npos || end == 0 ? src.size() : end;
        } else if (c == '"' || c == '\'') {
            std::string text;
            for (++i; i < src.size() && src[i] != c; ++i) {
                if (src[i] == '\\') ++i;
                if (i < src.size()) text += src[i];
            }
            if (c == '\'') {
                joinable = false;
            } else if (joinable) {
                out.back() += text;
            } else {
                out.push_back(text);
                joinable = true;
            }
        } else if (!isspace(static_cast<unsigned char>(c))) {
            joinable = false;
        }
    }
    return out;
}

// The bytes of a literal like "0C00 0400 16000000", or nothing.
bool HexBytes(const std::string &text, Bytes *out) {
    std::string digits;
    for (char c : text) {
        if (isxdigit(static_cast<unsigned char>(c))) {
            digits += c;
        } else if (c != ' ') {
            return false;
        }
    }
    if (digits.size() < 8 || digits.size() % 2 != 0) return false;
    out->clear();
    for (size_t i = 0; i < digits.size(); i += 2)
        out->push_back(static_cast<uint8_t>(stoul(digits.substr(i, 2), 0, 16)));
    return true;
}

std::string Name(const Bytes &b) {
    uint64_t h = 0xCBF29CE484222325u;
    for (uint8_t c : b) h = (h ^ c) * 0x100000001B3u;
    char name[24];
    snprintf(name, sizeof name, "%016llx", static_cast<unsigned long long>(h));
    return name;
}

void Write(const fs::path &dir, const std::string &name, const Bytes &b) {
    fs::create_directories(dir);
    std::ofstream(dir / name, std::ios::binary).write(reinterpret_cast<const char *>(b.data()), b.size());
}

template <const smd::Schema *S>
bool Accepts(const Bytes &b) {
    Record rec(S->recordSize);
    const bool ok = smd::Unpack<S>(b.data(), static_cast<uint32_t>(b.size()), rec.data());
    smd::FreeUnpacked<S>(rec.data());
    return ok;
}

}  // namespace

int main(int argc, char **argv) {
    if (argc < 2) {
        fprintf(stderr, "usage: %s OUT SOURCE...\n", argv[0]);
        return 2;
    }
    const fs::path out = argv[1];
    fs::remove_all(out);
    size_t vectors = 0;
    for (int i = 2; i < argc; ++i) {
        std::ifstream in(argv[i]);
        const std::string src{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
        for (const std::string &literal : Literals(src)) {
            Bytes b;
            if (!HexBytes(literal, &b)) continue;
            ++vectors;
            Write(out / "Records", Name(b), b);
            bool anyAccepts = false;
            ForEachMessage([&]<const smd::Schema * S>() { anyAccepts |= Accepts<S>(b); });
            ForEachMessage([&]<const smd::Schema * S>() {
                if (!anyAccepts || Accepts<S>(b)) Write(out / MessageName(S), Name(b), b);
            });
        }
    }
    // Inputs of one repeated byte make the record builder take each of its
    // choices throughout, long enough to last for all seven messages.
    for (int k = 0; k < 8; ++k) Write(out / "Records", "uniform-" + std::to_string(k), Bytes(65536, k));
    for (const Sample &s : RealisticSamples()) {
        Write(out / MessageName(s.schema), s.name, s.encoding);
        Write(out / "Records", s.name, s.encoding);
    }
    printf("seedgen: %zu test vectors and %zu samples into %s\n", vectors, RealisticSamples().size(), argv[1]);
    return 0;
}
