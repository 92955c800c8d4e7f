#include "guiding_settings_dialog.h"

#include "file_rewrite.h"
#include "ini_lines.h"
#include "message_box.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFile>
#include <QFormLayout>
#include <QLineEdit>

namespace orvane {

namespace {

// The label of each ini key's box, for messages.
struct Box {
    const char *key;
    const char *label;
};
constexpr Box kBoxes[] = {
    {"algorithm", "Algorithm"},           {"aggressiveness", "Aggressiveness"},
    {"minMovePx", "Min move (px)"},       {"maxMoveMs", "Max move (ms)"},
    {"pulse", "Pulse guiding"},           {"dither", "Dither between frames"},
    {"ditherPx", "Dither by up to (px)"}, {"ditherScale", "Dither scale"},
    {"ditherRaOnly", "Dither in RA only"}, {"settlePx", "Settle within (px)"},
    {"settleTimeS", "Settle for (s)"},    {"settleTimeoutS", "Settle time limit (s)"},
    {"calibrationPx", "Calibrate over (px)"}, {"calibrationLimitS", "Calibration limit (s)"},
    {"guideStars", "Guide stars"},        {"predict", "Predict periodic error"},
    {"predictPeriodS", "Period (s)"},     {"decMode", "Dec guide mode"},
    {"decBacklash", "Dec backlash compensation"},
};

QString labelOf(const QString &key)
{
    for (const Box &b : kBoxes)
        if (key == QLatin1String(b.key))
            return QLatin1String(b.label);
    return key;
}

} // namespace

GuidingSettingsDialog::GuidingSettingsDialog(GuidingSettings &settings, QString iniPath, QWidget *parent)
    : QDialog(parent), settings_(settings), iniPath_(std::move(iniPath))
{
    setObjectName(QStringLiteral("GuidingSettings"));
    setWindowTitle(QStringLiteral("Guiding settings"));
    showMessage = [this](const QString &text) { openMessageBox(this, QMessageBox::Warning, text); };

    auto *form = new QFormLayout(this);
    const auto line = [&](const char *key, const char *tip) {
        auto *edit = new QLineEdit(this);
        edit->setObjectName(QLatin1String(key));
        edit->setToolTip(QLatin1String(tip));
        form->addRow(labelOf(QLatin1String(key)), edit);
        return edit;
    };
    algorithm_ = new QComboBox(this);
    algorithm_->setObjectName(QStringLiteral("algorithm"));
    algorithm_->addItems({QStringLiteral("box"), QStringLiteral("centroid")});
    algorithm_->setToolTip(QStringLiteral("box: the brightest run of six pixels, one axis at a time beyond 2 px; "
                                          "centroid: the star's centre to a tenth of a pixel, both axes at once"));
    form->addRow(QStringLiteral("Algorithm"), algorithm_);
    aggressiveness_ = line("aggressiveness", "Share of the star's estimated drift corrected at each step (centroid), above 0 up to 1");
    minMove_ = line("minMovePx", "Pixels: a smaller correction along an axis is not sent (centroid)");
    maxMove_ = line("maxMoveMs", "ms: the longest correction on one axis at one step (centroid)");
    pulse_ = new QCheckBox(this);
    pulse_->setObjectName(QStringLiteral("pulse"));
    pulse_->setToolTip(QStringLiteral("Send timed pulses (:Mgn01234#) that the mount ends itself, instead of a move "
                                      "and a stop"));
    form->addRow(labelOf(QStringLiteral("pulse")), pulse_);
    dither_ = new QCheckBox(this);
    dither_->setObjectName(QStringLiteral("dither"));
    dither_->setToolTip(QStringLiteral("Between two saved frames, shift the star's place and let it settle there"));
    form->addRow(labelOf(QStringLiteral("dither")), dither_);
    ditherPx_ = line("ditherPx", "Pixels: the largest shift on each axis (times the dither scale)");
    ditherScale_ = line("ditherScale", "The shift is the pixels above times this: a size kept in another camera's "
                                       "pixels, say");
    ditherRaOnly_ = new QCheckBox(this);
    ditherRaOnly_->setObjectName(QStringLiteral("ditherRaOnly"));
    ditherRaOnly_->setToolTip(QStringLiteral("Shift only along the RA axis (as calibration found it), so that Dec "
                                             "backlash never comes into play"));
    form->addRow(labelOf(QStringLiteral("ditherRaOnly")), ditherRaOnly_);
    settlePx_ = line("settlePx", "Pixels: settled once the star's tracked place is this near its new place...");
    settleTime_ = line("settleTimeS", "...for this many seconds (0: the first guide frame that is near enough). "
                                      "The next exposure starts the moment the star has settled");
    settleTimeout_ = line("settleTimeoutS", "Seconds from the dither: after this the next exposure starts all the same");
    calibrationPx_ = line("calibrationPx", "Pixels: calibration drives each letter until the star has moved this far...");
    calibrationLimit_ = line("calibrationLimitS", "...or for this many seconds at most");
    const auto check = [&](const char *key, const char *tip) {
        auto *box = new QCheckBox(this);
        box->setObjectName(QLatin1String(key));
        box->setToolTip(QLatin1String(tip));
        form->addRow(labelOf(QLatin1String(key)), box);
        return box;
    };
    guideStars_ = line("guideStars", "Centroid: follow up to this many stars (1 to 12), the marked one first; their "
                                     "drifts are combined by their signal-to-noise, a star that strays is left out, and "
                                     "guiding goes on while any of them is seen");
    predict_ = check("predict", "Centroid: learn the mount's repeating (periodic) error and its steady drift while "
                                "guiding, and correct them before the star shows them; kept through dithers and "
                                "pauses, forgotten at a new calibration");
    predictPeriod_ = line("predictPeriodS", "Seconds: the period of the error learned, the worm's turn of the mount");
    decMode_ = new QComboBox(this);
    decMode_->setObjectName(QStringLiteral("decMode"));
    decMode_->addItems({QStringLiteral("auto"), QStringLiteral("north"), QStringLiteral("south"), QStringLiteral("off")});
    decMode_->setToolTip(QStringLiteral("The Dec letters guiding may send: auto both, north or south only (a mount "
                                        "with backlash pushed one way), off none"));
    form->addRow(labelOf(QStringLiteral("decMode")), decMode_);
    decBacklash_ = check("decBacklash", "Centroid: measure the Dec backlash at each reversal and lengthen a reversing "
                                        "move by it; given up when the mount overshoots");

    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    form->addRow(buttons);
    showSettings();
}

void GuidingSettingsDialog::showSettings()
{
    const GuidingTexts t = guidingTexts(settings_);
    algorithm_->setCurrentText(t.algorithm);
    aggressiveness_->setText(t.aggressiveness);
    minMove_->setText(t.minMovePx);
    maxMove_->setText(t.maxMoveMs);
    pulse_->setChecked(settings_.pulse);
    dither_->setChecked(settings_.dither);
    ditherPx_->setText(t.ditherPx);
    ditherScale_->setText(t.ditherScale);
    ditherRaOnly_->setChecked(settings_.ditherRaOnly);
    settlePx_->setText(t.settlePx);
    settleTime_->setText(t.settleTimeS);
    settleTimeout_->setText(t.settleTimeoutS);
    calibrationPx_->setText(t.calibrationPx);
    calibrationLimit_->setText(t.calibrationLimitS);
    guideStars_->setText(t.guideStars);
    predict_->setChecked(settings_.predict);
    predictPeriod_->setText(t.predictPeriodS);
    decMode_->setCurrentText(t.decMode);
    decBacklash_->setChecked(settings_.decBacklash);
}

void GuidingSettingsDialog::accept()
{
    const auto tick = [](const QCheckBox *box) { return box->isChecked() ? QStringLiteral("true") : QStringLiteral("false"); };
    const GuidingTexts texts{algorithm_->currentText(), aggressiveness_->text(), minMove_->text(),
                             maxMove_->text(),          tick(pulse_),            tick(dither_),
                             ditherPx_->text(),         ditherScale_->text(),    tick(ditherRaOnly_),
                             settlePx_->text(),         settleTime_->text(),     settleTimeout_->text(),
                             calibrationPx_->text(),    calibrationLimit_->text(),
                             guideStars_->text(),       tick(predict_),          predictPeriod_->text(),
                             decMode_->currentText(),   tick(decBacklash_)};
    GuidingSettings chosen = settings_;
    if (const std::optional<GuidingProblem> bad = parseGuidingTexts(texts, chosen)) {
        showMessage(QStringLiteral("\"%1\" holds \"%2\", which is %3; the guiding settings were not changed.")
                        .arg(labelOf(bad->key), bad->text, bad->rule));
        return; // the window stays open for a correction
    }
    settings_ = chosen;
    if (applied)
        applied();

    const IniFileText file = readIniFile(iniPath_);
    const QByteArray &text = file.text;
    if (!file.cause.isEmpty()) {
        showMessage(QStringLiteral("The guiding settings were not stored in %1: %2. They hold until the program ends.")
                        .arg(iniPath_, file.cause));
    } else if (const Result written = writeWholeFile(iniPath_, withGuidingSettings(text, settings_)); !written) {
        showMessage(QStringLiteral("The guiding settings were not stored in %1: %2. They hold until the program ends.")
                        .arg(iniPath_, written.error()));
    }
    QDialog::accept();
}

} // namespace orvane
