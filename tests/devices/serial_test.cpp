// The QSerialPort adapter and MountLink on a pseudo-terminal: exact bytes on the
// wire, replies, a silent line, a vanished far end, and devices that will not open.

#include "pty_pair.h"
#include "serial_devices.h"
#include "serial_link.h"
#include "serial_qt.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace orvane::test {
namespace {

class SerialPtyTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!pty.ok())
            GTEST_SKIP() << "no pseudo-terminals on this machine";
        ASSERT_TRUE(dir.isValid());
        ASSERT_TRUE(setSerialDeviceFor(kPort, pty.slavePath(), iniPath));
        comm.setCommPort(kPort);
        comm.onLinkLost = [this](const QString &sentence) { losses.append(sentence); };
    }

    static constexpr int16_t kPort = 3;
    PtyPair pty;
    QTemporaryDir dir;
    QString iniPath = dir.filePath(QStringLiteral("orvane.ini"));
    QtSerialOpener opener{iniPath};
    MountLink comm{opener};
    QStringList losses;
};

TEST_F(SerialPtyTest, CommandsGoOutAsTheirExactBytesOneTextAfterAnother)
{
    ASSERT_TRUE(comm.setPortOpen(true).ok());
    EXPECT_TRUE(comm.PortOpen());
    comm.Output(QByteArray(1, '\x06'));
    EXPECT_EQ(pty.readMaster(), QByteArray(1, '\x06'));
    comm.Output(":Qn#:Qs#:Qe#:Qw#");
    EXPECT_EQ(pty.readMaster(), QByteArray(":Qn#:Qs#:Qe#:Qw#"));
    comm.Output(":RG#:Me#");
    EXPECT_EQ(pty.readMaster(), QByteArray(":RG#:Me#"));
    // Every byte value passes untranslated (no CR/LF mapping, no parity stripping).
    QByteArray all;
    for (int b = 0; b < 256; ++b)
        all.append(char(b));
    comm.Output(all);
    EXPECT_EQ(pty.readMaster(), all);
    EXPECT_TRUE(losses.isEmpty());
}

TEST_F(SerialPtyTest, InputReturnsWhatArrivedWithoutAnEventLoop)
{
    ASSERT_TRUE(comm.setPortOpen(true).ok());
    EXPECT_TRUE(comm.Input().isEmpty()); // a silent line reads as empty at once
    ASSERT_TRUE(pty.writeMaster("P"));
    EXPECT_EQ(comm.Input(), QByteArray("P"));
    EXPECT_TRUE(comm.Input().isEmpty()); // read once, gone
    ASSERT_TRUE(pty.writeMaster("abc"));
    ASSERT_TRUE(pty.writeMaster("def"));
    EXPECT_EQ(comm.Input(), QByteArray("abcdef"));
}

TEST_F(SerialPtyTest, ClosingAndReopeningKeepsTheLineUsable)
{
    ASSERT_TRUE(comm.setPortOpen(true).ok());
    ASSERT_TRUE(comm.setPortOpen(true).ok()); // opening an open port is fine
    ASSERT_TRUE(comm.setPortOpen(false).ok());
    EXPECT_FALSE(comm.PortOpen());
    EXPECT_TRUE(comm.Input().isEmpty());
    ASSERT_TRUE(comm.setPortOpen(true).ok());
    comm.Output(":Q#");
    EXPECT_EQ(pty.readMaster(), QByteArray(":Q#"));
}

TEST_F(SerialPtyTest, FarEndGoneMidRunDropsSendsAndReportsOnce)
{
    ASSERT_TRUE(comm.setPortOpen(true).ok());
    comm.Output(":Qn#:Qs#:Qe#:Qw#");
    pty.closeMaster();
    for (int i = 0; i < 5; ++i)
        comm.Output(":RG#:Mn#");
    EXPECT_TRUE(comm.Input().isEmpty());
    ASSERT_EQ(losses.size(), 1);
    EXPECT_TRUE(losses.first().startsWith(QStringLiteral("The telescope link on %1 was lost: ").arg(pty.slavePath())))
        << losses.first().toStdString();

    // Closing the lost link is fine, and the next opening may report again.
    EXPECT_TRUE(comm.setPortOpen(false).ok());
}

TEST_F(SerialPtyTest, SendsWhileClosedAreDroppedAndReportedOnce)
{
    comm.Output(QByteArray(1, '\x06'));
    comm.Output(":RG#:Mn#");
    EXPECT_TRUE(pty.readMaster().isEmpty());
    ASSERT_EQ(losses.size(), 1);
    EXPECT_EQ(losses.first(), QStringLiteral("The telescope link to %1 is closed (it opens when a sequence starts with "
                                             "guiding ticked); the command <06> was not sent.")
                                  .arg(pty.slavePath()));
}

