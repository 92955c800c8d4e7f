// orvane.ini as the program meets it at start-up: a bad [mount] value, a
// calibration the calibration window would refuse, a folder or a FIFO in the
// file's place are told in the window's notices, and the program starts.
#include "program.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <sys/stat.h>

using namespace orvane;

namespace {

class IniAtStart : public ::testing::Test {
protected:
    IniAtStart() { EXPECT_TRUE(QFile::copy(QStringLiteral(ORVANE_DEFAULT_CFG), dir.filePath("orvane.cfg"))); }

    void writeIni(const QByteArray &text)
    {
        QFile file(ini);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(text);
    }

    // The notices of a program started on the folder.
    QStringList startedNotices()
    {
        Program program(dir.path());
        EXPECT_TRUE(program.start());
        return program.window().notices();
    }

    QTemporaryDir dir;
    const QString ini = dir.filePath("orvane.ini");
};

bool holds(const QStringList &notices, const QString &sentence)
{
    return notices.contains(sentence);
}

TEST_F(IniAtStart, BadMountValuesAndARefusedCalibrationAreToldAndTheProgramStarts)
{
    writeIni("[mount]\nswapEW=TRUE!\nguideRatePxPerSec=nan\ndecSkewDeg=\n"
             "[calibration]\nxAngleDeg=0\nxRatePxPerSec=5\nyAngleDeg=3\nyRatePxPerSec=5\n"
             "[calibration]\nwhen=2024-03-09T21:00:00Z\n");
    const QStringList notices = startedNotices();
    const QString p = ini + " line ";
    for (const QString &told :
         {p + "2: [mount] swapEW: \"TRUE!\" is neither true nor false; using false.",
          p + "3: [mount] guideRatePxPerSec: \"nan\" is not a number from 0 to 1000; using 5.",
          p + "4: [mount] decSkewDeg: \"\" is not a number from -90 to 90; using 0.",
          p + "8: [calibration] yAngleDeg: \"3\" is 87.0 degrees away from a right angle to xAngleDeg (at most 10 will "
              "guide); using no calibration (guiding uses Options).",
          p + "10: [calibration] appears a second time (first at line 5); its keys are read as if they stood in the "
              "first."})
        EXPECT_TRUE(holds(notices, told)) << told.toStdString() << "\n in\n" << notices.join(u'\n').toStdString();
}

TEST_F(IniAtStart, AFolderOrAFifoInTheFilesPlaceIsToldAtStartWithoutWaiting)
{
    ASSERT_TRUE(QDir().mkdir(ini));
    EXPECT_TRUE(holds(startedNotices(), ini + " cannot be read: it is a folder; every orvane.ini key keeps its default."));
    ASSERT_TRUE(QDir().rmdir(ini));
    ASSERT_EQ(::mkfifo(QFile::encodeName(ini).constData(), 0600), 0);
    EXPECT_TRUE(holds(startedNotices(), ini + " cannot be read: it is not a plain file; every orvane.ini key keeps its "
                                              "default."));
}

} // namespace
