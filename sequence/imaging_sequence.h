#pragma once
// The Start/Stop command: a run of long exposures, each read out into the
// picture area and, if asked, saved, with the telescope guided in between. The
// whole run happens inside the Start click; a second click (Stop) only clears
// the running flag, which the run notices at its next check.

#include "guide_events.h"
#include "rig.h"
#include "sequence_panel.h"

#include "dither.h"

#include <deque>
#include <functional>
#include <optional>
#include <vector>

namespace orvane {

// The guide step just measured and corrected (the drift, the star, the moves
// the last StartGuideMove planned), as those who follow guiding are told of it.
GuideStep measuredGuideStep(const RigContext &c, bool settling);

class ImagingSequence {
public:
    ImagingSequence(Rig &rig, SequencePanel &panel);

    // The Command1 click: Stop while a run is going on, else a whole run.
    void onCommand1Click();
    // The Picture1 mouse-down, whatever the button: marks the guide star found
    // in the guide box around the click, or says how faint the best spot was and
    // keeps the old mark; a second click within kSameClickPx of a refused one
    // marks that point. During a run or a loop (`looping`) the new mark is told.
    void onPictureMouseDown(double x, double y, bool looping = false);
    static constexpr int kSameClickPx = 3;

    bool running() const { return inRun_; }
    // Those told of every guide step and guiding event (the guide log, the guide graph);
    // each must outlive the sequence or be removed first.
    void addGuideObserver(GuideObserver *observer) { observers_.push_back(observer); }
    void removeGuideObserver(GuideObserver *observer) { std::erase(observers_, observer); }
    // The guide steps of the current (or last) guided run from its start, for a
    // window opened mid-run; the oldest go beyond kKeptRunSteps (a day at 1 s steps).
    const std::deque<GuideStep> &runSteps() const { return runSteps_; }
    static constexpr std::size_t kKeptRunSteps = 86400;
    // Asks a running sequence to end (its end steps still run); e.g. the window closing.
    void requestStop();
    // The shifts of dithering come from this seed from now on (tests, benchmarks).
    void seedDither(uint64_t seed) { dither_ = DitherRandom(seed); }

    // Milliseconds between progress-bar updates while nothing else is due.
    static constexpr int32_t kProgressIntervalMs = 100;
    // The guide interval while guiding is not ticked at Start.
    static constexpr int32_t kUnguidedGuideMs = 100000;

private:
    void run();
    bool prepareGuiding(int32_t guideMs);
    // `guided`: guiding began, so unticking and ticking it again is told.
    void exposeFrames(int32_t exposureMs, int32_t guideMs, int16_t frameCount, bool guided);
    void endSequence();
    // After a guide step: "Star lost" while the box holds no star, one beep and
    // one notice after a few such steps in a row, the frame's status once it is back.
    void followGuideStar();
    // Between two saved frames, with dithering on: shifts the lock position and
    // guides until the star has settled on it or the time limit has passed, then
    // starts the next exposure afresh. False when the run was stopped meanwhile.
    bool ditherAndSettle(int32_t guideMs);
    // The next dither's shift of the lock position from the marked place, pixels on the picture.
    QPointF nextDitherShift();
    // One guide step of the exposure loop: a fresh guide frame measured, drawn,
    // corrected and told. False when the camera delivered no frame.
    bool guideStep();
    // Reads an entry field as milliseconds (seconds x 1000) or a count; reports
    // the field by its label when the number does not fit, and returns false.
    bool readMs(const QString &text, const char *label, int32_t &ms);
    bool readCount(const QString &text, int16_t &count);
    // False, with a message naming "Exposure sec", when the exposure has no length.
    // False, after telling the user, when `ms` read from the box `label` is not positive.
    bool lasts(int32_t ms, const char *label, const QString &text, const char *what);
    void tell(GuideEvent event, const QString &text = {});
    void tellGuideStep();
    uint32_t wakeTime(uint32_t now, uint32_t dueMs) const;

    Rig &rig_;
    SequencePanel &panel_;
    bool inRun_ = false;
    std::vector<GuideObserver *> observers_;
    std::deque<GuideStep> runSteps_;
    std::optional<StarPlace> refusedClick_; // the last click that found no star, until one marks
    int lostSteps_ = 0; // guide steps in a row without a star, up to the alarm count
    DitherRandom dither_; // seeded from the clock at construction
    bool settling_ = false; // guide steps now are settling after a dither
};

} // namespace orvane
