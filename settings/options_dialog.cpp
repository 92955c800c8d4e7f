#include "options_dialog.h"

#include "config_file.h"
#include "message_box.h"
#include "mount_probe.h"
#include "numbers.h"
#include "serial_devices.h"
#include "serial_link.h"
#include "settings_fields.h"

#include <QComboBox>
#include <QDir>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalBlocker>
#include <QVBoxLayout>

namespace orvane {

namespace {

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

// What each box means, in plain words with its unit, by box number (Text1..Text15).
struct BoxHelp {
    int box;
    const char *text;
};
constexpr BoxHelp kBoxHelp[] = {
    {1, "The serial port of the mount. 0 = the simulated mount; 1 and up name the serial device picked "
        "beside it (else /dev/ttyS0 for 1, /dev/ttyS1 for 2, ...). \"Test mount\" tries it now."},
    {2, "Direction text sent to the mount (:RG#:M<text>#) when the guide star is above its mark. "
        "Usually n, s, e or w; Rotate and Mirror turn the cross to match the camera."},
    {3, "Direction text sent to the mount (:RG#:M<text>#) when the guide star is below its mark."},
    {4, "Direction text sent to the mount (:RG#:M<text>#) when the guide star is right of its mark."},
    {5, "Direction text sent to the mount (:RG#:M<text>#) when the guide star is left of its mark."},
    {6, "How fast the star moves on the picture while the mount moves at guide rate, in pixels per "
        "second (px/s); more than 0. A correction lasts the drift divided by this."},
    {7, "The printer port the camera lines are wired to: 1 = the port at 0x378, any other number the "
        "port at 0x278."},
    {8, "Byte 0..255 put on the printer port's data lines (D0..D7) while an exposure collects light: "
        "the camera's integrating state."},
    {9, "Byte 0..255 put on the data lines to read out the long exposure into the picture; also the "
        "camera's state at rest between runs."},
    {10, "Byte 0..255 put on the data lines to read out a guide frame; also written once at start-up."},
    {11, "Milliseconds (ms) a read-out state is held before the frame is taken."},
    {12, "Side of the square box around the marked star in which it is looked for, in pixels (px)."},
    {13, "Pixels (px). Kept in the settings file only: a correction starts when the star is more than "
         "2 px from its mark, whatever this says."},
    {14, "Byte 0..255 put on the data lines to switch the camera's amplifier on just before the long "
         "exposure is read out."},
    {15, "Milliseconds (ms) the amplifier is on (the Amp on state) before the read-out state follows."},
};
static_assert(std::size(kBoxHelp) == kSettingsFields.size(), "every Options box has its help");

QLabel *label(const char *objectName, const char *caption)
{
    auto *l = new QLabel(QString::fromLatin1(caption));
    l->setObjectName(QString::fromLatin1(objectName));
    return l;
}

// The label left of box TextN, named and captioned as its field says.
QLabel *boxLabel(int box)
{
    const SettingsField &field = fieldInBox(box);
    return label(field.labelObject, field.name);
}

QPushButton *button(const char *objectName, const char *caption)
{
    auto *b = new QPushButton(QString::fromLatin1(caption));
    b->setObjectName(QString::fromLatin1(objectName));
    return b;
}

} // namespace

OptionsDialog::OptionsDialog(Settings &settings, QString configPath, QString iniPath, MountLink &comm, Clock &clock,
                             QWidget *parent)
    : QWidget(parent, Qt::Window), settings_(settings), configPath_(std::move(configPath)),
      iniPath_(std::move(iniPath)), comm_(comm), probe_(std::make_unique<MountProbe>(comm.opener(), clock))
{
    setObjectName(QStringLiteral("Form2"));
    setWindowTitle(QStringLiteral("Options"));
    setAttribute(Qt::WA_DeleteOnClose);
    QFont font(QStringLiteral("MS Sans Serif"));
    font.setStyleHint(QFont::SansSerif);
    setFont(font);
    showMessage = [this](const QString &text) { openMessageBox(this, QMessageBox::Warning, text); };

    for (int n = 1; n <= kBoxes; ++n) {
        boxes_[n] = new QLineEdit(this);
        boxes_[n]->setObjectName(QStringLiteral("Text%1").arg(n));
    }
    commDevice_ = new QComboBox(this);
    commDevice_->setObjectName(QStringLiteral("commDevice"));
    commDevice_->setToolTip(QStringLiteral("The serial device this comm port number names; 0 is the simulated mount."));
    testMount_ = new QPushButton(QStringLiteral("Test mount"), this);
    testMount_->setObjectName(QStringLiteral("testMount"));
    testMount_->setToolTip(QStringLiteral("Sends the mount's presence probe on the comm port above, to the device "
                                          "picked beside it, now and shows what came back within %1 ms.")
                               .arg(MountProbe::kAnswerWithinMs));
    mountAnswer_ = new QLabel(this);
    mountAnswer_->setObjectName(QStringLiteral("mountAnswer"));
    mountAnswer_->setWordWrap(true);
    mountAnswer_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    mountAnswer_->setAccessibleName(QStringLiteral("Mount test answer"));
    connect(testMount_, &QPushButton::clicked, this, &OptionsDialog::testMount);
    connect(probe_.get(), &MountProbe::finished, this, [this](const QString &sentence) {
        mountAnswer_->setText(sentence);
        testMount_->setEnabled(true);
    });
    buildLayout();
    addToolTips();
    fillBoxes();
    // INDI mounts named in orvane.ini are offered beside the serial devices.
    serialDevices_ = availableSerialDevices() + indiMountEntries(iniPath_);
    updateCommDevice();
    connect(boxes_[1], &QLineEdit::textChanged, this, &OptionsDialog::updateCommDevice);
}

OptionsDialog::~OptionsDialog() = default;

QLineEdit *OptionsDialog::box(int number) const
{
    return number >= 1 && number <= kBoxes ? boxes_[number] : nullptr;
}

void OptionsDialog::buildLayout()
{
    // Camera column: label left of its box, row by row.
    auto *camera = new QGridLayout;
    camera->addWidget(label("Label1", "Camera"), 0, 0, 1, 2, Qt::AlignHCenter);
    int row = 1;
    for (int n : {7, 14, 8, 9, 10, 11, 15}) {
        camera->addWidget(boxLabel(n), row, 0);
        camera->addWidget(boxes_[n], row++, 1);
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
    row = 3; // Comm Port with its device picker, then the guide numbers
    for (int n : {1, 6, 12, 13}) {
        telescope->addWidget(boxLabel(n), row, 0);
        telescope->addWidget(boxes_[n], row++, 1);
    }
    telescope->addWidget(commDevice_, 3, 2);
    telescope->addWidget(testMount_, 7, 0, 1, 3, Qt::AlignLeft);
    telescope->addWidget(mountAnswer_, 8, 0, 1, 3);
    telescope->setRowStretch(9, 1);
    for (const SettingsField &field : kSettingsFields)
        if (!isText(field))
            boxes_[field.box]->setMaximumWidth(
                boxes_[field.box]->fontMetrics().horizontalAdvance(QStringLiteral("-2147483648")) + 16);

    auto *columns = new QHBoxLayout;
    columns->addLayout(camera);
    columns->addSpacing(24);
    columns->addLayout(telescope);

    QPushButton *done = button("Command1", "DONE");
    connect(done, &QPushButton::clicked, this, &OptionsDialog::Command1Click);
    QPushButton *cancel = button("cancelButton", "Cancel");
    cancel->setToolTip(QStringLiteral("Closes the window without storing anything (Escape does the same)."));
    connect(cancel, &QPushButton::clicked, this, &QWidget::close);
    // DONE stays in the middle; Cancel to its right.
    auto *buttons = new QGridLayout;
    buttons->addWidget(done, 0, 1);
    buttons->addWidget(cancel, 0, 2, Qt::AlignLeft);
    buttons->setColumnStretch(0, 1);
    buttons->setColumnStretch(2, 1);
    auto *all = new QVBoxLayout(this);
    all->addLayout(columns);
    all->addSpacing(8);
    all->addLayout(buttons);

    // Below everything else, so the boxes keep their places.
    auto *configPath = new QLabel(QStringLiteral("Settings file: %1").arg(QDir::toNativeSeparators(configPath_)), this);
    configPath->setObjectName(QStringLiteral("configPathLabel"));
    configPath->setTextInteractionFlags(Qt::TextSelectableByMouse);
    configPath->setWordWrap(true);
    all->addWidget(configPath);
}

void OptionsDialog::addToolTips()
{
    for (const BoxHelp &help : kBoxHelp) {
        const QString text = QString::fromUtf8(help.text);
        boxes_[help.box]->setToolTip(text);
        const SettingsField &field = fieldInBox(help.box);
        boxes_[help.box]->setAccessibleName(QString::fromLatin1(field.name));
        if (field.labelObject)
            if (auto *l = findChild<QLabel *>(QString::fromLatin1(field.labelObject)))
                l->setToolTip(text);
    }
    commDevice_->setAccessibleName(QStringLiteral("Comm port device"));
}

void OptionsDialog::fillBoxes()
{
    for (const SettingsField &field : kSettingsFields)
        boxes_[field.box]->setText(fieldText(settings_, field));
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
    // when every box can be stored.
    Settings next = settings_;
    for (int n = 1; n <= kBoxes; ++n) {
        const SettingsField &field = fieldInBox(n);
        const QString text = boxes_[n]->text();
        const QString name = QString::fromLatin1(field.name);
        if (isText(field)) {
            if (const QString problem = directionTextProblem(text); !problem.isEmpty()) {
                refuse(n, QStringLiteral("%1: %2. A direction text cannot hold a comma, a double quote "
                                         "or a line break, since the settings file would not give it back.")
                              .arg(name, problem));
                return;
            }
            if (const QString problem = mountTextProblem(text); !problem.isEmpty()) {
                refuse(n, QStringLiteral("%1: it %2. %3").arg(name, problem, QLatin1String(kMountTextRule)));
                return;
            }
            storeText(next, field, text);
            continue;
        }
        try {
            storeNumber(next, field, numericValue(text));
        } catch (const ConversionError &e) {
            refuse(n, QStringLiteral("%1 cannot be stored: %2. Enter %3.")
                          .arg(name, QString::fromUtf8(e.what()), allowedRange(field)));
            return;
        }
        // A correction runs until the drift is covered at this speed: at 0 or
        // less it would never end.
        if (field.member == SettingsMember(&Settings::PixPerSec) && next.PixPerSec <= 0) {
            refuse(n, QStringLiteral("%1 cannot be stored: %2 pixels per second would never end a correction. "
                                     "Enter a whole number from 1 to 2147483647.")
                          .arg(name)
                          .arg(next.PixPerSec));
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

void OptionsDialog::testMount()
{
    if (comm_.PortOpen()) {
        mountAnswer_->setText(QStringLiteral("The running sequence holds the mount link; test it when the run has ended."));
        return;
    }
    int16_t port = 0;
    try {
        port = toInt16(numericValue(boxes_[1]->text()));
    } catch (const ConversionError &e) {
        mountAnswer_->setText(QStringLiteral("Comm Port cannot be tested: %1. Enter %2.")
                                  .arg(QString::fromUtf8(e.what()), allowedRange(fieldInBox(1))));
        return;
    }
    mountAnswer_->setText(QStringLiteral("Testing comm port %1 ...").arg(port));
    testMount_->setEnabled(false);
    // The device in the picker, stored or not: the one DONE would keep.
    probe_->start(port, port > 0 && commDevice_->isEnabled() ? commDevice_->currentText() : QString());
}

void OptionsDialog::keyPressEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_Escape) {
        close(); // like Cancel: nothing is stored
        return;
    }
    QWidget::keyPressEvent(event);
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
