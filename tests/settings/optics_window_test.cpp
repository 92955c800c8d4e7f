// Imaging > Optics...: the figures taken, the scales shown, orvane.ini changed only
// in its [optics] keys, and a bad figure refused by the name of its box.
#include "optics_window.h"

#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace orvane;

TEST(OpticsWindow, AppliesTheFiguresStoresThemAndRefusesABadOne)
{
    QTemporaryDir dir;
    const QString ini = dir.filePath("orvane.ini");
    {
        QFile f(ini);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("; mine\n[save]\nformat=fits\n");
    }
    Optics optics;
    OpticsWindow window(optics, ini);
    QStringList shown;
    window.showMessage = [&](const QString &text) { shown << text; };
    EXPECT_FALSE(window.isModal());
    window.findChild<QLineEdit *>("guideFocalLengthMm")->setText("400");
    window.findChild<QLineEdit *>("guidePixelUm")->setText("5.6");
    window.findChild<QLineEdit *>("imagingPixelUm")->setText("abc");
    EXPECT_FALSE(window.apply());
    ASSERT_EQ(shown.size(), 1);
    EXPECT_EQ(shown[0], "Imaging pixel size (\u00b5m): \"abc\" is not a number above 0. Nothing was changed.");
    EXPECT_FALSE(optics.guideFocalLengthMm);

    window.findChild<QLineEdit *>("imagingPixelUm")->clear();
    EXPECT_TRUE(window.apply());
    EXPECT_EQ(optics.guideFocalLengthMm, 400);
    EXPECT_TRUE(window.findChild<QLabel *>("scales")->text().startsWith("Guide camera: 2.89\u2033 per pixel"));
    QFile f(ini);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll(), "; mine\n[save]\nformat=fits\n\n[optics]\nguideFocalLengthMm=400\nguidePixelUm=5.6\n");
}
