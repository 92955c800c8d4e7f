#include "options_dialog.h"

#include "config_file.h"
#include "message_box.h"
#include "numbers.h"
#include "serial_devices.h"
#include "serial_link.h"

#include <QComboBox>
#include <QDir>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalBlocker>
#include <QVBoxLayout>

#include <array>
#include <variant>

namespace orvane {

namespace {

using FieldPointer = std::variant<uint8_t Settings::*, int16_t Settings::*, int32_t Settings::*,
                                  QString Settings::*>;

// Box TextN and the field it edits; `name` is how the user is told which box.
struct Binding {
    int box;
    const char *name;
    FieldPointer field;
};

constexpr std::array<Binding, 15> kBindings{{
    {1, "Comm Port", &Settings::CommPort},
    {2, "Up (top of the direction cross)", &Settings::DirUp},
    {3, "Down (bottom of the direction cross)", &Settings::DirDown},
    {4, "Left (left of the direction cross)", &Settings::DirLeft},
    {5, "Right (right of the direction cross)", &Settings::DirRight},
    {6, "Pixels/Sec", &Settings::PixPerSec},
    {7, "Printer Port", &Settings::PrinterPort},
    {8, "Exposure State", &Settings::ExposureState},
    {9, "Get Image State", &Settings::GetImageState},
    {10, "Get Guide State", &Settings::GetGuideState},
    {11, "Image delay", &Settings::ImageDelay},
    {12, "Guide Box Size", &Settings::GuideBoxSize},
    {13, "Ignore Drift <", &Settings::IgnoreDrift},
    {14, "Amp on state", &Settings::AmpOnState},
    {15, "Amp delay", &Settings::AmpDelay},
}};

// Why a direction text would not come back from orvane.cfg as typed, or empty.
// The file ends a text at a comma or a line break, and holds 8-bit characters.
QString directionTextProblem(const QString &text)
{
    if (text.contains(u','))
        return QStringLiteral("it holds a comma");
    if (text.contains(u'"'))
        return QStringLiteral("it holds a double quote");
    if (text.contains(u'\n') || text.contains(u'\r'))
        return QStringLiteral("it holds a line break");
    for (QChar c : text)
        if (c.unicode() > 0xff)
            return QStringLiteral("it holds the character \"%1\", which the settings file cannot store").arg(c);
    return {};
}

QString allowedRange(const FieldPointer &field)
{
    if (std::holds_alternative<uint8_t Settings::*>(field))
        return QStringLiteral("a whole number from 0 to 255");
    if (std::holds_alternative<int16_t Settings::*>(field))
        return QStringLiteral("a whole number from -32768 to 32767");
    return QStringLiteral("a whole number from -2147483648 to 2147483647");
}

QLabel *label(const char *objectName, const char *caption)
{
    auto *l = new QLabel(QString::fromLatin1(caption));
    l->setObjectName(QString::fromLatin1(objectName));
    return l;
}

QPushButton *button(const char *objectName, const char *caption)
{
    auto *b = new QPushButton(QString::fromLatin1(caption));
    b->setObjectName(QString::fromLatin1(objectName));
    return b;
}

} // namespace

OptionsDialog::OptionsDialog(Settings &settings, QString configPath, QString iniPath, MSComm &comm,
                             QWidget *parent)
    : QWidget(parent, Qt::Window), settings_(settings), configPath_(std::move(configPath)),
      iniPath_(std::move(iniPath)), comm_(comm)
{
    setObjectName(QStringLiteral("Form2"));
    setWindowTitle(QStringLiteral("Options"));
    setAttribute(Qt::WA_DeleteOnClose);
    QFont font(QStringLiteral("MS Sans Serif"));
    font.setStyleHint(QFont::SansSerif);
    setFont(font);
    showMessage = [this](const QString &text) { openMessageBox(this, QMessageBox::Warning, text); };

    for (int n = 1; n <= 15; ++n) {
        boxes_[n] = new QLineEdit(this);
        boxes_[n]->setObjectName(QStringLiteral("Text%1").arg(n));
    }
    commDevice_ = new QComboBox(this);
    commDevice_->setObjectName(QStringLiteral("commDevice"));
    commDevice_->setToolTip(QStringLiteral("The serial device this comm port number names; 0 is the simulated mount."));
    buildLayout();
    fillBoxes();
    serialDevices_ = availableSerialDevices();
    updateCommDevice();
    connect(boxes_[1], &QLineEdit::textChanged, this, &OptionsDialog::updateCommDevice);
}

QLineEdit *OptionsDialog::box(int number) const
{
    return number >= 1 && number <= 15 ? boxes_[number] : nullptr;
}

void OptionsDialog::buildLayout()
{
    // Camera column: label left of its box, row by row.
    auto *camera = new QGridLayout;
    camera->addWidget(label("Label1", "Camera"), 0, 0, 1, 2, Qt::AlignHCenter);
    const std::pair<const char *, const char *> cameraRows[] = {
        {"Label9", "Printer Port"},   {"Label6", "Amp on state"},    {"Label10", "Exposure State"},
        {"Label11", "Get Image State"}, {"Label12", "Get Guide State"}, {"Label13", "Image delay"},
        {"Label7", "Amp delay"}};
    const int cameraBoxes[] = {7, 14, 8, 9, 10, 11, 15};
    for (int row = 0; row < 7; ++row) {
        camera->addWidget(label(cameraRows[row].first, cameraRows[row].second), row + 1, 0);
        camera->addWidget(boxes_[cameraBoxes[row]], row + 1, 1);
    }
    camera->setRowStretch(8, 1);

    // The direction cross: narrow boxes around an empty centre.
    auto *cross = new QGridLayout;
    for (int n : {2, 3, 4, 5}) {
        boxes_[n]->setFixedWidth(boxes_[n]->fontMetrics().horizontalAdvance(QStringLiteral("WWW")) + 12);
        boxes_[n]->setAlignment(Qt::AlignCenter);
    }
    cross->addWidget(boxes_[2], 0, 1);
    cross->addWidget(boxes_[4], 1, 0);
    cross->addWidget(boxes_[5], 1, 2);
    cross->addWidget(boxes_[3], 2, 1);
    auto *turns = new QHBoxLayout;
    QPushButton *rotate = button("Command2", "Rotate");
    QPushButton *mirror = button("Command3", "Mirror");
    turns->addWidget(rotate);
    turns->addWidget(mirror);
    connect(rotate, &QPushButton::clicked, this, &OptionsDialog::Command2Click);
    connect(mirror, &QPushButton::clicked, this, &OptionsDialog::Command3Click);

    auto *telescope = new QGridLayout;
    telescope->addWidget(label("Label2", "Telescope"), 0, 0, 1, 3, Qt::AlignHCenter);
    telescope->addLayout(cross, 1, 0, 1, 3, Qt::AlignHCenter);
    telescope->addLayout(turns, 2, 0, 1, 3, Qt::AlignHCenter);
    telescope->addWidget(label("Label3", "Comm Port"), 3, 0);
    telescope->addWidget(boxes_[1], 3, 1);
    telescope->addWidget(commDevice_, 3, 2);
    const std::pair<const char *, const char *> telescopeRows[] = {
        {"Label8", "Pixels/Sec"}, {"Label4", "Guide Box Size"}, {"Label5", "Ignore Drift <"}};
    const int telescopeBoxes[] = {6, 12, 13};
    for (int row = 0; row < 3; ++row) {
        telescope->addWidget(label(telescopeRows[row].first, telescopeRows[row].second), row + 4, 0);
        telescope->addWidget(boxes_[telescopeBoxes[row]], row + 4, 1);
    }
    telescope->setRowStretch(7, 1);
    for (int n : {1, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15})
        boxes_[n]->setMaximumWidth(boxes_[n]->fontMetrics().horizontalAdvance(QStringLiteral("-2147483648")) + 16);

    auto *columns = new QHBoxLayout;
    columns->addLayout(camera);
    columns->addSpacing(24);
    columns->addLayout(telescope);

    QPushButton *done = button("Command1", "DONE");
    connect(done, &QPushButton::clicked, this, &OptionsDialog::Command1Click);
    auto *all = new QVBoxLayout(this);
    all->addLayout(columns);
    all->addSpacing(8);
    all->addWidget(done, 0, Qt::AlignHCenter);

    // Below everything else, so the boxes keep their places.
    auto *configPath = new QLabel(QStringLiteral("Settings file: %1").arg(QDir::toNativeSeparators(configPath_)), this);
    configPath->setObjectName(QStringLiteral("configPathLabel"));
    configPath->setTextInteractionFlags(Qt::TextSelectableByMouse);
    configPath->setWordWrap(true);
    all->addWidget(configPath);
}

void OptionsDialog::fillBoxes()
{
    for (const Binding &b : kBindings) {
        const QString text = std::visit(
            [this](auto member) -> QString {
                const auto &value = settings_.*member;
                if constexpr (std::is_same_v<std::decay_t<decltype(value)>, QString>)
                    return value;
                else
                    return numberText(int64_t(value));
            },
            b.field);
        boxes_[b.box]->setText(text);
    }
}

void OptionsDialog::setSerialDeviceChoices(const QStringList &devices)
{
    serialDevices_ = devices;
    updateCommDevice();
}

// The picker lists the device the number names now first, then the others the
// system has; for 0 and negative numbers it only says what the number means.
void OptionsDialog::updateCommDevice()
{
    const QSignalBlocker blocker(commDevice_);
    commDevice_->clear();
    int16_t port = 0;
    try {
        port = toInt16(numericValue(boxes_[1]->text()));
    } catch (const ConversionError &) {
        commDevice_->addItem(QStringLiteral("no such comm port"));
        commDevice_->setEnabled(false);
        return;
    }
    if (port <= 0) {
        commDevice_->addItem(describeCommPort(port, iniPath_));
        commDevice_->setEnabled(false);
        return;
    }
    const QString named = serialDeviceFor(port, iniPath_);
    commDevice_->addItem(named);
    for (const QString &device : serialDevices_)
        if (device != named)
            commDevice_->addItem(device);
    commDevice_->setCurrentIndex(0);
    commDevice_->setEnabled(true);
}

void OptionsDialog::refuse(int boxNumber, const QString &sentence)
{
    QLineEdit *box = boxes_[boxNumber];
    box->setFocus(Qt::OtherFocusReason);
    box->selectAll();
    if (showMessage)
        showMessage(sentence);
}

void OptionsDialog::Command1Click()
{
    // Every box is stored into a copy first; the record and the file change only
    // when all fifteen can be stored.
    Settings next = settings_;
    for (const Binding &b : kBindings) {
        const QString text = boxes_[b.box]->text();
        const QString name = QString::fromLatin1(b.name);
        if (std::holds_alternative<QString Settings::*>(b.field)) {
            if (const QString problem = directionTextProblem(text); !problem.isEmpty()) {
                refuse(b.box, QStringLiteral("%1: %2. A direction text cannot hold a comma, a double quote "
                                             "or a line break, since the settings file would not give it back.")
                                  .arg(name, problem));
                return;
            }
            if (const QString problem = mountTextProblem(text); !problem.isEmpty()) {
                refuse(b.box, QStringLiteral("%1: it %2. %3").arg(name, problem, QLatin1String(kMountTextRule)));
                return;
            }
            next.*std::get<QString Settings::*>(b.field) = text;
            continue;
        }
        const double value = numericValue(text);
        try {
            std::visit(
                [&next, value](auto member) {
                    using T = std::decay_t<decltype(next.*member)>;
                    if constexpr (std::is_same_v<T, uint8_t>)
                        next.*member = toByte(value);
                    else if constexpr (std::is_same_v<T, int16_t>)
                        next.*member = toInt16(value);
                    else if constexpr (std::is_same_v<T, int32_t>)
                        next.*member = toInt32(value);
                },
                b.field);
        } catch (const ConversionError &e) {
            refuse(b.box, QStringLiteral("%1 cannot be stored: %2. Enter %3.")
                              .arg(name, QString::fromUtf8(e.what()), allowedRange(b.field)));
            return;
        }
    }

    // The serial device picked for the comm port number goes to orvane.ini; it is
    // put back if the settings file cannot be written, so nothing half applies.
    const bool pickDevice = next.CommPort > 0 && commDevice_->isEnabled();
    const QString previousDevice = pickDevice ? serialDeviceFor(next.CommPort, iniPath_) : QString();
    const QString pickedDevice = pickDevice ? commDevice_->currentText() : QString();
    const bool deviceChanges = pickDevice && pickedDevice != previousDevice;
    if (deviceChanges && !setSerialDeviceFor(next.CommPort, pickedDevice, iniPath_)) {
        refuse(1, QStringLiteral("Comm Port: the serial device for port %1 cannot be stored in %2.")
                      .arg(next.CommPort).arg(iniPath_));
        return;
    }
    try {
        SaveConfig(configPath_, next);
    } catch (const ConfigError &e) {
        if (deviceChanges) {
            // A mapping equal to the default device is simply removed.
            const QString fallback = QStringLiteral("/dev/ttyS%1").arg(next.CommPort - 1);
            setSerialDeviceFor(next.CommPort, previousDevice == fallback ? QString() : previousDevice, iniPath_);
        }
        if (showMessage)
            showMessage(QStringLiteral("The settings were not saved, and nothing was changed. %1")
                            .arg(QString::fromUtf8(e.what())));
        return;
    }

    next.PortAddress = portAddressFor(next.PrinterPort);
    settings_ = next;
    comm_.setCommPort(settings_.CommPort);
    emit applied();
    close();
}

void OptionsDialog::Command2Click()
{
    const QString top = boxes_[2]->text();
    boxes_[2]->setText(boxes_[4]->text());
    boxes_[4]->setText(boxes_[3]->text());
    boxes_[3]->setText(boxes_[5]->text());
    boxes_[5]->setText(top);
}

void OptionsDialog::Command3Click()
{
    const QString left = boxes_[4]->text();
    boxes_[4]->setText(boxes_[5]->text());
    boxes_[5]->setText(left);
}

} // namespace orvane
