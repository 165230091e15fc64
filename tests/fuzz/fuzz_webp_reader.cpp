// WEBP files through the added formats' decoders (seeds in corpus/webp_reader).
#include "fuzz_added_format.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) { return fuzzAddedFormat(data, size); }
