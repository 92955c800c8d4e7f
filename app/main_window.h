#pragma once
// The main window frmCapTest: the picture area, the entry fields of an imaging
// sequence, Start/Stop, the status field and progress bar, and the menus that
// reach every other window.

#include "frame_loop.h"
#include "guide_log.h"
#include "imaging_sequence.h"
#include "night_messages.h"
#include "picture_view.h"
#include "rig.h"
#include "sequence_panel.h"
#include "window_memory.h"

#include <QMainWindow>
#include <QMessageBox>
#include <QPointer>

#include <functional>
#include <memory>

class QCheckBox;
class QLabel;
class QLineEdit;
class QMenu;
class QProgressBar;
class QPushButton;

namespace orvane {

class DeviceDialog;
class DirectoryDialog;
class OptionsDialog;
class DeinterlaceWindow;
class HelpWindow;
class SaveFormatDialog;
class OpticsWindow;
class GuideLogWindow;
class GuidingSettingsDialog;
class FileChooser;
class PictureFileMenu;
class PictureDisplayWindow;
class SaveFolderLabel;
class GuideGraphWindow;
class CalibrationWindow;
class Calibration;
class RehearsalWindow;
class AssistantWindow;
class MessagesWindow;
class GuiderServer;

// Everything the window works with; all of it outlives the window.
struct MainWindowParts {
    Settings &settings;
    SequenceState &sequence;
    GuidingState &guiding;
    Clock &clock;
    EventPump &pump;
    CameraLines &port;
    MountLink &comm;
    CaptureDevices &camera;
    PictureArea &picture;
    FileChooser &files;
    QString configPath; // orvane.cfg in the settings folder
    QString iniPath;    // orvane.ini beside it
};

inline const QString kAppTitle = QStringLiteral("Orvane");
inline const QString kAboutText =
    QStringLiteral("Orvane V4.0 21-12-02\r\nCheck orvane.htm in the orvane directory for help");
inline const QString kStopAndCloseText = QStringLiteral("A sequence is running. Stop it and close Orvane?");
inline const QString kPreRollText = QStringLiteral(
    "Using precise capture controls.\r\nPreRoll complete - Click OK to start capture immediately.");

class MainWindow : public QMainWindow, public SequencePanel, public Questions {
    Q_OBJECT
public:
    explicit MainWindow(MainWindowParts parts, QWidget *parent = nullptr);
    ~MainWindow() override;

    // The start-up steps: port driver, settings file, first port byte, window on
    // screen, device list, save directory. False when the settings cannot be
    // read: the user has been told and the program must end.
    bool load();

    // Message boxes go through this so tests can answer them. It does not wait for
    // the answer: the box opens window-modal and a running sequence goes on.
    std::function<void(const QString &text, QMessageBox::Icon icon)> showMessageBox;

    // --- Questions: a window-modal box that returns at once ---
    void askOkCancel(const QString &text, std::function<void(bool ok)> answered) override;

    // --- SequencePanel ---
    bool guidingTicked() const override;
    bool lineDoublingTicked() const override;
    QString status() const override;
    void setStatus(const QString &text) override;
    void showDrift(const QString &dx, const QString &dy) override;
    QString fileStem() const override;
    QString firstIndex() const override;
    void setFirstIndex(const QString &text) override;
    void notify(const QString &sentence) override;
    void frameSaved(const QString &path) override;
    void showActivity(const QString &text) override;
    QString exposureText() const override;
    QString guideText() const override;
    QString frameCountText() const override;
    bool saveTicked() const override;
    void setStartCaption(const QString &caption) override;
    void setProgressMax(int32_t max) override;
    void setProgressValue(int32_t value) override;
    void beep() override;
    void showMessage(const QString &text) override;
    void showPlainMessage(const QString &text) override;
    void tell(const QString &text) override;

