#include "calibration_record.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace orvane;

namespace {

QByteArray readAll(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void writeAll(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

} // namespace

TEST(CalibrationRecord, WrittenKeysReadBackAndTheUsersOtherLinesStay)
{
    QTemporaryDir dir;
    const QString ini = dir.filePath(QStringLiteral("orvane.ini"));
    writeAll(ini, "; my rig\n[mount]\nguideRatePxPerSec=4\n");
    const CalibrationRecord record{33.5, 4.25, 123.5, 8.5, QStringLiteral("2026-12-09T01:02:03Z")};
    ASSERT_TRUE(writeCalibration(ini, record).ok());
    EXPECT_TRUE(readAll(ini).startsWith("; my rig\n[mount]\nguideRatePxPerSec=4\n"));
    EXPECT_EQ(readCalibration(ini), record);
}

TEST(CalibrationRecord, AMissingOrUnusableKeyMeansNoCalibration)
{
    QTemporaryDir dir;
    const QString ini = dir.filePath(QStringLiteral("orvane.ini"));
    EXPECT_FALSE(readCalibration(ini)); // no file
    const QByteArray complete = "[calibration]\nxAngleDeg=0\nxRatePxPerSec=5\nyAngleDeg=90\n";
    for (const QByteArray &last : {QByteArray(""), QByteArray("yRatePxPerSec=0\n"), QByteArray("yRatePxPerSec=fast\n"),
                                   QByteArray("yRatePxPerSec=nan\n")}) {
        writeAll(ini, complete + last);
        EXPECT_FALSE(readCalibration(ini)) << last.constData();
    }
    writeAll(ini, complete + "yRatePxPerSec=5\n");
    EXPECT_TRUE(readCalibration(ini));
}

TEST(CalibrationRecord, OrthogonalityErrorIgnoresWhichWayTheAxesTurn)
{
    struct Case {
        double x, y, error;
    };
    for (const Case c : {Case{0, 90, 0}, Case{0, -90, 0}, Case{33, 123, 0}, Case{350, 80, 0}, Case{0, 80, 10},
                         Case{10, 200, 80}, Case{0, 0, 90}})
        EXPECT_NEAR(CalibrationRecord({c.x, 1, c.y, 1, {}}).orthogonalityErrorDeg(), c.error, 1e-9) << c.x << " " << c.y;
}
