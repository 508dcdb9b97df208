// Properties that every input must keep.  A broken one aborts the target,
// so the fuzzer saves the input as a finding and shows what broke.
#pragma once

#include <cstdio>
#include <cstdlib>

namespace cefuzz {

[[noreturn]] inline void checkFailed(const char* what, const char* file, int line) {
    std::fprintf(stderr, "%s:%d: property broken: %s\n", file, line, what);
    std::abort();
}

}  // namespace cefuzz

#define FUZZ_CHECK(cond) ((cond) ? (void)0 : ::cefuzz::checkFailed(#cond, __FILE__, __LINE__))
