// Runs the whole program on the settings in argv[1] and starts a guided run by
// itself: guiding ticked, a 60 s exposure with 1 s guide steps, and the guide star
// marked on the brightest star of the first guide frame and its lock put five
// pixels beside it, so the first guide step sends a correction. The process tests end it with signals.
#include "program.h"
#include "run_program.h"

#include <QApplication>
#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>

using namespace orvane;

namespace {

constexpr int kMarginPx = 40;   // the star's box must lie inside the picture
constexpr int kMarkOffsetPx = 5; // beside the star: more than the 2 px a move needs

// The brightest pixel away from the edges.
QPoint brightestPixel(const PictureArea &picture)
{
    QPoint best(kMarginPx, kMarginPx);
    uint32_t bestValue = 0;
    for (int y = kMarginPx; y < PictureArea::kHeight - kMarginPx; ++y)
        for (int x = kMarginPx; x < PictureArea::kWidth - kMarginPx; ++x)
            if (const uint32_t v = picture.pixel(x, y) & 0xFF; v > bestValue) {
                bestValue = v;
                best = QPoint(x, y);
            }
    return best;
}

void startGuidedRun(MainWindow &window)
{
    window.findChild<QCheckBox *>(QStringLiteral("Check2"))->setChecked(true);
    window.findChild<QLineEdit *>(QStringLiteral("Text1"))->setText(QStringLiteral("60"));
    window.findChild<QLineEdit *>(QStringLiteral("Text4"))->setText(QStringLiteral("1"));
    auto *marker = new QTimer(&window);
    QObject::connect(marker, &QTimer::timeout, &window, [&window, marker] {
        if (window.status() != QStringLiteral("Mark Star"))
            return;
        marker->stop();
        const QPoint star = brightestPixel(window.rig().context().picture);
        window.sequence().onPictureMouseDown(star.x(), star.y());
        SequenceState &lock = window.rig().context().sequence;
        lock.StarX = int16_t(lock.StarX + kMarkOffsetPx);
    });
    marker->start(20);
    QTimer::singleShot(0, &window, [&window] {
        window.findChild<QPushButton *>(QStringLiteral("Command1"))->click();
    });
}

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    if (argc < 2)
        return 2;
    return runProgram(QString::fromLocal8Bit(argv[1]), [](Program &program) { startGuidedRun(program.window()); });
}
