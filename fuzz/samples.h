// The encodings of the realistic records (realistic.h), in this process's byte
// order: they seed the fuzz corpora and carry the regression runner's
// allocation-failure sweep.
#ifndef SSH_MSG_DEF_FUZZ_SAMPLES_H
#define SSH_MSG_DEF_FUZZ_SAMPLES_H

#include "invariants.h"

namespace smd_fuzz {

struct Sample {
    const smd::Schema *schema;
    const char *name;
    Bytes encoding;
};

std::vector<Sample> RealisticSamples();

}  // namespace smd_fuzz

#endif
