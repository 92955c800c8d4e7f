#pragma once
// The calibration's picture: where each direction letter moved the star, as
// arrows from the middle (x to the right, y downwards, as on the picture), and
// the star's place at every step measured so far.

#include "calibration.h"

#include <QWidget>

namespace orvane {

class CalibrationPlot : public QWidget {
    Q_OBJECT
public:
    explicit CalibrationPlot(QWidget *parent = nullptr);

    // A new calibration: nothing to show.
    void clear();
    void addStep(const CalibrationStep &step);
    // The letters' velocities, pixels per second, drawn as arrows.
    void showMoves(const LetterVelocities &moves);

    QSize sizeHint() const override { return {260, 260}; }

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    std::vector<CalibrationStep> steps_;
    std::optional<LetterVelocities> moves_;
};

} // namespace orvane
