#pragma once
// A broken property in a fuzz target: print what broke and abort, so that
// libFuzzer keeps the input that broke it as a crash.

#include <QString>

#include <clocale>
#include <cstdio>
#include <cstdlib>

#define FUZZ_CHECK(condition, what)                                                          \
    do {                                                                                     \
        if (!(condition)) {                                                                  \
            std::fprintf(stderr, "%s:%d: %s\n", __FILE__, __LINE__, qPrintable(QString(what))); \
            std::abort();                                                                    \
        }                                                                                    \
    } while (false)

// The C library's locale as the program has it (Qt takes it from the
// environment), preferring one with a decimal comma where the machine has one:
// reading numbers must not depend on it.
inline void useCommaLocaleWherePossible(const char *target)
{
    std::setlocale(LC_ALL, "");
    for (const char *name : {"de_DE.UTF-8", "de_DE.utf8", "fr_FR.UTF-8", "fr_FR.utf8"})
        if (std::setlocale(LC_NUMERIC, name))
            break;
    std::fprintf(stderr, "%s: decimal point of the C library's locale: \"%s\"\n", target,
                 std::localeconv()->decimal_point);
}
