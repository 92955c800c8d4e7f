#include "capture_dialogs.h"

#include "message_box.h"
#include "v4l2_camera.h"
#include "v4l2_compression_dialog.h"
#include "v4l2_format_dialog.h"
#include "v4l2_source_dialog.h"

namespace orvane {

namespace {

QDialog *webcamDialog(V4l2Camera &webcam, CaptureDialog which, QWidget *parent)
{
    switch (which) {
    case CaptureDialog::Format:
        return new V4l2FormatDialog(webcam, parent);
    case CaptureDialog::Source:
        return new V4l2SourceDialog(webcam, parent);
    case CaptureDialog::Compression:
        return new V4l2CompressionDialog(webcam, parent);
    }
    return nullptr;
}

} // namespace

void showCaptureDialog(CaptureSource *source, CaptureDialog which, QWidget *parent)
{
    if (!source)
        return;
    if (const QString note = source->dialogNote(which); !note.isEmpty()) {
        openMessageBox(parent, QMessageBox::Information, note);
        return;
    }
    if (auto *webcam = dynamic_cast<V4l2Camera *>(source))
        if (QDialog *dialog = webcamDialog(*webcam, which, parent))
            openDialog(dialog);
}

} // namespace orvane
