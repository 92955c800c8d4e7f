#pragma once
// Guide > Guiding settings...: how the star is measured (box or centroid), how
// two-axis corrections are sized, timed pulses, and dithering between saved
// frames. OK checks every box, makes the values the program's from the next
// guide step on and stores them in orvane.ini [guiding], keeping the rest of
// the file as the user wrote it. A bad value is refused naming its box, and
// nothing changes.

#include "guiding_settings.h"

#include <QDialog>

#include <functional>

class QCheckBox;
class QComboBox;
class QLineEdit;

namespace orvane {

class GuidingSettingsDialog : public QDialog {
    Q_OBJECT
public:
    GuidingSettingsDialog(GuidingSettings &settings, QString iniPath, QWidget *parent = nullptr);

    // Tells the user a problem without waiting for an answer; tests replace it.
    std::function<void(const QString &)> showMessage;
    // Called after OK has taken the values (the program picks the way of measuring).
    std::function<void()> applied;

    void accept() override;
    // The boxes show the settings as they stand (each time the window opens).
    void showSettings();

private:
    GuidingSettings &settings_;
    QString iniPath_;
    QComboBox *algorithm_ = nullptr;
    QCheckBox *pulse_ = nullptr, *dither_ = nullptr, *ditherRaOnly_ = nullptr;
    QLineEdit *aggressiveness_ = nullptr, *minMove_ = nullptr, *maxMove_ = nullptr, *ditherPx_ = nullptr,
              *ditherScale_ = nullptr, *settlePx_ = nullptr, *settleTime_ = nullptr, *settleTimeout_ = nullptr,
              *calibrationPx_ = nullptr, *calibrationLimit_ = nullptr;
    // The hard night's settings.
    QLineEdit *guideStars_ = nullptr, *predictPeriod_ = nullptr;
    QCheckBox *predict_ = nullptr, *decBacklash_ = nullptr;
    QComboBox *decMode_ = nullptr;
};

} // namespace orvane
