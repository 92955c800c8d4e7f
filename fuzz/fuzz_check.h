#pragma once
// A broken property in a fuzz target: print what broke and abort, so that
// libFuzzer keeps the input that broke it as a crash.

#include <QString>

#include <cstdio>
#include <cstdlib>

#define FUZZ_CHECK(condition, what)                                                          \
    do {                                                                                     \
        if (!(condition)) {                                                                  \
            std::fprintf(stderr, "%s:%d: %s\n", __FILE__, __LINE__, qPrintable(QString(what))); \
            std::abort();                                                                    \
        }                                                                                    \
    } while (false)
