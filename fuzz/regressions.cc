// The regression runner of `make test`, and the writer of the fuzz seeds.
//   fuzz_regressions VECTORS [DIR...]
// Every byte vector of the tests (VECTORS, vectors.txt), the encoding of every
// realistic record (realistic.h, round-tripped first) and every file under the
// DIRs (the kept fault-finding inputs in fuzz/regressions) goes to each of the
// seven decoders, through the checks the fuzz targets apply (each allocation
// of an accepted input failing in turn), and so does every copy of it with one
// byte set to 0x00 or 0xFF or lowered by 2. Aborts at the first broken
// invariant; prints what it covered. Every vector also decodes to the record
// it gives, and a pack vector's record packs back to its bytes; every prefix of
// every input is decoded too.
//   fuzz_regressions --seeds OUT VECTORS
// Writes the same vectors and encodings into OUT/<Message>/, the seed corpus
// of each decoder's fuzz target.
#include <stdio.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "invariants.h"
#include "realistic.h"
#include "vectors.h"

namespace fs = std::filesystem;
using namespace smd_fuzz;

// A vector decodes to its record, and a pack vector's record packs to its bytes.
void CheckList(const ByteVector &v) {
    const std::string line = "vectors.txt line " + std::to_string(v.line);
    gWhere = line.c_str();
    const Message &m = *v.message;
    smd::Records given(m.schema.recordSize, 1);
    smd::Arena arena;
    smd::RecordReader in(v.record, arena);
    in.Record(m.schema, given.at(0));
    in.End();
    const std::string want = Describe(m.schema, given.at(0));
    Bytes rec(m.schema.recordSize);
    const auto n = static_cast<uint32_t>(v.bytes.size());
    const auto *bytes = reinterpret_cast<const uint8_t *>(v.bytes.data());
    SMD_CHECK(m.decode(Guarded(bytes, n), n, rec.data()) && Describe(m.schema, rec.data()) == want,
              "decodes to " + Describe(m.schema, rec.data()) + ", not " + want);
    SMD_CHECK(v.kind == "accept" || CheckRoundTrip(m, rec.data()) == Bytes(bytes, bytes + n), "packs to other bytes");
    m.release(rec.data());
    gWhere = "";
}

int main(int argc, char **argv) {
    const bool seeds = argc > 1 && strcmp(argv[1], "--seeds") == 0;
    if (argc < 2 || (seeds && argc != 4))
        return fprintf(stderr, "usage: %s VECTORS [DIR...] | --seeds OUT VECTORS\n", argv[0]), 2;
    std::vector<std::pair<std::string, Bytes>> inputs;
    for (const ByteVector &v : ReadVectors(argv[seeds ? 3 : 1])) {
        inputs.emplace_back("vector-" + std::to_string(v.line), Bytes(v.bytes.begin(), v.bytes.end()));
        if (!seeds) CheckList(v);
    }
    Reset();
    for (const Message &m : smd::Messages()) {
        const std::string name = std::string("realistic-") + m.name;
        gWhere = name.c_str();
        inputs.emplace_back(name, CheckRoundTrip(m, smd_realistic::Realistic(m)));
    }
    gWhere = "";
    if (seeds) {
        fs::remove_all(argv[2]);
        for (const Message &m : smd::Messages()) {
            const fs::path dir = fs::path(argv[2]) / m.name;
            fs::create_directories(dir);
            for (const auto &[name, b] : inputs) {
                std::ofstream(dir / name, std::ios::binary).write(reinterpret_cast<const char *>(b.data()), b.size());
            }
        }
        printf("fuzz seeds: %zu inputs for each decoder in %s\n", inputs.size(), argv[2]);
        return 0;
    }
    for (int i = 2; i < argc; ++i) {
        for (const auto &e : fs::recursive_directory_iterator(argv[i])) {
            const std::string name = e.path().filename().string();
            if (!e.is_regular_file() || name[0] == '.' || name == "README") continue;
            std::ifstream in(e.path(), std::ios::binary);
            inputs.emplace_back(e.path().string(), Bytes(std::istreambuf_iterator<char>(in), {}));
        }
    }
    size_t injected = 0, corrupted = 0;
    auto all = [&](const Bytes &b) {
        for (const Message &m : smd::Messages()) injected += CheckDecode(m, b.data(), b.size());
    };
    for (auto &[name, b] : inputs) {
        for (size_t cut = 0; cut <= b.size(); ++cut) all(Bytes(b.begin(), b.begin() + cut));  // every prefix, and all
        // Each byte in turn set to 0x00, to 0xFF and lowered by 2: every slot,
        // offset, length and count of the input once pointing nowhere, past the
        // end or wrapping (the encodings among the inputs are all shorter than
        // 1024 bytes).
        for (size_t at = 0; at < std::min<size_t>(b.size(), 1024); ++at) {
            const uint8_t kept = b[at];
            for (const uint8_t v : {uint8_t{0x00}, uint8_t{0xFF}, static_cast<uint8_t>(kept - 2)}) {
                if (v == kept) continue;
                b[at] = v;
                ++corrupted;
                all(b);
            }
            b[at] = kept;
        }
    }
    printf(
        "%zu inputs, their prefixes and %zu single-byte corruptions through %zu decoders, %zu allocation "
        "failures injected\n",
        inputs.size(), corrupted, smd::Messages().size(), injected);
    return 0;
}
