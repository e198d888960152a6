// The regression runner of `make test`: every file under the given paths (the
// kept fault-finding inputs in fuzz/regressions, the generated seeds, a buffer
// found in several seed directories once) goes to each of the seven decoders,
// through the checks the fuzz targets apply, and so does every copy of it with
// one byte set to 0x00 or 0xFF or lowered by 2, with the realistic samples
// among the inputs (each allocation of an accepted input fails in turn). Aborts at the first broken
// invariant; prints what it covered.
#include <stdio.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "samples.h"

namespace fs = std::filesystem;
using namespace smd_fuzz;

// Hidden files and the directory's README are not inputs.
bool Input(const fs::path &p) {
    const std::string name = p.filename().string();
    return name[0] != '.' && name != "README";
}

int main(int argc, char **argv) {
    std::vector<fs::path> files;
    for (int i = 1; i < argc; ++i) {
        if (fs::is_directory(argv[i])) {
            for (const auto &e : fs::recursive_directory_iterator(argv[i])) {
                if (e.is_regular_file() && Input(e.path())) files.push_back(e.path());
            }
        } else {
            files.push_back(argv[i]);
        }
    }
    // Seed directories hold a buffer under the same name (a hash of its bytes).
    auto name = [](const fs::path &p) { return p.filename(); };
    std::sort(files.begin(), files.end(), [&](const fs::path &a, const fs::path &b) { return name(a) < name(b); });
    files.erase(std::unique(files.begin(), files.end(),
                            [&](const fs::path &a, const fs::path &b) { return name(a) == name(b); }),
                files.end());
    size_t injected = 0, corrupted = 0;
    // Each byte in turn set to 0x00, to 0xFF and lowered by 2: every slot,
    // offset, length and count of the input once pointing nowhere, past the end
    // or wrapping (the encodings among the inputs are all shorter than 1024 bytes).
    auto corrupt = [&](Bytes b, auto decode) {
        for (size_t at = 0; at < std::min<size_t>(b.size(), 1024); ++at) {
            const uint8_t kept = b[at];
            for (uint8_t v : {uint8_t{0x00}, uint8_t{0xFF}, static_cast<uint8_t>(kept - 2)}) {
                if (v == kept) continue;
                b[at] = v;
                ++corrupted;
                decode(b);
            }
            b[at] = kept;
        }
    };
    auto all = [&](const Bytes &b) {
        ForEachMessage([&]<const smd::Schema * S>() { injected += CheckDecode<S>(b.data(), b.size()); });
    };
    auto check = [&](const Bytes &b) {
        all(b);
        corrupt(b, all);
    };
    fprintf(stderr, "inputs: %zu files and the realistic samples\n", files.size());
    for (const fs::path &f : files) {
        std::ifstream in(f, std::ios::binary);
        check(Bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()});
    }
    for (const Sample &s : RealisticSamples()) check(s.encoding);
    printf("%zu inputs and %zu single-byte corruptions through 7 decoders, %zu allocation failures injected\n",
           files.size(), corrupted, injected);
    return 0;
}
