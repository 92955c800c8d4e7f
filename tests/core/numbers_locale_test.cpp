// Number reading under a user locale whose decimal point is a comma: Qt sets
// the C library's locale from the environment at start-up, and the entry fields
// and the settings file must still read "2.5" as two and a half.

#include "numbers.h"

#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <clocale>
#include <cstring>
#include <memory>
#include <string>

using namespace orvane;

namespace {

class CommaLocale : public ::testing::Test {
protected:
    void SetUp() override
    {
        saved_ = std::setlocale(LC_NUMERIC, nullptr);
        savedLocPath_ = qgetenv("LOCPATH");
        hadLocPath_ = qEnvironmentVariableIsSet("LOCPATH");
        if (!selectCommaLocale() && !buildCommaLocale())
            GTEST_SKIP() << "no locale with a decimal comma here, and none can be built";
        ASSERT_STREQ(std::localeconv()->decimal_point, ",");
    }

    void TearDown() override
    {
        std::setlocale(LC_NUMERIC, saved_.c_str());
        if (hadLocPath_)
            qputenv("LOCPATH", savedLocPath_);
        else
            qunsetenv("LOCPATH");
    }

private:
    static bool selectCommaLocale()
    {
        for (const char *name : {"de_DE.UTF-8", "de_DE.utf8", "fr_FR.UTF-8", "fr_FR.utf8", "nl_NL.UTF-8"})
            if (std::setlocale(LC_NUMERIC, name) && std::strcmp(std::localeconv()->decimal_point, ",") == 0)
                return true;
        return false;
    }

    // Compiles the German locale from the system's locale sources into a
    // temporary folder, where machines without installed locales have none.
    bool buildCommaLocale()
    {
        const QString localedef = QStandardPaths::findExecutable(QStringLiteral("localedef"));
        if (localedef.isEmpty() || !QFile::exists(QStringLiteral("/usr/share/i18n/locales/de_DE")))
            return false;
        built_ = std::make_unique<QTemporaryDir>();
        QProcess process;
        process.start(localedef, {QStringLiteral("-i"), QStringLiteral("de_DE"), QStringLiteral("-f"),
                                  QStringLiteral("UTF-8"), built_->filePath(QStringLiteral("de_DE.UTF-8"))});
        if (!process.waitForFinished(60000)) // ms
            return false;
        qputenv("LOCPATH", QFile::encodeName(built_->path()));
        return selectCommaLocale();
    }

    std::string saved_;
    QByteArray savedLocPath_;
    bool hadLocPath_ = false;
    std::unique_ptr<QTemporaryDir> built_;
};

} // namespace

TEST_F(CommaLocale, DecimalPointStaysAPoint)
{
    EXPECT_EQ(numericValue("2.5"), 2.5);
    EXPECT_EQ(numericValue(" -0.4 "), -0.4);
    EXPECT_EQ(numericValue(".5"), 0.5);
    EXPECT_EQ(numericValue("1.5E+3"), 1500);
    EXPECT_EQ(numericValue("7D-2"), 0.07);
    EXPECT_EQ(numericValue("1,5"), 1); // the comma still ends the number
    EXPECT_EQ(toByte(numericValue("2.5")), 2); // ties to even, as in the C locale
    EXPECT_EQ(numberText(-1.5), "-1.5");
}
