#include "guide_log_reader.h"

#include <QRegularExpression>

#include <algorithm>
#include <cmath>

namespace orvane {

namespace {

const QString kStampFormat = QStringLiteral("yyyy-MM-dd hh:mm:ss");

QDateTime stampAfter(const QString &line, const QString &prefix)
{
    return QDateTime::fromString(line.mid(prefix.size()).trimmed().left(19), kStampFormat);
}

// The columns of the step rows, found by name in the column header.
struct Columns {
    int time = -1, mount = -1, dx = -1, dy = -1, ra = -1, dec = -1, raMs = -1, raDir = -1, decMs = -1, decDir = -1;
    int count = 0;

    static Columns of(const QStringList &names)
    {
        Columns c;
        c.count = int(names.size());
        const auto at = [&](const char *name) { return int(names.indexOf(QLatin1String(name))); };
        c.time = at("Time");
        c.mount = at("mount");
        c.dx = at("dx");
        c.dy = at("dy");
        c.ra = at("RARawDistance");
        c.dec = at("DECRawDistance");
        c.raMs = at("RADuration");
        c.raDir = at("RADirection");
        c.decMs = at("DECDuration");
        c.decDir = at("DECDirection");
        return c;
    }
    bool usable() const { return time >= 0 && mount >= 0 && dx >= 0 && dy >= 0; }
};

class Reader {
public:
    GuideLogContents out;

    void read(const QByteArray &text)
    {
        const QList<QByteArray> lines = text.split('\n');
        // A file that ends in a line break has an empty last piece; one that does not was cut mid-line.
        const bool cut = !text.isEmpty() && !text.endsWith('\n');
        for (int i = 0; i < lines.size(); ++i) {
            QByteArray raw = lines[i];
            if (raw.endsWith('\r'))
                raw.chop(1);
            const int number = i + 1;
            const bool last = i == lines.size() - 1;
            if (raw.contains('\0')) {
                stop(number, QStringLiteral("it holds bytes that are not text"));
                return;
            }
            if (!line(number, QString::fromUtf8(raw), cut && last))
                return;
        }
    }

private:
    GuideSession *session_ = nullptr;
    LoggedCalibration *calibration_ = nullptr;
    std::optional<Columns> columns_; // the session's column header has been read
    std::optional<double> settlingFrom_;

    void stop(int number, const QString &why)
    {
        closeSession();
        out.stoppedLine = number;
        out.stoppedWhy = QStringLiteral("line %1 cannot be read (%2): the log is read up to line %3.")
                             .arg(number)
                             .arg(why)
                             .arg(number - 1);
    }

    double lastSeconds() const { return session_ && !session_->steps.empty() ? session_->steps.back().seconds : 0; }

    void closeSession()
    {
        if (session_ && settlingFrom_)
            session_->settling.push_back({*settlingFrom_, lastSeconds(), false});
        settlingFrom_.reset();
        session_ = nullptr;
        columns_.reset();
    }

    bool line(int number, const QString &line, bool cutLast)
    {
        if (number == 1 && line.contains(QLatin1String("og version"))) {
            out.program = line.section(QRegularExpression(QStringLiteral("[,.] ")), 0, 0);
            return true;
        }
        if (line.startsWith(QLatin1String("Guiding Begins at "))) {
            closeSession();
            calibration_ = nullptr;
            GuideSession s;
            s.line = number;
            s.begins = stampAfter(line, QStringLiteral("Guiding Begins at "));
            s.calibration = int(out.calibrations.size()) - 1;
            out.sessions.push_back(std::move(s));
            session_ = &out.sessions.back();
            return true;
        }
        if (line.startsWith(QLatin1String("Calibration Begins at "))) {
            closeSession();
            LoggedCalibration c;
            c.line = number;
            c.begins = stampAfter(line, QStringLiteral("Calibration Begins at "));
            out.calibrations.push_back(std::move(c));
            calibration_ = &out.calibrations.back();
            return true;
        }
        if (session_)
            return sessionLine(number, line, cutLast);
        if (calibration_)
            return calibrationLine(number, line, cutLast);
        return true; // between sections: "Log closed at", blank lines, other guiders' notes
    }

    bool calibrationLine(int number, const QString &line, bool cutLast)
    {
        static const QRegularExpression row(QStringLiteral("^(West|East|North|South|Backlash|Left|Right|Up|Down),"));
        if (row.match(line).hasMatch()) {
            const QStringList f = csvFields(line);
            bool ok = f.size() >= 4;
            LoggedCalibrationStep step;
            if (ok) {
                bool a = false, b = false, c = false;
                step = {f[0], f[1].toInt(&a), f[2].toDouble(&b), f[3].toDouble(&c)};
                ok = a && b && c;
            }
            if (!ok) {
                stop(number, cutLast ? QStringLiteral("the file ends within it") : QStringLiteral("a calibration step that is not numbers"));
                return false;
            }
            calibration_->steps.push_back(step);
            return true;
        }
        if (line.contains(QLatin1String("calibration complete")) || line.startsWith(QLatin1String("Calibration guide speeds")) ||
            line.contains(QLatin1String("failed")) || line.startsWith(QLatin1String("Calibration complete"))) {
            calibration_->results << line;
            if (line.startsWith(QLatin1String("Calibration complete")))
                calibration_->complete = true;
            if (line.startsWith(QLatin1String("Calibration")) && !line.startsWith(QLatin1String("Calibration guide")))
                calibration_ = nullptr; // the section's last line
        }
        return true;
    }

