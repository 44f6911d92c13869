// What every libFuzzer target does with one input: runs its entry point of
// fuzz_entries.h and turns a broken invariant into a crash libFuzzer records.
#pragma once

#include "fuzz/fuzz_entries.h"

#include <cstdio>
#include <cstdlib>

namespace quill::fuzz {

inline int runFuzzInput(std::string (*entry)(std::string_view), const uint8_t* data, size_t size)
{
    const std::string problem = entry({reinterpret_cast<const char*>(data), size});
    if (!problem.empty()) {
        std::fprintf(stderr, "fuzz invariant broken: %s\n", problem.c_str());
        std::abort();
    }
    return 0;
}

}  // namespace quill::fuzz
