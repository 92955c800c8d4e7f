#pragma once
// The settings record: the user's camera, printer-port and guiding settings,
// filled from orvane.cfg at start-up and changed only by the Options dialog.

#include <QString>

#include <cstdint>

namespace orvane {

struct Settings {
    uint8_t ExposureState = 0; // port byte while a long exposure integrates
    uint8_t GetImageState = 0; // port byte that reads out an image frame
    uint8_t GetGuideState = 0; // port byte that reads out a guide frame
    int32_t ImageDelay = 0;    // ms a read-out state is held before the frame is taken
    int16_t PrinterPort = 0;   // 1 selects the first printer port, anything else the second
    int16_t CommPort = 0;      // serial port number of the telescope link (0 = simulated mount)
    QString DirUp;             // mount direction letter for a star above its mark
    QString DirDown;           // ... below its mark
    QString DirLeft;           // ... right of its mark
    QString DirRight;          // ... left of its mark
    int32_t PixPerSec = 0;     // pixels per second the star moves at guide rate
    int16_t GuideBoxSize = 0;  // pixels, side of the guide box
    int16_t IgnoreDrift = 0;   // kept and edited, read by nothing else
    uint8_t AmpOnState = 0;    // port byte that switches the amplifier on
    int32_t AmpDelay = 0;      // ms the amplifier is on before an image read-out

    // Derived from PrinterPort: the data-register address every port write goes to.
    int16_t PortAddress = 0;

    bool operator==(const Settings &) const = default;
};

constexpr int16_t kFirstPrinterPortAddress = 888;  // 0x378
constexpr int16_t kSecondPrinterPortAddress = 632; // 0x278

// 888 for printer port 1, 632 for every other number.
inline int16_t portAddressFor(int16_t printerPort)
{
    return printerPort == 1 ? kFirstPrinterPortAddress : kSecondPrinterPortAddress;
}

} // namespace orvane
