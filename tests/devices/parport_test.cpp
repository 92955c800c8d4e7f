// The printer port: which listed port an address selects, and the port layer
// that falls back to the simulated port when the real one cannot be used.
// No test here reaches a real I/O port: real drivers are replaced by fakes.

#include "parport_ieee1284.h"

#include <gtest/gtest.h>

namespace orvane::test {
namespace {

TEST(ChooseParport, TakesThePortAtTheAddressElseTheFirstOrSecond)
{
    const std::vector<ParportCandidate> legacy{{"parport0", 0x278}, {"parport1", 0x378}, {"parport2", 0x3bc}};
    EXPECT_EQ(chooseParport(legacy, 0x378), 1u);
    EXPECT_EQ(chooseParport(legacy, 0x278), 0u);

    const std::vector<ParportCandidate> pci{{"parport0", 0xd010}, {"parport1", 0xd030}};
    EXPECT_EQ(chooseParport(pci, 0x378), 0u); // no port at 0x378: the first
    EXPECT_EQ(chooseParport(pci, 0x278), 1u); // no port at 0x278: the second

    const std::vector<ParportCandidate> one{{"parport0", 0xe800}};
    EXPECT_EQ(chooseParport(one, 0x378), 0u);
    EXPECT_EQ(chooseParport(one, 0x278), std::nullopt); // there is no second port

    EXPECT_EQ(chooseParport({}, 0x378), std::nullopt);
    const std::vector<ParportCandidate> unknownBase{{"parport0", 0}, {"parport1", 0}};
    EXPECT_EQ(chooseParport(unknownBase, 0x278), 1u);
}

// A real-port stand-in: records what it is asked, fails where told to.
struct FakePortLog {
    std::vector<uint16_t> opens;
    std::vector<uint8_t> written;
    int closes = 0;
    QString openError;
    int failWritesAfter = -1; // -1: never
};

class FakePort : public PortDriver {
public:
    explicit FakePort(FakePortLog &log) : log_(log) {}
    Result open(uint16_t address) override
    {
        log_.opens.push_back(address);
        return log_.openError.isEmpty() ? Result::success() : Result::failure(log_.openError);
    }
    Result writeData(uint8_t value) override
    {
        if (log_.failWritesAfter >= 0 && int(log_.written.size()) >= log_.failWritesAfter)
            return Result::failure(QStringLiteral("The printer port /dev/parport0 went away."));
        log_.written.push_back(value);
        return Result::success();
    }
    void close() override { ++log_.closes; }

private:
    FakePortLog &log_;
};

class PortLayer : public ::testing::Test {
protected:
    PortDriverFactory factory()
    {
        return [this] { return std::make_unique<FakePort>(log); };
    }
    // Writes the bytes and returns what the layer printed on stderr meanwhile.
    std::string writeAll(CameraLines &io, const std::vector<uint8_t> &bytes, uint16_t address = 888)
    {
        ::testing::internal::CaptureStderr();
        for (uint8_t b : bytes)
            (void)io.SetPortVal(address, b, 1);
        return ::testing::internal::GetCapturedStderr();
    }

