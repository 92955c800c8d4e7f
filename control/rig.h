#pragma once
// The camera, mount and guiding procedures of the program, acting on the shared
// values and the main window's controls. Each procedure keeps the order of steps
// the camera wiring and the mount rely on; waits sleep on the event pump.

#include "control_panel.h"
#include "rig_state.h"

#include "capture_device.h"
#include "clock.h"
#include "event_pump.h"
#include "picture_area.h"
#include "port_io.h"
#include "result.h"
#include "serial_link.h"
#include "settings.h"
#include "star_choice.h"
#include "star_profile.h"

#include <optional>

namespace orvane {

// Everything the procedures reach, each part by its role. All references outlive the Rig.
struct RigContext {
    Settings &settings;
    SequenceState &sequence;
    GuidingState &guiding;
    Clock &clock;
    EventPump &pump;
    CameraLines &port;
    MountLink &comm;
    CaptureDevices &camera;
    PictureArea &picture;
    ControlPanel &panel;
};

class Rig {
public:
    explicit Rig(RigContext context) : c_(context) {}
    const RigContext &context() const { return c_; }

    // --- timing (guide_moves.cpp) ---
    // Returns when the clock has reached startMs + delayMs, running events and,
    // while guiding is ticked, the move timer on every pass.
    void ServicedWait(uint32_t startMs, int32_t delayMs);
    // Ends a running correction once its distance has been covered.
    void UpdateGuideMoves();
    // One look after a pass of events: the move timer while guiding is ticked;
    // a correction still running when guiding is seen unticked is ended at once.
    void ServiceGuideMoves();
    // Clock ms at which UpdateGuideMoves next has something to decide, when a
    // correction runs; a sleeping loop wakes no later than this.
    std::optional<uint32_t> nextMoveCheckMs() const;

    // --- telescope link (telescope_link.cpp) ---
    void sendStopAll();                          // ":Qn#:Qs#:Qe#:Qw#"
    void sendGuideMove(const QString &direction); // ":RG#:M" + direction + "#"
    // ":Mg" + direction + ms in five digits + "#" (ms held within 0..99999): the mount times it.
    void sendPulse(const QString &direction, int32_t ms);
    void sendAxisStop(const QString &direction);  // ":Q" + direction + "#"
    // With [serial] readPointing on an LX200 link: ":GR#:GD#" when no correction
    // runs (never during one); a link that tells the pointing itself is not asked.
    void askPointing();
    // Reads the answer to the last askPointing into the link's pointing.
    void takePointing();
    // A move or a pulse started by a guide step has not yet ended.
    bool correctionRunning() const;

    // --- camera read-outs (readout.cpp) ---
    // Each returns true when the device delivered a frame and it became the
    // picture; false leaves the picture as it was (the device failed, or a batch
    // holds the picture area), so nothing may be measured or saved from it.
    bool GrabGuideFrame();
    bool GrabImageFrame();
    bool TakeFrame();
    // Writes ExposureState and starts the record of a new exposure from that write.
    void startExposure();
    // Copies every odd row over the even row above it on the surface (rows 0..478).
    void doubleLines();

    // --- guide star (guide_star.cpp) ---
    void MeasureGuideStar();
    void DrawGuideBox();
    // Starts the corrections the last measurement asks for: with the box way at
    // most one axis, moved until the move timer ends it; with a two-axis way both
    // axes, projected onto the calibrated axes, each for its own time. With
    // pulses on ([guiding] pulse) the mount times each move itself.
    void StartGuideMove();
    // A dither with a calibration: the lock position has moved by `shiftPx`
    // (pixels on the picture) and one timed move per calibrated axis, at full
    // size, carries the star there (pulses when they are on). The guide
    // tracker is told of both. Returns the move's length, ms (the longer axis).
    int32_t StartKnownMove(QPointF shiftPx);
    // Holds the star where the current picture shows it around the new mark: to
    // a fraction of a pixel with a two-axis way, on the marked pixel with the box way.
    void lockOnMark();
    // The star a click at (x, y) (pixels) means on the current picture, found as
    // a guide step would find it (nothing when no star stands out there), and the
    // signal-to-noise of the brightest spot either way.
    StarSearch starNear(int x, int y) const;
    // Width and peak of the star in the guide box around the mark on the current
    // picture; nothing when the guide search finds no star there.
    std::optional<StarProfile> markedStarProfile() const;
    // The star that guides best on the current picture, for a guide box of the
    // set size and twice the least snr a guide step asks for; or why none will.
    StarChoice chooseStar() const;
    // The guide dark to take off a guide frame of `view`'s size now: none when
    // there is none, it is of another size, or it was taken at another exposure
    // than GuideExposureMs (when known). Darks of another exposure are told of
    // once for each pair of exposures, with how to take new ones.
    const GuideDark *guideDarkFor(const PixelView &view) const;

