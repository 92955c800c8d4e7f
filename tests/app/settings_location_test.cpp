#include "settings_location.h"

#include "test_support.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace orvane;
using orvane::test::readAll;
using orvane::test::writeAll;

namespace {

const QByteArray kDefault = "default settings\r\n";

class SettingsLocationTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(root.isValid());
        ASSERT_TRUE(QDir(root.path()).mkpath("bin"));
        ASSERT_TRUE(writeAll(defaultConfig, kDefault));
    }
    void TearDown() override { QFile::setPermissions(programDir, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner); }

    QTemporaryDir root;
    QString programDir = root.filePath("bin");
    QString userFolder = root.filePath("config/orvane");
    QString defaultConfig = root.filePath("default.cfg");
};

TEST_F(SettingsLocationTest, ReadOnlyProgramDirWithoutSettingsUsesAPerUserFolderSeededWithTheDefault)
{
    ASSERT_TRUE(QFile::setPermissions(programDir, QFile::ReadOwner | QFile::ExeOwner));
    const SettingsLocation where = chooseSettingsLocation(programDir, userFolder, defaultConfig);
    EXPECT_TRUE(where.perUser);
    EXPECT_EQ(where.folder, userFolder);
    EXPECT_EQ(where.problem, "");
    EXPECT_EQ(readAll(userFolder + "/orvane.cfg"), kDefault);

    // The next start keeps the user's own settings.
    ASSERT_TRUE(writeAll(userFolder + "/orvane.cfg", "changed\r\n"));
    EXPECT_EQ(chooseSettingsLocation(programDir, userFolder, defaultConfig).folder, userFolder);
    EXPECT_EQ(readAll(userFolder + "/orvane.cfg"), "changed\r\n");
}

TEST_F(SettingsLocationTest, WritableProgramDirWithSettingsKeepsThemThereUntouched)
{
    const QByteArray own = "own settings\r\n\x01\xff";
    ASSERT_TRUE(writeAll(programDir + "/orvane.cfg", own));
    const SettingsLocation where = chooseSettingsLocation(programDir, userFolder, defaultConfig);
    EXPECT_FALSE(where.perUser);
    EXPECT_EQ(where.folder, programDir);
    EXPECT_EQ(readAll(programDir + "/orvane.cfg"), own);
    EXPECT_FALSE(QFile::exists(userFolder));
}

TEST_F(SettingsLocationTest, AFolderThatCannotBeMadeOrAMissingDefaultIsNamed)
{
    ASSERT_TRUE(writeAll(root.filePath("config"), "a file where the folder should be"));
    EXPECT_NE(chooseSettingsLocation(programDir, userFolder, defaultConfig).problem.indexOf(userFolder), -1);

    const QString otherFolder = root.filePath("other");
    const SettingsLocation where = chooseSettingsLocation(programDir, otherFolder, root.filePath("missing.cfg"));
    EXPECT_NE(where.problem.indexOf("missing.cfg"), -1) << where.problem.toStdString();
    EXPECT_FALSE(QFile::exists(otherFolder + "/orvane.cfg")); // nothing half-written
}

TEST(StartFolder, AnInstalledProgramStartedFromTheMenuSavesIntoPictures)
{
    QTemporaryDir pictures;
    const QString p = pictures.path();
    struct Case {
        bool perUser;
        QString working, pictures, expected;
    } cases[] = {
        {true, "/", p, p},
        {true, "/home/u", p, p},
        {true, "/home/u/nights", p, "/home/u/nights"}, // started from a terminal there
        {false, "/", p, "/"},                          // a build folder keeps today's behaviour
        {true, "/", p + "/missing", "/"},
    };
    for (const Case &c : cases)
        EXPECT_EQ(startFolder(c.perUser, c.working, "/home/u", c.pictures), c.expected)
            << c.working.toStdString() << " " << c.perUser;
}

} // namespace
