// What a fuzz target asserts about its input's outcome: a broken property aborts, which libFuzzer
// and the corpus runner both report as a failure together with the input that caused it.
#pragma once

#include <cstdlib>

inline void Check(bool condition)
{
    if (!condition)
        std::abort();
}
