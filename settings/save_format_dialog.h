#pragma once
// Imaging > Save format...: whether image frames are saved as BMP, FITS or
// both, and FITS frames in colour or as one plane of luminance. OK makes the
// choice the sequence's from its next frame on and stores it in orvane.ini
// ([save] format=, planes=), keeping the rest of the file as the user wrote it.

#include "frame_format.h"

#include <QDialog>

#include <functional>

class QRadioButton;

namespace orvane {

class SaveFormatDialog : public QDialog {
    Q_OBJECT
public:
    SaveFormatDialog(FrameFormat &format, QString iniPath, QWidget *parent = nullptr);

    // Tells the user a problem without waiting for an answer; tests replace it.
    std::function<void(const QString &)> showMessage;

    void accept() override;

private:
    FrameFormat &format_;
    QString iniPath_;
    QRadioButton *formats_[3] = {};
    QRadioButton *planes_[2] = {};
};

} // namespace orvane
