#include "capture_device.h"
#include "device_dialog.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QDir>
#include <QPointer>
#include <QPushButton>

#include <gtest/gtest.h>

using namespace orvane;

namespace {

// A capture device that either connects or refuses with a sentence.
class FakeSource : public CaptureSource {
public:
    FakeSource(QString name, bool refuses) : name_(std::move(name)), refuses_(refuses) {}
    QString name() const override { return name_; }
    Result connect() override
    {
        ++connects;
        if (refuses_)
            return Result::failure(QStringLiteral("%1 is busy in another program.").arg(name_));
        connected = true;
        return Result::success();
    }
    void disconnect() override { connected = false; }
    void setSequencing(bool) override {}
    std::optional<QImage> copyFrame() override { return std::nullopt; }

    int connects = 0;
    bool connected = false;

private:
    QString name_;
    bool refuses_;
};

class DeviceDialogTest : public ::testing::Test {
protected:
    // Devices "Cam A", "Cam B" (refuses), "Sim camera"; device 0 in use.
    void SetUp() override
    {
        for (auto [name, refuses] : {std::pair{"Cam A", false}, {"Cam B", true}, {"Sim camera", false}}) {
            auto source = std::make_unique<FakeSource>(QString::fromLatin1(name), refuses);
            sources.push_back(source.get());
            camera.addSource(std::move(source));
        }
        ASSERT_TRUE(camera.setCurrentDevice(0));
        open();
    }
    void TearDown() override { delete dialog.data(); }

    void open()
    {
        dialog = new DeviceDialog(camera, &told);
        dialog->fillDeviceList();
        dialog->show();
    }
    QStringList entries() const
    {
        QStringList out;
        for (int i = 0; i < dialog->cbDriver->count(); ++i)
            out.append(dialog->cbDriver->itemText(i));
        return out;
    }
    static void runDeferredDeletes() { QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete); }

    CaptureDevices camera;
    std::vector<FakeSource *> sources;
    QPointer<DeviceDialog> dialog;
    NoticeList told;
};

TEST_F(DeviceDialogTest, ListsTheDevicesInOrderWithTheOneInUseSelected)
{
    EXPECT_EQ(dialog->objectName(), "Form1");
    EXPECT_EQ(dialog->windowTitle(), "Select Device");
    EXPECT_EQ(dialog->cbDriver->objectName(), "cbDriver");
    EXPECT_EQ(dialog->Command1->text(), "OK");
    EXPECT_EQ(entries(), QStringList({"Cam A", "Cam B", "Sim camera"}));
    EXPECT_EQ(dialog->cbDriver->currentIndex(), 0);

    ASSERT_TRUE(camera.setCurrentDevice(2));
    EXPECT_TRUE(dialog->fillDeviceList());
    EXPECT_EQ(entries(), QStringList({"Cam A", "Cam B", "Sim camera"})) << "filling again does not add entries";
    EXPECT_EQ(dialog->cbDriver->currentIndex(), 2);
}

TEST_F(DeviceDialogTest, WithoutDevicesTheListHoldsNoneAndTheFillSaysSo)
{
    CaptureDevices empty;
    NoticeList alone;
    DeviceDialog lonely(empty, &alone);
    EXPECT_FALSE(lonely.fillDeviceList());
    ASSERT_EQ(lonely.cbDriver->count(), 1);
    EXPECT_EQ(lonely.cbDriver->itemText(0), "<none>");
    EXPECT_EQ(lonely.cbDriver->currentIndex(), 0);

    lonely.Command1Click();
    EXPECT_EQ(empty.currentDevice(), -1);
    EXPECT_EQ(lonely.cbDriver->currentText(), "<none>");
    ASSERT_EQ(alone.notices.size(), 1);
    EXPECT_TRUE(alone.notices[0].contains("no video capture device")) << alone.notices[0].toStdString();
}

TEST_F(DeviceDialogTest, OkSwitchesToTheSelectedDeviceAndCloses)
{
    dialog->cbDriver->setCurrentIndex(2);
    dialog->Command1->click();
    EXPECT_EQ(camera.currentDevice(), 2);
    EXPECT_TRUE(sources[2]->connected);
    EXPECT_FALSE(sources[0]->connected);
    EXPECT_TRUE(told.notices.isEmpty());
    runDeferredDeletes();
    EXPECT_TRUE(dialog.isNull());

    // The next window shows the same entries with the new device selected.
    open();
    EXPECT_EQ(entries(), QStringList({"Cam A", "Cam B", "Sim camera"}));
    EXPECT_EQ(dialog->cbDriver->currentIndex(), 2);
}

TEST_F(DeviceDialogTest, TheDeviceInUseChosenAgainIsSetAgain)
{
    dialog->Command1Click();
    EXPECT_EQ(camera.currentDevice(), 0);
    EXPECT_EQ(sources[0]->connects, 2);
    EXPECT_TRUE(told.notices.isEmpty());
}

TEST_F(DeviceDialogTest, ARefusedDeviceRestoresThePreviousOneAndTellsWhy)
{
    dialog->cbDriver->setCurrentIndex(1);
    dialog->Command1Click();
    EXPECT_EQ(camera.currentDevice(), 0);
    EXPECT_TRUE(sources[0]->connected);
    EXPECT_EQ(dialog->cbDriver->currentIndex(), 0);
    ASSERT_EQ(told.notices.size(), 1);
    EXPECT_TRUE(told.notices[0].contains("\"Cam B\"")) << told.notices[0].toStdString();
    EXPECT_TRUE(told.notices[0].contains("busy in another program")) << told.notices[0].toStdString();
    EXPECT_TRUE(told.notices[0].contains("Still using \"Cam A\"")) << told.notices[0].toStdString();
    EXPECT_FALSE(dialog->isVisible()) << "OK closes whether the device was taken or not";
}

TEST_F(DeviceDialogTest, NothingSelectedIsRefusedLikeAnyOtherIndex)
{
    dialog->cbDriver->setCurrentIndex(-1);
    dialog->Command1Click();
    EXPECT_EQ(camera.currentDevice(), 0);
    EXPECT_EQ(dialog->cbDriver->currentIndex(), 0);
    ASSERT_EQ(told.notices.size(), 1);
    EXPECT_TRUE(told.notices[0].contains("No capture device was selected")) << told.notices[0].toStdString();
}

TEST_F(DeviceDialogTest, ARefusalWithNoPreviousDeviceLeavesNoneInUse)
{
    CaptureDevices fresh;
    fresh.addSource(std::make_unique<FakeSource>("Only", true));
    NoticeList refusal;
    DeviceDialog window(fresh, &refusal);
    EXPECT_TRUE(window.fillDeviceList());
    EXPECT_EQ(window.cbDriver->currentIndex(), -1);
    window.cbDriver->setCurrentIndex(0);
    window.Command1Click();
    EXPECT_EQ(fresh.currentDevice(), -1);
    EXPECT_EQ(window.cbDriver->currentIndex(), -1);
    ASSERT_EQ(refusal.notices.size(), 1);
    EXPECT_TRUE(refusal.notices[0].contains("\"Only\"")) << refusal.notices[0].toStdString();
}

} // namespace
