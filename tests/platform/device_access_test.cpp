#include "device_access.h"

#include "test_support.h"

#include <QDir>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace orvane;

namespace {

const DeviceNode kSerialOk{"/dev/ttyS0", "dialout", true};
const DeviceNode kSerialRefused{"/dev/ttyUSB0", "dialout", false};
const DeviceNode kParportOk{"/dev/parport0", "lp", true};
const DeviceNode kParportRefused{"/dev/parport0", "lp", false};

TEST(DeviceAccess, EachProblemIsToldOnceWithTheCommandThatFixesIt)
{
    struct Case {
        const char *name;
        DeviceFacts facts;
        QStringList expected; // a part of each sentence, in order
    } cases[] = {
        {"all open", {{kSerialOk}, {kParportOk}, true}, {}},
        {"no devices at all", {{}, {}, false}, {}},
        {"serial refused", {{kSerialOk, kSerialRefused, {"/dev/ttyUSB1", "dialout", false}}, {kParportOk}, true},
         {"/dev/ttyUSB0, /dev/ttyUSB1): it is not in the group dialout. Run \"sudo usermod -aG dialout $USER\""}},
        {"printer port refused", {{kSerialOk}, {kParportRefused}, true}, {"Run \"sudo usermod -aG lp $USER\""}},
        {"ppdev not loaded", {{kSerialOk}, {}, true}, {"run \"sudo modprobe ppdev\""}},
        {"both groups missing", {{kSerialRefused}, {kParportRefused}, true}, {"group dialout", "group lp"}},
        {"root-owned node names the usual group", {{{"/dev/ttyS1", "root", false}}, {}, false}, {"group dialout"}},
    };
    for (const Case &c : cases) {
        const QStringList advice = deviceAccessAdvice(c.facts);
        ASSERT_EQ(advice.size(), c.expected.size()) << c.name << ": " << advice.join(" | ").toStdString();
        for (int i = 0; i < advice.size(); ++i)
            EXPECT_TRUE(advice[i].contains(c.expected[i])) << c.name << ": " << advice[i].toStdString();
        for (const QString &sentence : advice)
            EXPECT_FALSE(sentence.contains("sudo orvane")) << c.name; // never run the program as root
    }
}

TEST(DeviceAccess, GatheringFindsTheNodesAndAPortWithoutPpdev)
{
    QTemporaryDir dev, proc;
    for (const char *name : {"ttyS0", "ttyUSB3", "parport0", "video0"})
        ASSERT_TRUE(test::writeAll(dev.filePath(name), ""));
    ASSERT_TRUE(QDir(proc.path()).mkpath("parport0"));
    const DeviceFacts facts = gatherDeviceFacts(dev.path(), proc.path());
    QStringList serial;
    for (const DeviceNode &node : facts.serial)
        serial << QFileInfo(node.path).fileName();
    EXPECT_EQ(serial, (QStringList{"ttyS0", "ttyUSB3"}));
    EXPECT_EQ(facts.parports.size(), 1);
    EXPECT_TRUE(facts.parportHardware);
    EXPECT_FALSE(gatherDeviceFacts(dev.path(), dev.filePath("missing")).parportHardware);
}

} // namespace