    bool sessionLine(int number, const QString &line, bool cutLast)
    {
        if (line.startsWith(QLatin1String("Guiding Ends at "))) {
            session_->ends = stampAfter(line, QStringLiteral("Guiding Ends at "));
            closeSession();
            return true;
        }
        if (!columns_) {
            if (line.startsWith(QLatin1String("Frame,Time,"))) {
                columns_ = Columns::of(line.split(u','));
                if (!columns_->usable()) {
                    stop(number, QStringLiteral("the column header lacks Time, mount, dx or dy"));
                    return false;
                }
                return true;
            }
            header(line);
            return true;
        }
        if (line.startsWith(QLatin1String("INFO: "))) {
            info(line.mid(6));
            return true;
        }
        if (!line.isEmpty() && line[0].isDigit())
            return stepRow(number, line, cutLast);
        return true; // other notes inside a section
    }

    void header(const QString &line)
    {
        static const QRegularExpression scale(QStringLiteral("^Pixel scale = ([0-9.]+) arc-sec/px"));
        static const QRegularExpression lock(QStringLiteral("^Lock position = ([-0-9.]+, [-0-9.]+)"));
        if (const auto m = scale.match(line); m.hasMatch()) {
            bool ok = false;
            const double v = m.captured(1).toDouble(&ok);
            if (ok && v > 0)
                session_->arcsecPerPx = v;
        } else if (const auto l = lock.match(line); l.hasMatch() && session_->star.isEmpty()) {
            session_->star = l.captured(1);
        }
    }

    void info(const QString &text)
    {
        LoggedEvent e{LoggedEvent::Other, lastSeconds(), text};
        if (text.startsWith(QLatin1String("SETTLING STATE CHANGE, Settling started"))) {
            if (!settlingFrom_)
                settlingFrom_ = lastSeconds();
        } else if (text.startsWith(QLatin1String("SETTLING STATE CHANGE, Settling complete")) ||
                   text.startsWith(QLatin1String("SETTLING STATE CHANGE, Settling failed"))) {
            session_->settling.push_back({settlingFrom_.value_or(lastSeconds()), lastSeconds(), text.contains(QLatin1String("failed"))});
            settlingFrom_.reset();
        } else if (text.startsWith(QLatin1String("DITHER"))) {
            e.kind = LoggedEvent::Dither;
        } else if (text.startsWith(QLatin1String("Star lost"))) {
            e.kind = LoggedEvent::StarLost;
        } else if (text.startsWith(QLatin1String("Star found"))) {
            e.kind = LoggedEvent::StarFound;
        } else if (text.startsWith(QLatin1String("Frame saved as "))) {
            e.kind = LoggedEvent::FrameSaved;
        } else if (text.startsWith(QLatin1String("Guide star marked at ")) && session_->star.isEmpty()) {
            session_->star = text.mid(21);
        }
        session_->events.push_back(e);
    }

