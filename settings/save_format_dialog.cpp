#include "save_format_dialog.h"

#include "file_rewrite.h"
#include "ini_lines.h"
#include "message_box.h"

#include <QButtonGroup>
#include <QDialogButtonBox>
#include <QFile>
#include <QGroupBox>
#include <QRadioButton>
#include <QVBoxLayout>

namespace orvane {

SaveFormatDialog::SaveFormatDialog(FrameFormat &format, QString iniPath, QWidget *parent)
    : QDialog(parent), format_(format), iniPath_(std::move(iniPath))
{
    setObjectName(QStringLiteral("SaveFormat"));
    setWindowTitle(QStringLiteral("Save format"));
    showMessage = [this](const QString &text) { openMessageBox(this, QMessageBox::Warning, text); };

    auto *layout = new QVBoxLayout(this);
    const auto group = [&](const QString &title, const QStringList &captions, QRadioButton **buttons, int checked) {
        auto *box = new QGroupBox(title, this);
        auto *inner = new QVBoxLayout(box);
        auto *exclusive = new QButtonGroup(box);
        for (int i = 0; i < captions.size(); ++i) {
            buttons[i] = new QRadioButton(captions[i], box);
            exclusive->addButton(buttons[i]);
            inner->addWidget(buttons[i]);
        }
        buttons[checked]->setChecked(true);
        layout->addWidget(box);
    };
    group(QStringLiteral("Save image frames as"), {"BMP", "FITS", "BMP and FITS"}, formats_, int(format.format));
    group(QStringLiteral("FITS planes"), {"Colour (3 planes)", "Monochrome (luminance)"}, planes_, int(format.planes));
    for (int i = 0; i < 3; ++i)
        formats_[i]->setObjectName(QStringLiteral("format_") + formatWord(SaveFormat(i)));
    for (int i = 0; i < 2; ++i)
        planes_[i]->setObjectName(QStringLiteral("planes_") + planesWord(SavePlanes(i)));

    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);
}

void SaveFormatDialog::accept()
{
    for (int i = 0; i < 3; ++i)
        if (formats_[i]->isChecked())
            format_.format = SaveFormat(i);
    format_.planes = planes_[1]->isChecked() ? SavePlanes::Mono : SavePlanes::Colour;

    const IniFileText file = readIniFile(iniPath_);
    const QByteArray &text = file.text;
    if (!file.cause.isEmpty()) {
        showMessage(QStringLiteral("The save format was not stored in %1: %2. Frames are saved as chosen until "
                                   "the program ends.").arg(iniPath_, file.cause));
    } else if (const Result written = writeWholeFile(iniPath_, withSaveFormat(text, format_)); !written) {
        showMessage(QStringLiteral("The save format was not stored in %1: %2. Frames are saved as chosen until "
                                   "the program ends.").arg(iniPath_, written.error()));
    }
    QDialog::accept();
}

} // namespace orvane