    ImagingSequence &sequence() { return *sequence_; }
    FrameLoop &frameLoop() { return *frameLoop_; }
    Rig &rig() { return *rig_; }
    PictureView *pictureView() const { return picture1_; }
    const QStringList &notices() const { return notices_; }
    // The parts that are simulated now, as the status bar names them; empty when all are real.
    QString simulatedPartsText() const;
    // The frame header of the capture device's last frame event.
    const FrameHeader &lastFrameHeader() const { return lastFrameHeader_; }

    // Ends a running sequence with its end steps, then closes the window; no
    // question is asked (a signal from the system, or the user's OK).
    void stopAndClose();

    // The other windows, created on first use (Form1 and Form3 at start-up).
    DeviceDialog *deviceDialog();
    DirectoryDialog *directoryDialog();
    OptionsDialog *optionsDialog();
    DeinterlaceWindow *deinterlaceWindow();
    // Help > Orvane help (F1), created on first use.
    HelpWindow *helpWindow();
    // Imaging > Picture display, created on first use.
    PictureDisplayWindow *pictureDisplayWindow();
    PictureDisplay &pictureDisplay() { return *display_; }
    // Guide > Guide graph, created on first use; it follows the sequence from then on.
    GuideGraphWindow *guideGraphWindow();
    // Guide > Calibrate..., created on first use.
    CalibrationWindow *calibrationWindow();
    Calibration &calibration() { return *calibration_; }
    // Guide > Choose star for me: marks the star that guides best on the picture,
    // as a click on it would, or tells why no star there will guide.
    void chooseStar();
    // Guide > Take guide darks…: asks first (the camera must be covered), then
    // takes darks at the guide exposure and keeps them beside orvane.ini.
    void takeGuideDarks();
    QString guideDarkPath() const;
    // Guide > Guiding assistant, created on first use.
    AssistantWindow *assistantWindow();
    // Guide > Rehearse..., created on first use.
    RehearsalWindow *rehearsalWindow();
    // Help > Messages..., created on first use: every sentence told tonight.
    MessagesWindow *messagesWindow();
    const NightMessages &messages() const { return messages_; }
    // The parts the window works with (a rehearsal copies the settings and guiding state).
    const MainWindowParts &parts() const { return parts_; }
    // Guide > Guider server: the server imaging programs drive Orvane's guiding through.
    GuiderServer &guiderServer() { return *guider_; }
    // Switches it on (listening as orvane.ini [server] says) or off (clients closed, client guiding ended).
    void switchGuiderServer(bool on);
    // Where tonight's guide log goes (and a rehearsal's report beside it).
    QString guideLogFolder() const { return guideLog_->folder(); }

protected:
    // While a sequence runs, closing asks first; the run goes on meanwhile.
    void closeEvent(QCloseEvent *event) override;

private:
    void buildControls();
    void buildMenus();
    // Menu mnemonics and shortcuts, read-only displays out of the Tab order, and
    // a name for every control that screen readers say (main_window_keys.cpp).
    void setUpKeyboardAndNames();
    // The "Imaging" menu, made before Help the first time it is asked for.
    // A menu of that title between the menus already there and Help, made the first time.
    QMenu *menuBeforeHelp(const QString &title);
    QMenu *imagingMenu();
    void showPictureDisplay();
    void addSaveFormatCommand();
    // The "Guide" menu, made before Help the first time it is asked for, and its
    // commands (main_window_guide.cpp).
    QMenu *guideMenu();
    void addGuideCommands();
    // The guide darks kept beside orvane.ini, at start-up; a damaged file is told.
    void loadGuideDarks();
    // After a calibration: the centroid way chosen and kept in orvane.ini [guiding]; why not, or empty.
    QString chooseCentroidWay();
    // Why no calibration can start now ("mark a star first"), or empty.
    QString calibrationRefusal() const;
    // At a guided Start with orvane.ini holding no calibration: one sentence pointing at Guide > Calibrate...
    void adviseCalibration();
    // Imaging > Loop (Ctrl+L) and the star's width and peak in the status bar.
    void buildLoopCommand();
    void buildGuiderServer(); // main_window_server.cpp
    void onLoop();
    void connectCamera();
    void onStartStop();
    void showDeviceDialog();
    void showDirectoryDialog();
    void showOptions();
    void showDeinterlace();
    void showHelp();
    // The About box (window-modal, returns at once), with a Help button beside OK.
    void showAbout();
    // Help > Messages..., the status line's tooltip and click (main_window_messages.cpp).
    void buildMessages();
    void showMessages();
    // Every sentence of the status line goes through here: shown, and kept for the night.
    void told(const QString &sentence);
    void updateStartButton();
    void updateSimulatedParts();
    // Tries the real printer port again and says in one notice whether it works now.
    void retryPrinterPort();
    // The entries as they stand, and back from orvane.ini's [window] at start-up.
    WindowMemory windowValues() const;
    void recallWindow();
    // Keeps the entries in orvane.ini, once start-up has read them.
    Result rememberWindow();

