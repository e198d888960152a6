// libFuzzer target of the sshmsg tool's hex reader (tools/sshmsg/hex.h). The
// input as text is read or refused, a refusal as one line shorter than 4 KiB,
// and what is read stays within the tool's bound. The input as bytes (its
// first 256), written in a form the reader takes as the tool that writes it
// lays it out, reads back as the same bytes.
#include <stdio.h>
#include <stdlib.h>

#include <string>

#include "../tools/sshmsg/hex.h"
#include "../tools/sshmsg/record_json.h"

namespace {

[[noreturn]] void Broken(const char *what, const std::string &detail) {
    fprintf(stderr, "invariant broken: %s\n%s\n", what, detail.c_str());
    abort();
}

std::string Format(const char *format, unsigned value) {
    char text[16];
    snprintf(text, sizeof text, format, value);
    return text;
}

std::string Ascii(const std::string &bytes) {
    std::string out;
    for (const char b : bytes) out += b >= 0x20 && b < 0x7F ? b : '.';
    return out;
}

// xxd with `group` bytes to a group, 16 bytes to a line.
std::string Xxd(const std::string &b, size_t group) {
    std::string out;
    for (size_t at = 0; at < b.size(); at += 16) {
        const std::string line = b.substr(at, 16);
        std::string hex;
        for (size_t i = 0; i < 16; ++i) {
            hex += i % group == 0 ? " " : "";
            hex += i < line.size() ? Format("%02x", static_cast<unsigned char>(line[i])) : "  ";
        }
        out += Format("%08x:", static_cast<unsigned>(at)) + hex + "  " + Ascii(line) + "\n";
    }
    return out;
}

// hexdump -C: a line the same as the one before is squeezed into "*".
std::string HexdumpC(const std::string &b) {
    std::string out, previous;
    bool squeezed = false;
    for (size_t at = 0; at < b.size(); at += 16) {
        const std::string line = b.substr(at, 16);
        if (line.size() == 16 && line == previous) {
            out += squeezed ? "" : "*\n";
            squeezed = true;
            continue;
        }
        squeezed = false;
        previous = line;
        std::string hex;
        for (size_t i = 0; i < 16; ++i) {
            hex += i < line.size() ? Format("%02x ", static_cast<unsigned char>(line[i])) : "   ";
            hex += i == 7 ? " " : "";
        }
        out += Format("%08x  ", static_cast<unsigned>(at)) + hex + " |" + Ascii(line) + "|\n";
    }
    return b.empty() ? out : out + Format("%08x\n", static_cast<unsigned>(b.size()));
}

// The bytes in form `which` of seven, as its writer lays them out: plain hex,
// 0x prefixes, one 0x run, a C initialiser, xxd -g 1, xxd, hexdump -C.
std::string Form(const std::string &b, size_t which) {
    if (which == 4 || which == 5) return Xxd(b, which - 3);
    if (which == 6) return HexdumpC(b);
    if (which == 2) return b.empty() ? "" : "0x" + sshmsg::ToHex(b);
    std::string out = which == 3 ? "static const uint8_t m[] = { // message\n" : "";
    for (size_t i = 0; i < b.size(); ++i) {
        const std::string byte = Format("%02x", static_cast<unsigned char>(b[i]));
        if (which == 0) out += byte + (i % 16 == 15 ? "\n" : i % 4 == 3 ? " " : "");
        if (which == 1) out += "0x" + byte + " ";
        if (which == 3) out += "0x" + byte + (i % 12 == 11 ? ",\n" : i % 4 == 3 ? ", /* word */ " : ", ");
    }
    return which == 3 ? out + "};\nunsigned int m_len = " + std::to_string(b.size()) + ";\n" : out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    const std::string input(reinterpret_cast<const char *>(data), size);
    try {
        if (sshmsg::ParseHex(input).size() > sshmsg::kMaxInput + size)
            Broken("what is read stays within the bound", input);
    } catch (const std::exception &e) {
        const std::string line = sshmsg::Escape(e.what());
        if (line.find('\n') != std::string::npos || line.size() >= 4096) Broken("a refusal is one short line", line);
    }
    // The input's first 256 bytes (lines enough for every layout, "*"
    // included), in one form picked by the input.
    const std::string bytes = input.substr(0, 256);
    size_t which = 0;
    for (const char c : input) which += static_cast<unsigned char>(c);
    const std::string form = Form(bytes, which % 7);
    std::string back;
    try {
        back = sshmsg::ParseHex(form);
    } catch (const std::exception &e) {
        Broken("every form is read", form + e.what());
    }
    if (back != bytes) Broken("every form reads back as its bytes", form);
    return 0;
}
