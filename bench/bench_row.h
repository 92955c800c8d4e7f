#pragma once
// One row of the table bench/run prints: "ROW|figure|measured|baseline|goal".
// Each benchmark prints its own report and, for bench/run, these rows.

#include <cstdarg>
#include <cstdio>
#include <string>

namespace orvane::bench {

inline std::string format(const char *fmt, ...)
{
    char buffer[256];
    va_list args;
    va_start(args, fmt);
    std::vsnprintf(buffer, sizeof buffer, fmt, args);
    va_end(args);
    return buffer;
}

inline void tableRow(const std::string &figure, const std::string &measured, const std::string &baseline,
                     const std::string &goal)
{
    std::printf("ROW|%s|%s|%s|%s\n", figure.c_str(), measured.c_str(), baseline.c_str(), goal.c_str());
}

} // namespace orvane::bench