    // --- frame files (frame_saver.cpp) ---
    // Saves the picture under the numbered name; a failure is told to the user
    // through the panel without stopping anything, and returned. Without a frame
    // from the read-out (`frameDelivered` false) the picture is an older one:
    // nothing is written under this frame's name and the user is told so.
    // The format (BMP, FITS or both) is the sequence's SaveFormat; a frame
    // takes the next number free under every name it is written under.
    // Each saved frame gets its row in frames.csv in the save directory.
    Result SaveImageFrame(bool frameDelivered = true);
    // Raises the Index box so that the next Start's first frame takes the
    // number after the highest of this File Name in the save folder; an Index
    // already past that series is left as typed. Called when a run ends and
    // when the folder or the File Name changes.
    void showNextFirstIndex();
    // The file names (without folder) the last SaveImageFrame wrote; empty when it wrote none.
    const QString &savedFrame() const { return savedFrame_; }
    // The picture as a FITS frame with its header, under `path`; `index` is the
    // number in its name.
    Result saveFits(const QString &path, int64_t index);
    // Appends the frame just read out, saved as `fileName`, to frames.csv.
    void recordFrame(const QString &fileName);
    // Where frames and frames.csv go now: the save folder, or tonight's folder in it ([save] nightFolders).
    QString framesFolder() const;

    // Port write of one byte to the configured address.
    void writePort(uint8_t value) { c_.port.SetPortVal(uint16_t(c_.settings.PortAddress), value, 1); }

private: // the two-axis moves are in guide_two_axis.cpp, recordBoxMove in guide_star.cpp
    void startTwoAxisMoves();
    void updateTwoAxisMoves();
    std::optional<uint32_t> nextTwoAxisCheckMs() const;
    // The move texts of the two-axis ways, as settings name them.
    DirectionTexts directionTexts() const;
    void sendTwoAxisMoves(); // g.Planned, as pulses or as moves the move timer ends
    void recordBoxMove(const QString &direction);
    // The sky's motion of the star the learned error predicts ([guiding] predict).
    struct PredictedMotion {
        std::optional<QPointF> sinceLastPx, nextPx; // since the last step, and over the next as long
    };
    PredictedMotion predictSkyMotion();
    // Takes out the moves [guiding] decMode refuses (guide_dec.cpp).
    void keepDecMode(ProjectedMoves &moves) const;
    // Lengthens a reversing Dec move by the slack measured so far ([guiding] decBacklash).
    void compensateDecBacklash(QPointF placePx, QPointF aheadPx, const CalibrationRecord &axes);
    // Several guide stars (guide_stars.cpp): chosen at the lock, combined at each step.
    void chooseOtherStars(const PixelView &view);
    void combineOtherStars(const PixelView &view, double lockX, double lockY, const StarMeasurement &main);

    RigContext c_;
    bool guidingWasTicked_ = false; // Check2 as ServiceGuideMoves last saw it
    QString savedFrame_;
    QString framesCsvTold_; // the last frames.csv failure told
    bool pointingAsked_ = false; // ":GR#:GD#" sent, its answer not yet read
};

// "Image" + "001" style name: directory, separator, stem, index of at least three
// digits, ".bmp". `index` is firstIndex + frameNumber - 1, computed wide.
QString frameFileName(const QString &saveDir, const QString &stem, int64_t index);
// The FITS name beside a BMP name: ".bmp" becomes ".fits".
QString fitsNameFor(const QString &bmpName);
// Empty when `stem` (Text2, "File Name") keeps frames inside the save folder;
// else the sentence that names the box and the cause.
QString fileStemProblem(const QString &stem);
// The index text: plain decimal, padded with zeros to three characters.
QString frameIndexText(int64_t index);

// ":Mg" + direction + ms in five digits, zero-padded (held within 0..99999) + "#".
QByteArray pulseCommand(const QString &direction, int32_t ms);

inline constexpr const char *kStopAll = ":Qn#:Qs#:Qe#:Qw#";

} // namespace orvane