    MainWindowParts parts_;
    std::unique_ptr<Rig> rig_;
    std::unique_ptr<ImagingSequence> sequence_;
    std::unique_ptr<FrameLoop> frameLoop_;
    std::unique_ptr<GuideLog> guideLog_; // follows every guided run
    std::unique_ptr<Calibration> calibration_;
    std::unique_ptr<GuiderServer> guider_;
    QAction *serverAction_ = nullptr;
    QLabel *serverStatus_ = nullptr;
    QAction *calibrate_ = nullptr;
    QPushButton *chooseStarOffer_ = nullptr; // in the status line while "Mark Star" waits for a click
    QStringList guideLogNotes_;          // problems with orvane.ini [guidelog], told by load()
    QAction *loop_ = nullptr;
    QLabel *starProfile_ = nullptr;
    std::unique_ptr<PictureFileMenu> fileMenu_;
    std::unique_ptr<PictureDisplay> display_;

    QLineEdit *text1_ = nullptr, *text2_ = nullptr, *text3_ = nullptr, *text4_ = nullptr;
    QLineEdit *text5_ = nullptr, *text6_ = nullptr, *text7_ = nullptr, *text8_ = nullptr;
    QCheckBox *check1_ = nullptr, *check2_ = nullptr, *check3_ = nullptr;
    QPushButton *command1_ = nullptr, *command2_ = nullptr;
    QProgressBar *progressBar1_ = nullptr;
    PictureView *picture1_ = nullptr;
    QLabel *simulatedParts_ = nullptr;
    SaveFolderLabel *saveFolder_ = nullptr;
    QLabel *runProgress_ = nullptr; // what a run does now; hidden between runs

    QPointer<DeviceDialog> deviceDialog_;
    QPointer<OptionsDialog> optionsDialog_;
    QPointer<DirectoryDialog> directoryDialog_;
    QPointer<DeinterlaceWindow> deinterlaceWindow_;
    QPointer<HelpWindow> help_;
    QPointer<PictureDisplayWindow> pictureDisplay_;
    QPointer<SaveFormatDialog> saveFormat_;
    QPointer<OpticsWindow> optics_;
    QPointer<GuideLogWindow> guideLogWindow_;
    QPointer<GuideGraphWindow> guideGraph_;
    QPointer<CalibrationWindow> calibrationWindow_;
    QPointer<RehearsalWindow> rehearsal_;
    QPointer<AssistantWindow> assistant_;
    QPointer<GuidingSettingsDialog> guidingSettings_;
    QPointer<MessagesWindow> messagesWindow_;
    NightMessages messages_;

    QStringList notices_;
    FrameHeader lastFrameHeader_{};
    bool closeWhenStopped_ = false;
    QPointer<QMessageBox> closeQuestion_; // "Stop it and close?", while it stands open
    bool windowRecalled_ = false; // [window] was read: from now on closing keeps the entries
    uint16_t triedPortAddress_ = 0; // the printer port address last tried
    bool portWasReal_ = false;      // the real printer port took the bytes when last looked
    bool retryingPort_ = false;     // a retry is under way and tells its own outcome
};

} // namespace orvane
