// Writes the fuzz seed corpora: OUT/<Message>/ for each decoder target. The
// seeds are the byte vectors of the tests (vectors.txt) and the encodings of
// the realistic samples. A buffer goes to every decoder that accepts it, or to
// all of them when none does, under the same name (a hash of its bytes).
// Usage: seedgen OUT VECTORS
#include <stdio.h>

#include <filesystem>
#include <fstream>

#include "samples.h"
#include "vectors.h"

namespace fs = std::filesystem;
using namespace smd_fuzz;

namespace {

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
    if (argc != 3) {
        fprintf(stderr, "usage: %s OUT VECTORS\n", argv[0]);
        return 2;
    }
    const fs::path out = argv[1];
    fs::remove_all(out);
    const std::vector<ByteVector> vectors = ReadVectors(argv[2]);
    for (const ByteVector &v : vectors) {
        const Bytes &b = v.bytes;
        bool anyAccepts = false;
        ForEachMessage([&]<const smd::Schema * S>() { anyAccepts |= Accepts<S>(b); });
        ForEachMessage([&]<const smd::Schema * S>() {
            if (!anyAccepts || Accepts<S>(b)) Write(out / MessageName(S), Name(b), b);
        });
    }
    for (const Sample &s : RealisticSamples()) Write(out / MessageName(s.schema), s.name, s.encoding);
    printf("seedgen: %zu test vectors and %zu samples into %s\n", vectors.size(), RealisticSamples().size(), argv[1]);
    return 0;
}