TEST_F(SerialPtyTest, EachOpeningAndEachClosedSpellReportsItsOwnLoss)
{
    ASSERT_TRUE(comm.setPortOpen(true).ok());
    pty.closeMaster();
    comm.Output(":Q#");
    comm.Output(":Q#");
    ASSERT_TRUE(comm.setPortOpen(false).ok());
    comm.Output(":Q#");
    comm.Output(":Q#");
    ASSERT_EQ(losses.size(), 2);
    EXPECT_TRUE(losses[0].contains(QStringLiteral("was lost")));
    EXPECT_TRUE(losses[1].contains(QStringLiteral("is closed")));
}

TEST_F(SerialPtyTest, BusyDeviceIsRefusedWithASentence)
{
    ASSERT_TRUE(comm.setPortOpen(true).ok());
    SerialOpening second = QtSerialConnection::open(pty.slavePath());
    if (second)
        GTEST_SKIP() << "this system lets a serial device be opened twice";
    const QString error = second.error();
    EXPECT_TRUE(error.contains(pty.slavePath())) << error.toStdString();
    EXPECT_TRUE(error.contains(QStringLiteral("busy"))) << error.toStdString();
}

TEST(SerialOpenErrors, MissingDeviceNamesTheDeviceAndTheCause)
{
    QTemporaryDir dir;
    const QString ini = dir.filePath(QStringLiteral("orvane.ini"));
    const QString missing = dir.filePath(QStringLiteral("ttyUSB9"));
    ASSERT_TRUE(setSerialDeviceFor(2, missing, ini));
    QtSerialOpener opener(ini);
    MountLink comm(opener);
    comm.setCommPort(2);
    const Result opened = comm.setPortOpen(true);
    ASSERT_FALSE(opened.ok());
    EXPECT_EQ(opened.error(), QStringLiteral("Cannot open %1: there is no such device — is the adapter plugged in and "
                                             "the comm port number right?")
                                  .arg(missing));
    EXPECT_FALSE(comm.PortOpen());
}

TEST(SerialOpenErrors, NonSerialFileIsRefused)
{
    QTemporaryDir dir;
    const QString plain = dir.filePath(QStringLiteral("notaport"));
    QFile f(plain);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.close();
    const SerialOpening opened = QtSerialConnection::open(plain);
    EXPECT_TRUE(opened.error().startsWith(QStringLiteral("Cannot open ") + plain)) << opened.error().toStdString();
}

TEST(SerialOpenErrors, SentencesForEachCause)
{
    const QString dev = QStringLiteral("/dev/ttyUSB0");
    EXPECT_EQ(serialOpenErrorSentence(dev, true, true, QSerialPort::PermissionError, {}),
              QStringLiteral("Permission denied opening /dev/ttyUSB0 — is your user in the dialout group?"));
    EXPECT_EQ(serialOpenErrorSentence(dev, true, false, QSerialPort::PermissionError, {}),
              QStringLiteral("Cannot open /dev/ttyUSB0: the device is busy — another program is using it."));
    EXPECT_TRUE(serialOpenErrorSentence(dev, false, false, QSerialPort::OpenError, {}).contains("no such device"));
    EXPECT_EQ(serialOpenErrorSentence(dev, true, false, QSerialPort::UnsupportedOperationError, "Unsupported operation"),
              QStringLiteral("Cannot open /dev/ttyUSB0: Unsupported operation."));
}

TEST(SerialOpenErrors, CommPortZeroIsNotARealDevice)
{
    QtSerialOpener opener(QString{});
    EXPECT_TRUE(opener.open(0).error().contains(QStringLiteral("Comm port 0")));
}

// A link that learns of its far end going away between sends tells it at
// once, and the failed send that follows is not told again.
TEST(SerialLinkLoss, ALossBetweenSendsIsToldOnceAsItHappens)
{
    struct Link : SerialConnection {
        std::function<void(const QString &)> tell;
        Result write(const QByteArray &) override { return Result::failure(QStringLiteral("The far end is gone.")); }
        QByteArray readAll() override { return {}; }
        void close() override {}
        void watchForLoss(std::function<void(const QString &)> t) override { tell = std::move(t); }
    };
    struct Opener : SerialOpener {
        Link *made = nullptr;
        SerialOpening open(int16_t) override
        {
            auto link = std::make_unique<Link>();
            made = link.get();
            return std::unique_ptr<SerialConnection>(std::move(link));
        }
        QString describe(int16_t) const override { return QStringLiteral("a test link"); }
    } opener;
    MountLink comm(opener);
    QStringList told;
    comm.onLinkLost = [&](const QString &sentence) { told << sentence; };
    ASSERT_TRUE(comm.setPortOpen(true).ok());
    ASSERT_TRUE(opener.made && opener.made->tell);
    opener.made->tell(QStringLiteral("The server closed the connection."));
    comm.Output(":Qn#");
    EXPECT_EQ(told, QStringList{QStringLiteral("The server closed the connection.")});
}

} // namespace
} // namespace orvane::test
