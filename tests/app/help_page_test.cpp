// The help page's list of messages against the messages the program shows: each
// message below must still be in the program's sources and on the page, so a
// message reworded in the code fails here until the page says it too.
#include "help_window.h"

#include <QDirIterator>
#include <QFile>
#include <QRegularExpression>
#include <QTextDocument>

#include <gtest/gtest.h>

using namespace orvane;

namespace {

// As written in the code; %1, %2 ... stand for what the message names.
const char *const kMessages[] = {
    // marking, looping, closing, remembering, saving in two formats
    "No star here: the brightest spot in the guide box stands %1 times above its noise, and [guide] minStarSnr "
    "asks for %2. A longer \"Guide sec\" or a lower minStarSnr helps; click the same place again to mark it anyway.",
    "Guide star marked at %1, %2", "Calibrating: the mount moves the star (Guide > Calibrate…)", "A sequence is running. Stop it and close Orvane?",
    "No star in the guide box", "The picture area is in use by %1; loop when it has finished.",
    "The loop stopped: %1", "No mount found on comm port %1 (%2, %3 baud): %4",
    "The image frame was saved as %1 only. %2", "Cannot save the FITS frame %1: %2.",
    "The save folder %1 of last time is not there any more; frames are saved in %2.",
    "The window's entries were not kept in %1: %2.",
    "The save format was not stored in %1: %2. Frames are saved as chosen until the program ends.",
    // rehearsals
    "corrections push the star further on x: DirLeft/DirRight look swapped",
    "corrections push the star further on y: DirUp/DirDown look swapped",
    "PixPerSec is about %1 the mount's guide rate: moves fall short",
    "PixPerSec is about %1 the mount's guide rate: moves overshoot",
    "the guide interval is too long for the drift: the star leaves the box", "star lost in %1 steps",
    "the exposure is longer than the star stays round without guiding", "The sequence refused to start: %1",
    "Told during the run: %1", "A sequence, the loop or a batch is running; rehearse when it has finished.",
    "The report is saved as %1 and %2.", "The rehearsal report cannot be saved in %1: %2",
    "Mount preset from the calibration of %1.", "No calibration yet: the mount is preset from %1.",
    // start-up
    "No Video Capture Device!", "Orvane cannot start: %1", "Simulated: %1",
    "Your user cannot open %1 (%2): it is not in the group %3. Run \"sudo usermod -aG %3 $USER\", then log out and in again.",
    "The printer port needs the ppdev driver: run \"sudo modprobe ppdev\".",
    "The settings folder %1 cannot be created.", "The default settings %1 cannot be read: %2.",
    "%1 cannot be written: %2.", "orvane: signal %1 received; ending in order",
    // settings files
    "The settings file %1 is missing.", "The settings file %1 cannot be read: %2.",
    "%1 line %2: the file ends after %3 lines; it needs %4.",
    "%1 line %2: a carriage return (CR) stands inside the line; the file's line ends must be CR LF or LF alone, not CR alone.",
    "%1 line %2: the byte 0x%3 is not text; the file is damaged or is not a settings file.",
    "%1 line %2: the line does not end within the first %3 bytes of the file; the file is damaged or is not a settings file.",
    "%1 line %2: %3 (the value of \"%4\").", "%1 does not fit %2 (%3..%4)", "%1 line %2: the text of \"%3\" %4. %5",
    "A direction text cannot hold \"#\", \":\" or a character outside printable ASCII, since the mount would read it as another command.",
    "The settings file %1 was not written: the text of \"%2\" %3.",
    "holds the character \"%1\", which the settings file cannot store",
    "holds the control character 0x%1, which the settings file cannot store", "which the mount would read as another command",
    "The settings file %1 cannot be written: %2.", "only %1 of %2 bytes could be written; the disk may be full",
    "; the file holds its old content again", "; its old content could not be put back either, so it is cut",
    "it is not a plain file, so it was left alone",
    "%1: [%2] %3: %4 is %5; using %6.", "%1 line %2", "not a number%1 from %2 to %3",
    "not a number%1 above %2 up to %3", "not a whole number%1 from %2 to %3", "neither true nor false",
    "not %1 or %2", "not one of %1", "not above blackPoint (%1)", "none (FITS frames leave it out)",
    "%1 line %2: [%3] appears a second time (first at line %4); its keys are read as if they stood in the first.",
    "%1 line %2: [%3] %4 appears a second time (first at line %5); the value on line %2 is used.",
    "%1 cannot be read: %2; every orvane.ini key keeps its default.", "it is a folder",
    "it holds %1 bytes, more than a settings file can",
    "%1 degrees away from a right angle to xAngleDeg (at most %2 will guide)",
    "%1 times slower than the other axis (at most %2 times will guide)", "no calibration (guiding uses Options)",
    "The picture display settings could not be kept in %1: %2.",
    // Options
    "%1 cannot be stored: %2. Enter %3.", "a whole number from %1 to %2",
    "%1: %2. A direction text cannot hold a comma, a double quote or a line break, since the settings file would not give it back.",
    "it holds a comma", "it holds a double quote", "it holds a line break", "%1: it %2. %3",
    "Comm Port: the serial device for port %1 cannot be stored in %2.",
    "The settings were not saved, and nothing was changed. %1",
    "%1 cannot be stored: %2 pixels per second would never end a correction. Enter a whole number from 1 to 2147483647.",
    "Testing comm port %1 ...", "%1: the mount answered %2.", "Comm port %1 (%2)",
    "%1: no answer within %2 ms. Is the mount switched on, its cable in and this the right port?",
    "Comm Port cannot be tested: %1. Enter %2.",
    "The running sequence holds the mount link; test it when the run has ended.",
    // Start refusals
    "\"%1\" holds %2; it must lie between -2147483 and 2147483 seconds.",
    "\"%1\" holds %2; %3 must last at least 0.001 seconds.",
    "\"Number of expsures\" holds %1; a sequence takes at most %2 exposures.",
    "\"File Name\" holds %1; a file name may not hold \"%2\", so that the frames stay in the save folder.",
    "The picture area is in use by %1; start the sequence when it has finished.", "The picture area is in use by %1.",
    // during a run
    "Mark Star", "Star lost", "deinterlace", "Ready", "The sequence stopped: %1",
    "The guide star is lost (%1 guide steps in a row without it in the guide box); the mount is not moved until it is back.",
    "A camera frame was not shown because %1 is using the picture area.",
    // camera
    "The webcam %1 (%2)", "%1 could not be opened: %2.", "%1 could not start (%2): %3.", "asking what it is",
    "listing its formats", "setting the format", "starting the stream", "%1 does not stream video.",
    "%1 could not start: its frames cannot be converted to pictures.", "%1 stopped answering: %2.",
    "%1 sent no new frame within %2 ms.", "%1 sent a frame that could not be read: %2.", "the frame was incomplete",
    "the frame size %1 x %2 is not usable", "the format converter could not be started", "%1 is not connected.",
    "%1 did not take %2 %3 x %4: %5.", "%1 could not stream %2 %3 x %4: %5.", "%1 did not take %2 = %3: %4.",
    "%1 did not report %2: %3.", "The capture device %1 cannot be used: %2", " Still using %1.",
    " Going back to %1 failed too: %2", "There is no video capture device to switch to.", "No capture device was selected.",
    "There is no capture device number %1.",
    "Using precise capture controls.\r\nPreRoll complete - Click OK to start capture immediately.",
    "The simulated camera always delivers 640 x 480 grey frames.",
    "The simulated camera's settings are in the [camera] group of orvane.ini.",
    "The simulated camera delivers uncompressed frames.",
    // mount
    "Can't find Telescope!",
    "Cannot open %1: there is no such device — is the adapter plugged in and the comm port number right?",
    "Permission denied opening %1 — is your user in the dialout group?",
    "Cannot open %1: the device is busy — another program is using it.", "Cannot open %1: %2.",
    "Comm port %1 names no serial port; use 0 for the simulated mount or 1 and up for a serial device.",
    "Comm port %1 names no serial device; use 1 or more for a serial port.",
    "The telescope link on %1 was lost: %2", "the port is closed.",
    "the device no longer takes data — is the cable unplugged or the mount switched off?",
    "The telescope link to %1 is closed (it opens when a sequence starts with guiding ticked); the command %2 was not sent.",
    "The link to the simulated mount is closed.",
    // INDI server
    "refused the connection (is indiserver running there?)", "cannot be found (the host name is unknown)",
    "did not answer in time", "cannot be reached: %1", "The INDI server at %1 %2.",
    "The INDI server at %1 closed the connection.", "The INDI server at %1 has no device \"%2\" (it has: %3).",
    "The INDI server at %1 has no device \"%2\".", "The INDI server at %1 listed no devices in time.",
    "The INDI server at %1 has no device \"%2\" (the guide camera orvane.ini names).",
    "The INDI server at %1 listed no camera within %2 s.", "The INDI server at %1 has not been asked for \"%2\" yet.",
    "The INDI device \"%1\" on %2 did not connect in time.", "The INDI %1 \"%2\" on %3 did not connect in time.",
    "The INDI camera \"%1\" on %2 is not connected.",
    "The INDI device \"%1\" on %2 has neither TELESCOPE_MOTION_NS/WE nor TELESCOPE_TIMED_GUIDE_NS/WE: it cannot guide.",
    "The INDI device \"%1\" on %2 has no %3 property: it is not a %4 Orvane can use.",
    "The link to INDI mount \"%1\" is closed.", "INDI mount \"%1\" at %2", "sent malformed XML (%1 at line %2)",
    "sent XML nested deeper than INDI messages go", "sent %1's property %2 as a %3 property, where a %4 property belongs",
    "sent a BLOB larger than the limit of %1", "announced a BLOB of %1, over the limit of %2", "; Orvane closed the connection",
    "Orvane cannot open a loopback port for the INDI server at %1: %2",
    "The INDI client library could not start for the server at %1.", "%1 (INDI, %2)",
    "An INDI camera does not use the printer-port bytes: the read-out asks the server for an exposure as long as the exposure byte was held.",
    "%1 Guide frames come from the guide camera \"%2\" on the same server.",
    "%1 is set up on its INDI server. %2", "%1 sent a frame that is not a FITS image (format \"%2\").",
    "%1 sent a FITS frame Orvane cannot read: %2", "The INDI %1 \"%2\" on %3 sent no frame within %4 s of a %5 s exposure.",
    "%1: [indi] maxMessageMegabytes=%2 is less than a frame of maxFrameMegabytes=%3 needs as sent; %4 is used.",
    "sent more than %1 updates the INDI client library cannot place (of properties or elements never defined, or without a state)", "sent a property without a device or a name",
    "defined more than %1 properties, the limit of [indi] maxProperties",
    "defined more than %1 property elements, %2 for each of [indi] maxProperties",
    "sent more than %1 per second for too long, over the limit of [indi] maxMegabytesPerSecond",
    "sent a message larger than %1, the limit of [indi] maxMessageMegabytes",
    "The INDI device \"%1\" on %2 deleted %3 while the mount moved %4; Orvane sent the stop to it%5.",
    "%1 \"%2\" names no INDI server: write host:port, e.g. 127.0.0.1:7624.",
    "%1 \"%2\" has no TCP port number (1 to 65535) after the colon.",
    "\"%1\" names no INDI device: write indi://host:port/Device Name.",
    "\"%1\" is not an INDI address: it must begin with indi://.",
    // printer port
    "%1 The camera lines are simulated.", "%1 The camera lines stay simulated.",
    "%1 The camera lines are simulated from now on.", "The printer port at 0x%1 works now: the camera lines are real.",
    "No printer port driver on this computer.",
    "Cannot list the printer ports: %1.", "No printer port for address %1 on this computer.",
    "The printer port %1 has no /dev/parport device — is the ppdev kernel module loaded?",
    "Permission denied opening %1 — is your user in the lp group?", "Cannot open the printer port %1: %2.",
    "Cannot claim the printer port %1: %2 — is another program using it?", "The printer port is not open.",
    // files
    "%1 is there already; this frame is saved as %2 and the numbering goes on from there.",
    "The guide log cannot be written in %1: %2. Guiding goes on without it.",
    "frames.csv in %1 cannot be written: %2. The frames themselves are saved.", "The image frame was not saved. %1", "The image frame was not saved to %1: the picture area is in use by %2.",
    "The image frame was not saved to %1: the camera delivered no picture for it.",
    "Cannot load the picture %1: %2.", "the file does not exist", "it is a folder, not a picture file",
    "it is not a plain file", "the file is too large to be a picture (%1 bytes)",
    "the file is cut short, %1 bytes of its pixels are missing", "the file is not a picture in a known format",
    "Cannot load a picture: no file name was given.", "Cannot save the picture: no file name was given.",
    "Cannot save the picture %1: %2.", "a folder of that name is in the way",
    "A picture cannot be loaded now: the picture area is in use by %1.", "You cannot save frames in %1: %2.",
    "it does not exist", "it is not a directory", "the file system is read-only", "permission denied",
    "Cannot open %1: it does not exist.", "Cannot open %1: it is not a directory.", "Cannot open %1: permission denied.",
    "The folder %1 does not exist; choose or make another.", "%1 is not a folder; choose another.",
    "Cannot make the folder %1: %2.", "it exists already", "the disk is full", "the directory it would go in is gone",
    "A new folder needs a name.", "Cannot make the folder \"%1\": a name cannot be \".\" or \"..\" or hold \"/\".",
    "%1 exists already. Replace it?",
    // guiding settings, dithering
    "\"%1\" holds \"%2\", which is %3; the guiding settings were not changed.",
    "The guiding settings were not stored in %1: %2. They hold until the program ends.",
    "The star did not settle within %1 px of its dithered place in %2 s; the next exposure starts all the same.",
    "settling after dithering",
    // calibration
    "Mark the guide star, then Start.", "Calibrating: the star is measured at the start",
    "%1 step %2: %3 px from where it began", "%1 steps measured",
    "Mark the guide star first: click it on a picture (Imaging > Loop shows one).",
    "A sequence is running; calibrate when it has ended.", "The loop is running; stop it, then calibrate.",
    "The picture area is in use by %1; calibrate when it has finished.",
    "Calibration failed: %1 Nothing was changed.",
    "No mount answered on comm port %1 (%2) within %3 ms: is it switched on, its cable in and this the right port?",
    "The guide star was lost at %1: is a cloud passing, or did the star leave the guide box?",
    "The camera delivered no guide frame at %1.",
    "The star did not move when the mount was sent %1 and %2 (%3 px/s): is the mount answering, and is guiding "
    "switched on at the mount?",
    "The %1 axis (%2, %3) moves the star %4 times slower than the %5 axis (%6 against %7 px/s; at most %8 times will "
    "guide): is that axis clamped, or its guide rate set low at the mount?",
    "The mount's two axes move the star %1 degrees away from a right angle (at most %2 will guide): a star may have "
    "been mistaken for another, or the mount slipped; calibrate again.",
    "The mount moves the star %1 degrees askew of the picture's edges (at most %2 will guide one axis at a time): turn "
    "the camera on the telescope until the picture has turned %3 degrees %4, then calibrate again, or choose a guide "
    "algorithm that corrects both axes at once.",
    "Calibration was stopped.", "Calibration stopped; nothing was changed.",
    "The calibration was not applied, and nothing was changed. %1",
    "Options is open: close it first, so that its DONE does not put the old letters back; then Apply.",
    "\nApplied: the direction letters and Pixels/Sec are in Options and orvane.cfg, the axes in orvane.ini.",
    "This mount was never calibrated: guiding uses the direction letters and Pixels/Sec of Options. Guide > "
    "Calibrate… measures them with the star marked.",
    // choosing the star, second looks at a calibration, the centroid way after it
    "There is no picture to look for a star in: take one first (Imaging > Loop).",
    "No star stands out of the noise anywhere in the picture: check the focus and that the camera sees the sky, or "
    "lengthen \"Guide sec\".",
    "No star here suits guiding: of the spots that stand out, %1. Move to another field, or mark a star by clicking it.",
    "Guide star chosen at %1, %2: it stands %3 times above the noise.",
    "%1 took only %2 steps (at least %3 give a sure rate): lower Pixels/Sec in Options or raise Calibrate over, then "
    "calibrate again.",
    "At declination %1 degrees RA should move the star at about %2 px/s (Dec's %3 times cos(Dec)), but it moved %4 "
    "px/s: is the declination right, or do the mount's two guide rates differ?",
    "This calibration differs from the last one (%1): %2. Was the camera turned or the guide rate changed? If not, a "
    "star may have been mistaken for another.",
    "Discarded: nothing was changed.", "Discarded: guiding keeps the calibration of %1.",
    "Guiding takes the centroid way from now on.",
    "The centroid way was not chosen: %1 Guiding settings… can choose it.", "The declination was not kept: %1",
    // the guiding assistant
    "The guiding assistant is watching the star; calibrate when it has finished.",
    "A calibration is running; watch when it has ended.", "The camera delivered no guide frame; the watch ended.",
    "The star was lost during the watch: is a cloud passing?", "The watch ended before enough frames were seen.",
    "Applied: Guide sec and Guiding settings hold the values recommended.",
    "The recommended values were not applied: %1",
    "Dec backlash: not measured. %1", "The backlash test needs the mount: %1",
    "The star did not move %1 px in %2 s of north drive: is the mount connected, and does its Dec axis move?",
    "The star did not come back within %1 s of south drive: the Dec backlash is longer than that, or the axis does "
    "not move south.",
    "The star was lost during the backlash test (%1): is a cloud passing, or did it leave the guide box?",
    "The camera delivered no guide frame during the backlash test.",
    // guide darks
    "Cover the telescope (or the camera): Orvane takes %1 guide frames of %2 s for the guide darks, about %3 s in "
    "all. Take them now?",
    "The camera is in use (a run, the loop, a calibration or a batch); take guide darks when it is free.",
    "Guide darks of %1 s taken: the guide frames have them taken off and %2 hot pixels masked from now on. %3",
    "Kept in %1.", "The guide darks were not kept: %1",
    "The guide darks were taken at %1 s, but the guide frames are now %2 s, so the darks are not taken off them. For "
    "new ones: cover the telescope and choose Guide > Take guide darks… (they are taken at \"Guide sec\").", "The guide darks %1 cannot be read: %2.",
    "The guide darks %1 cannot be used: %2; take them again (Guide > Take guide darks…).",
    "it is not a guide dark file", "it was written by another version", "its size or exposure is out of range",
    "it is cut short or too long", "it holds a level that is not a number",
    "The camera delivered no frame for guide dark %1 of %2; no darks were kept.",
    "The guide darks came in different sizes; no darks were kept.",
    "The guide darks show stars or light: cover the telescope (or the camera) and take them again; no darks were kept.",
    // deinterlace
    "%1Files selected %2", "Deinterlacing", "File %1/%2", "Stopped at %1",
    "The files were not deinterlaced: the picture area is in use by %1.",
    "No new batch can start now: the picture area is in use by %1.",
    "Not available while the picture area is in use by %1.",
    // the guider server
    "Guider server on %1:%2, %3 %4",
    "%1 refused: %2 in Orvane; clients may watch until it has ended",
    "The guider server cannot listen on %1:%2: %3. Another guider may be running there; set [server] port in "
    "orvane.ini to another port.",
    "Orvane is guiding for %1; Stop ends that, then Loop.",
};

// Every string literal of the program's sources, unescaped; literals that follow
// each other with only blanks between (one sentence over several lines) are one.
QStringList sourceLiterals()
{
    QStringList literals;
    for (const char *folder : {"app", "control", "core", "devices", "display", "guiding", "pictures", "platform",
                               "rehearsal", "sequence", "settings", "ui", "guider_server"}) {
        QDirIterator files(QStringLiteral(ORVANE_SOURCE_DIR "/%1").arg(QLatin1String(folder)), {"*.cpp", "*.h"},
                           QDir::Files, QDirIterator::Subdirectories);
        while (files.hasNext()) {
            QFile file(files.next());
            EXPECT_TRUE(file.open(QIODevice::ReadOnly)) << file.fileName().toStdString();
            const QString code = QString::fromUtf8(file.readAll());
            qsizetype lastEnd = -1; // the closing quote of the literal before
            for (qsizetype i = 0; i >= 0 && i < code.size(); ++i) {
                if (code.mid(i, 2) == u"//")
                    i = code.indexOf(u'\n', i);
                else if (code.mid(i, 2) == u"/*")
                    i = code.indexOf(u"*/", i);
                else if (code[i] == u'\'')
                    i += code.mid(i + 1, 1) == u"\\" ? 3 : 2; // a character literal such as '"'
                if (i < 0 || i >= code.size() || code[i] != u'"')
                    continue;
                const qsizetype start = i;
                QString text;
                for (++i; i < code.size() && code[i] != u'"'; ++i) {
                    if (code[i] == u'\\' && ++i < code.size())
                        text += code[i] == u'n' ? QChar(u'\n') : code[i] == u'r' ? QChar(u'\r') : code[i];
                    else
                        text += code[i];
                }
                if (lastEnd >= 0 && code.mid(lastEnd + 1, start - lastEnd - 1).trimmed().isEmpty())
                    literals.last() += text;
                else
                    literals.append(text);
                lastEnd = i;
            }
        }
    }
    return literals;
}

const QRegularExpression kPlaceholder(QStringLiteral("%\\d"));

// The message with each %N matching what the page puts there (<file>, a number),
// and each run of blanks or line breaks matching any other.
QRegularExpression asShownOnThePage(const QString &message)
{
    QStringList pieces;
    for (const QString &piece : message.split(kPlaceholder)) {
        QStringList words = piece.split(QRegularExpression(QStringLiteral("\\s+")));
        for (QString &word : words)
            word = QRegularExpression::escape(word);
        pieces << words.join(QStringLiteral("\\s+"));
    }
    return QRegularExpression(pieces.join(QStringLiteral(".+?")), QRegularExpression::UseUnicodePropertiesOption);
}

} // namespace

TEST(HelpPage, ListsEveryMessageTheProgramShows)
{
    const QStringList literals = sourceLiterals();
    QTextDocument page;
    page.setHtml(helpPageHtml(QStringLiteral("/settings/orvane.cfg"), QStringLiteral("/settings/orvane.ini")));
    const QString shown = page.toPlainText();
    for (const char *message : kMessages) {
        const QString text = QString::fromUtf8(message);
        for (const QString &piece : text.split(kPlaceholder, Qt::SkipEmptyParts))
            EXPECT_TRUE(std::any_of(literals.begin(), literals.end(), [&](const QString &l) { return l.contains(piece); }))
                << "no longer in the code: \"" << piece.toStdString() << "\" of " << message;
        EXPECT_TRUE(asShownOnThePage(text).match(shown).hasMatch()) << "not on the help page: " << message;
    }
    EXPECT_TRUE(shown.contains(QStringLiteral("/settings/orvane.cfg")));
}
