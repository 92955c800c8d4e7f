#pragma once
// The documented example orvane.cfg, every line ended by CR LF, shared by the settings tests.

#include "config_file.h"

#include <QByteArray>

namespace orvane::test {

inline QByteArray exampleFile()
{
    const char *lines[] = {"Orvane Config file", " ", "Date", "06-15-1994", " ",
                           "Exposure", " 3 ", " ", "GetImage", " 0 ", " ", "Get Guide", " 2 ", " ",
                           "Delay", " 250 ", " ", "Printer Port 1 or 2", " 1 ", " ",
                           "Telescope Comm Port", " 2 ", " ", "up", "n", " ", "Down", "s", " ",
                           "Left", "e", " ", "Right", "w", " ", "Pixpersec", " 5 ", " ",
                           "Guide Box", " 40 ", " ", "Ignore drift", "-1 ", " ", "amp on", " 1 ", " ",
                           "amp delay", " 500 "};
    QByteArray out;
    for (const char *line : lines)
        out += QByteArray(line) + "\r\n";
    return out;
}

// The example as LoadConfig gives it: printer port 1 at 888.
inline Settings exampleSettings()
{
    Settings s = parseConfig(exampleFile(), QStringLiteral("orvane.cfg"));
    s.PortAddress = portAddressFor(s.PrinterPort);
    return s;
}

} // namespace orvane::test