    bool stepRow(int number, const QString &line, bool cutLast)
    {
        const Columns &c = *columns_;
        const QStringList f = csvFields(line);
        // A step row has every column (other guiders add a message after a dropped frame's error code).
        if (f.size() < c.count - 1) {
            stop(number, cutLast ? QStringLiteral("the file ends within it")
                                 : QStringLiteral("a step row has %1 of %2 fields").arg(f.size()).arg(c.count));
            return false;
        }
        LoggedStep s;
        s.line = number;
        bool ok = false;
        s.seconds = f[c.time].toDouble(&ok);
        if (!ok || !std::isfinite(s.seconds)) {
            stop(number, QStringLiteral("its time is not a number"));
            return false;
        }
        s.lost = f[c.mount] == QLatin1String("DROP");
        if (!s.lost) {
            const auto field = [&](int column, double &into) {
                if (column < 0 || column >= f.size())
                    return true;
                bool good = false;
                into = f[column].isEmpty() ? 0 : f[column].toDouble(&good);
                return f[column].isEmpty() || (good && std::isfinite(into));
            };
            double raMs = 0, decMs = 0;
            if (!field(c.dx, s.dxPx) || !field(c.dy, s.dyPx) || !field(c.ra, s.raPx) || !field(c.dec, s.decPx) ||
                !field(c.raMs, raMs) || !field(c.decMs, decMs)) {
                stop(number, cutLast ? QStringLiteral("the file ends within it") : QStringLiteral("a step row holds a field that is not a number"));
                return false;
            }
            s.raMs = int(std::lround(raMs));
            s.decMs = int(std::lround(decMs));
            if (c.raDir >= 0 && c.raDir < f.size())
                s.raDirection = f[c.raDir];
            if (c.decDir >= 0 && c.decDir < f.size())
                s.decDirection = f[c.decDir];
        }
        session_->steps.push_back(s);
        return true;
    }
};

double rms(double sumSquares, int n) { return n > 0 ? std::sqrt(sumSquares / n) : 0; }

} // namespace

QStringList csvFields(const QString &line)
{
    QStringList fields;
    QString field;
    bool quoted = false;
    for (qsizetype i = 0; i < line.size(); ++i) {
        const QChar ch = line[i];
        if (quoted) {
            if (ch == u'"' && i + 1 < line.size() && line[i + 1] == u'"') {
                field += u'"';
                ++i;
            } else if (ch == u'"') {
                quoted = false;
            } else {
                field += ch;
            }
        } else if (ch == u'"') {
            quoted = true;
        } else if (ch == u',') {
            fields << field;
            field.clear();
        } else {
            field += ch;
        }
    }
    fields << field;
    return fields;
}

GuideLogContents readGuideLog(const QByteArray &text)
{
    Reader reader;
    reader.read(text);
    return reader.out;
}

SpanFigures spanFigures(const GuideSession &session, double fromS, double toS, bool leaveOutSettling)
{
    SpanFigures f;
    double sx = 0, sy = 0, sra = 0, sdec = 0;
    for (const LoggedStep &s : session.steps) {
        if (s.seconds < fromS || s.seconds > toS)
            continue;
        const bool settling = std::any_of(session.settling.begin(), session.settling.end(), [&](const LoggedSpan &span) {
            return s.seconds > span.fromS && s.seconds <= span.toS;
        });
        if (leaveOutSettling && settling) {
            ++f.settlingLeftOut;
            continue;
        }
        ++f.steps;
        if (s.lost) {
            ++f.lost;
            continue;
        }
        ++f.measured;
        sx += s.dxPx * s.dxPx;
        sy += s.dyPx * s.dyPx;
        sra += s.raPx * s.raPx;
        sdec += s.decPx * s.decPx;
        f.peakPx = std::max(f.peakPx, std::hypot(s.dxPx, s.dyPx));
    }
    f.rmsXPx = rms(sx, f.measured);
    f.rmsYPx = rms(sy, f.measured);
    f.rmsTotalPx = rms(sx + sy, f.measured);
    f.rmsRaPx = rms(sra, f.measured);
    f.rmsDecPx = rms(sdec, f.measured);
    return f;
}

std::vector<RecordedFrame> readFramesCsv(const QByteArray &text, QStringList &problems)
{
    std::vector<RecordedFrame> frames;
    const QList<QByteArray> lines = text.split('\n');
    if (lines.isEmpty())
        return frames;
    const QStringList names = csvFields(QString::fromUtf8(lines[0]).trimmed());
    const auto at = [&](const char *name) { return int(names.indexOf(QLatin1String(name))); };
    const int file = at("File"), start = at("UTC start"), end = at("UTC end"), rmsCol = at("RMS px"), peak = at("Peak px"),
              steps = at("Guide steps");
    if (file < 0 || start < 0 || end < 0 || rmsCol < 0) {
        problems << QStringLiteral("frames.csv line 1 is not its header (File, UTC start, UTC end, RMS px)");
        return frames;
    }
    for (int i = 1; i < lines.size(); ++i) {
        const QString line = QString::fromUtf8(lines[i]).trimmed();
        if (line.isEmpty())
            continue;
        const QStringList f = csvFields(line);
        RecordedFrame r;
        bool ok = f.size() >= names.size();
        if (ok) {
            r.file = f[file];
            r.utcStart = QDateTime::fromString(f[start], Qt::ISODateWithMs);
            r.utcEnd = QDateTime::fromString(f[end], Qt::ISODateWithMs);
            r.utcStart.setTimeSpec(Qt::UTC);
            r.utcEnd.setTimeSpec(Qt::UTC);
            r.rmsPx = f[rmsCol].toDouble(&ok);
            r.peakPx = peak >= 0 ? f[peak].toDouble() : 0;
            r.guideSteps = steps >= 0 ? f[steps].toInt() : 0;
            ok = ok && r.utcStart.isValid() && r.utcEnd.isValid();
        }
        if (!ok) {
            problems << QStringLiteral("frames.csv line %1 cannot be read; it is left out").arg(i + 1);
            continue;
        }
        frames.push_back(r);
    }
    return frames;
}

} // namespace orvane
