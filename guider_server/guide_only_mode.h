#pragma once
// Guiding for an imaging program: guide exposures one after another at the
// client's exposure, the star in the guide box measured and corrected by
// Orvane's own guide steps, without an imaging sequence. Like the window's
// Loop and Start, the run lives inside one call (run()) that the server queues;
// requests arriving meanwhile only change what the run does at its next look.
// Every guide or dither request gets one settle: SettleBegin, Settling at each
// frame, then exactly one SettleDone. The run's end takes the end steps of a
// sequence: camera lines at rest, stop-all to the mount, the link closed.

#include "guider_events.h"
#include "calibration.h"
#include "rig.h"
#include "settle_judge.h"

#include "dither.h"

#include <QJsonObject>

#include <functional>
#include <optional>
#include <vector>

namespace orvane {

class GuideOnlyMode {
public:
    // `window`: the main window's rig parts; the mode runs a rig of its own on
    // them whose guide tick is "guiding for a client, not paused".
    explicit GuideOnlyMode(const RigContext &window);

    // Every event for the clients.
    std::function<void(const QJsonObject &event)> emitEvent;
    // Guiding for `client` began (the window shows it), or ended (empty).
    std::function<void(const QString &client)> showGuidingFor;
    // The run has ended and its end steps are done.
    std::function<void()> ended;
    // Asks for run() to be called from the event loop soon (the server queues it).
    std::function<void()> queueRun;

    void addGuideObserver(GuideObserver *observer) { observers_.push_back(observer); }
    void removeGuideObserver(GuideObserver *observer) { std::erase(observers_, observer); }

    // The requests. Each returns at once; a refusal is thrown as an RpcFailure.
    void loop();
    void captureSingleFrame(int32_t exposureMs);
    // Guides on the marked star (the link to the mount opened first); a new settle
    // begins. With `recalibrate` the mount's axes are measured first (Orvane's own
    // calibration, applied for the session when its letters are those in use).
    void guide(const SettleRule &rule, const QString &client, bool recalibrate = false);
    // Shifts the lock position by `shiftPx` and settles on it.
    void dither(QPointF shiftPx, const SettleRule &rule);
    // Ends looping and guiding; the run's end steps follow at its next look.
    void stop();
    void setPaused(bool paused, bool full);

    // The run: frames until stop(). Returns at once when one runs already.
    void run();

    bool active() const { return active_; }
    bool guiding() const { return active_ && guide_; }
    bool looping() const { return active_ && !guide_; }
    bool paused() const { return paused_; }
    bool settling() const { return settle_.has_value(); }
    bool calibrating() const { return calibration_ != nullptr; }
    bool starLost() const { return lostSteps_ > 0; }
    const QString &client() const { return client_; }
    int loopFrames() const { return loopFrames_; } // frames looped since the run began
    int32_t exposureMs() const { return exposureMs_; }
    void setExposureMs(int32_t ms) { exposureMs_ = ms; }
    Rig &rig() { return rig_; }
    // The random shifts of `dither` with an amount: from this seed on.
    DitherRandom &ditherRandom() { return random_; }

private:
    // The window's panel, but for the guide tick.
    class ClientPanel : public ControlPanel {
    public:
        ClientPanel(ControlPanel &window, const GuideOnlyMode &mode) : window_(window), mode_(mode) {}
        bool guidingTicked() const override { return mode_.guiding() && !mode_.paused_; }
        bool lineDoublingTicked() const override { return false; } // guide frames are never line-doubled
        QString status() const override { return window_.status(); }
        void setStatus(const QString &text) override { window_.setStatus(text); }
        void showDrift(const QString &dx, const QString &dy) override { window_.showDrift(dx, dy); }
        QString fileStem() const override { return window_.fileStem(); }
        QString firstIndex() const override { return window_.firstIndex(); }
        void setFirstIndex(const QString &text) override { window_.setFirstIndex(text); }
        void notify(const QString &sentence) override { window_.notify(sentence); }
        void frameSaved(const QString &path) override { window_.frameSaved(path); }
        void showActivity(const QString &text) override { window_.showActivity(text); }

    private:
        ControlPanel &window_;
        const GuideOnlyMode &mode_;
    };
    struct Settle {
        SettleJudge judge;
        SettleRule rule;
        uint32_t startMs;
        int frames = 0;
        int dropped = 0;
    };

    void send(const QString &name, QJsonObject fields = {});
    void tell(GuideEvent event, const QString &text = {});
    void beginGuiding();
    // The calibration before guiding; false when it failed or was stopped (told as CalibrationFailed).
    bool calibrate();
    void endGuiding();
    void guideStep();
    void beginSettle(const SettleRule &rule);
    void settleFrame(std::optional<double> distancePx);
    void finishSettle(bool settled, const QString &error);
    // Waits until `dueMs`, the move timer serviced; false when asked to stop.
    bool waitUntil(uint32_t dueMs);
    void endSteps();

    ClientPanel panel_;
    Rig rig_;
    std::vector<GuideObserver *> observers_;
    DitherRandom random_;
    bool active_ = false;
    bool stopAsked_ = false;
    bool guide_ = false;         // guiding asked (else looping)
    bool guidingBegun_ = false;  // the guide run has begun (its steps are told)
    bool paused_ = false, pausedFull_ = false;
    bool singleFrame_ = false;
    bool calibrateAsked_ = false;
    Calibration *calibration_ = nullptr; // while one runs
    int32_t exposureMs_ = 1000;  // ms of each guide exposure
    int32_t singleFrameMs_ = 0;
    int loopFrames_ = 0;
    int guideSteps_ = 0;
    uint32_t guideBeganMs_ = 0;
    int lostSteps_ = 0;
    double avgDistPx_ = 0;
    QString client_;
    std::optional<Settle> settle_;
};

} // namespace orvane