    SimClock clock{500};
    FakePortLog log;
};

TEST_F(PortLayer, ARealPortGetsEveryByteAndTheRecordKeepsThem)
{
    CameraLines io(clock, factory());
    ASSERT_TRUE(io.InitializeWinIo());
    EXPECT_EQ(writeAll(io, {2, 3, 0xFF}), "");
    EXPECT_EQ(log.opens, std::vector<uint16_t>{888});
    EXPECT_EQ(log.written, (std::vector<uint8_t>{2, 3, 0xFF}));
    EXPECT_EQ(io.writes().size(), 3u);
    EXPECT_TRUE(io.realPortNote().isEmpty());
}

TEST_F(PortLayer, OnlyTheLowByteOfAValueIsWritten)
{
    CameraLines io(clock, factory());
    ASSERT_TRUE(io.InitializeWinIo());
    EXPECT_TRUE(io.SetPortVal(632, 0x1234, 1));
    EXPECT_EQ(log.written, std::vector<uint8_t>{0x34});
    EXPECT_EQ(io.value(), 0x34);
    EXPECT_EQ(io.writes().back().address, 632);
}

TEST_F(PortLayer, NoPermissionFallsBackWithOneLineAndTheWritesGoOn)
{
    log.openError = QStringLiteral("Permission denied opening /dev/parport0 — is your user in the lp group?");
    CameraLines io(clock, factory());
    std::vector<uint8_t> seen;
    io.addListener([&](const PortWrite &w) { seen.push_back(w.value); });
    int changes = 0;
    io.onRealPortChanged = [&] { ++changes; };
    ASSERT_TRUE(io.InitializeWinIo());
    // The window tells the cause once; the layer itself prints nothing.
    EXPECT_EQ(writeAll(io, {2, 3, 0, 3, 1}), "");
    EXPECT_EQ(changes, 1);
    EXPECT_EQ(log.opens.size(), 1u); // not retried on every write
    EXPECT_EQ(seen, (std::vector<uint8_t>{2, 3, 0, 3, 1}));
    EXPECT_EQ(io.writes().size(), 5u);
    EXPECT_EQ(io.realPortNote(), log.openError);
    // Another address (the Options changed the printer port) does not try again.
    EXPECT_EQ(writeAll(io, {3}, 632), "");
    EXPECT_EQ(changes, 1);
}

TEST_F(PortLayer, NoPortDriverFallsBackAsWell)
{
    CameraLines io(clock, [] { return std::unique_ptr<PortDriver>(); });
    ASSERT_TRUE(io.InitializeWinIo());
    EXPECT_EQ(writeAll(io, {2, 3}), "");
    EXPECT_EQ(io.writes().size(), 2u);
    EXPECT_FALSE(io.realPortNote().isEmpty());
}

TEST_F(PortLayer, AFailedWriteIsReportedOnceAndTheSimulatedPortCarriesOn)
{
    log.failWritesAfter = 2;
    CameraLines io(clock, factory());
    int changes = 0;
    io.onRealPortChanged = [&] { ++changes; };
    ASSERT_TRUE(io.InitializeWinIo());
    EXPECT_TRUE(io.SetPortVal(888, 2, 1));
    EXPECT_TRUE(io.SetPortVal(888, 3, 1));
    EXPECT_FALSE(io.SetPortVal(888, 0, 1)); // this byte did not reach the camera
    EXPECT_TRUE(io.SetPortVal(888, 3, 1));
    EXPECT_EQ(changes, 2); // opened, then lost
    EXPECT_TRUE(io.realPortNote().contains("went away")) << io.realPortNote().toStdString();
    EXPECT_EQ(log.written, (std::vector<uint8_t>{2, 3}));
    EXPECT_EQ(log.closes, 1);
    EXPECT_EQ(io.writes().size(), 4u);
    EXPECT_EQ(io.value(), 3);
}

TEST_F(PortLayer, AChangedAddressReopensTheRealPortAndARestartRetries)
{
    CameraLines io(clock, factory());
    ASSERT_TRUE(io.InitializeWinIo());
    EXPECT_EQ(writeAll(io, {2}, 888), "");
    EXPECT_EQ(writeAll(io, {3}, 632), "");
    EXPECT_EQ(log.opens, (std::vector<uint16_t>{888, 632}));
    EXPECT_EQ(log.closes, 1);

    log.openError = QStringLiteral("No printer port for address 0x378 on this computer.");
    writeAll(io, {2}, 888);
    EXPECT_EQ(io.realPortNote(), log.openError);
    ASSERT_TRUE(io.ShutdownWinIo());
    ASSERT_TRUE(io.InitializeWinIo());
    log.openError.clear();
    EXPECT_EQ(writeAll(io, {2}, 888), "");
    EXPECT_TRUE(io.realPortNote().isEmpty());
    EXPECT_EQ(log.written.back(), 2);
}

TEST_F(PortLayer, ARetryOpensTheRealPortOnceItWorks)
{
    log.openError = QStringLiteral("No printer port for address 0x378 on this computer.");
    CameraLines io(clock, factory());
    ASSERT_TRUE(io.InitializeWinIo());
    writeAll(io, {2, 3});
    EXPECT_FALSE(io.realPortInUse());
    EXPECT_FALSE(io.retryRealPort(888));
    EXPECT_EQ(io.realPortNote(), log.openError);
    log.openError.clear();
    EXPECT_TRUE(io.retryRealPort(888));
    EXPECT_EQ(writeAll(io, {3}), "");
    EXPECT_EQ(log.opens.size(), 3u); // the first write and the two retries
    EXPECT_EQ(log.written, std::vector<uint8_t>{3});
    EXPECT_TRUE(io.realPortNote().isEmpty());
}

TEST_F(PortLayer, WithoutAFactoryTheLayerIsTheRecordingPortAlone)
{
    CameraLines io(clock);
    ASSERT_TRUE(io.InitializeWinIo());
    EXPECT_EQ(writeAll(io, {2, 3}), "");
    ASSERT_EQ(io.writes().size(), 2u);
    EXPECT_EQ(io.writes()[0].atMs, 500u);
    EXPECT_TRUE(io.realPortNote().isEmpty());
}

} // namespace
} // namespace orvane::test
