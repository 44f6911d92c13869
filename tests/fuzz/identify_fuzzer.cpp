#include "fuzz/fuzz_main.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    return quill::fuzz::runFuzzInput(quill::fuzz::fuzzIdentify, data, size);
}
