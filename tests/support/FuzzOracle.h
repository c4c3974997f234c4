#pragma once

#include <cstdio>
#include <cstdlib>

namespace tarnwick::testing {

// A fuzz target's oracle besides the sanitizers: a violation aborts, so that libFuzzer keeps the
// input that caused it.
inline void Expect(bool holds, const char* what) {
    if (!holds) {
        std::fprintf(stderr, "oracle violated: %s\n", what);
        std::abort();
    }
}

}  // namespace tarnwick::testing
