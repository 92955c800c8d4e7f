#include "guide_log_window.h"

#include "calibration_plot.h"
#include "guide_chart.h"
#include "optics.h"

#include <QChart>
#include <QComboBox>
#include <QDir>
#include <QDoubleSpinBox>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QLegend>
#include <QLegendMarker>
#include <QLineSeries>
#include <QListWidget>
#include <QPushButton>
#include <QSplitter>
#include <QStackedWidget>
#include <QValueAxis>
#include <QVBoxLayout>

#include <cmath>

namespace orvane {

namespace {

constexpr qint64 kMostLogBytes = 256LL << 20; // a guide log of a long night is a few MB

QString minutesText(double seconds)
{
    const long s = std::lround(seconds);
    return QStringLiteral("%1:%2").arg(s / 60).arg(s % 60, 2, 10, QChar('0'));
}

// A correction bar points up for W and N, down for E and S.
int16_t sign(const QString &letter)
{
    return letter == QLatin1String("E") || letter == QLatin1String("S") ? -1 : 1;
}

QByteArray readAtMost(const QString &path, QString &problem)
{
    QFile file(path);
    if (!QFileInfo(path).isFile()) {
        problem = QStringLiteral("%1 is not a file").arg(path);
        return {};
    }
    if (!file.open(QIODevice::ReadOnly)) {
        problem = QStringLiteral("%1 cannot be read: %2").arg(path, file.errorString());
        return {};
    }
    return file.read(kMostLogBytes);
}

} // namespace

QString spanFiguresLine(const SpanFigures &f, std::optional<double> scale)
{
    // As the guide graph words a run's figures.
    QString text = QStringLiteral("x %1, y %2, total %3; peak %4; %5 steps, %6 without the star")
                       .arg(pxAndArcsec(f.rmsXPx, scale), pxAndArcsec(f.rmsYPx, scale),
                            pxAndArcsec(f.rmsTotalPx, scale), pxAndArcsec(f.peakPx, scale))
                       .arg(f.steps)
                       .arg(f.lost);
    if (f.settlingLeftOut > 0)
        text += QStringLiteral("; %1 settling steps left out").arg(f.settlingLeftOut);
    return text;
}

GuideLogWindow::GuideLogWindow(QWidget *parent) : QWidget(parent, Qt::Window)
{
    setObjectName(QStringLiteral("guideLog"));
    setWindowTitle(QStringLiteral("Guide log"));

    open_ = new QPushButton(QStringLiteral("Open\u2026"), this);
    open_->setObjectName(QStringLiteral("open"));
    export_ = new QPushButton(QStringLiteral("Export PNG\u2026"), this);
    export_->setObjectName(QStringLiteral("exportPng"));
    axes_ = new QComboBox(this);
    axes_->setObjectName(QStringLiteral("axes"));
    axes_->addItems({QStringLiteral("dx/dy"), QStringLiteral("RA/Dec")});
    status_ = new QLabel(QStringLiteral("No log open"), this);
    status_->setObjectName(QStringLiteral("status"));
    status_->setWordWrap(true);
    auto *top = new QHBoxLayout;
    top->addWidget(open_);
    top->addWidget(axes_);
    top->addWidget(export_);
    top->addWidget(status_, 1);

    rows_ = new QListWidget(this);
    rows_->setObjectName(QStringLiteral("sections"));
    framesList_ = new QListWidget(this);
    framesList_->setObjectName(QStringLiteral("frames"));
    auto *left = new QSplitter(Qt::Vertical, this);
    left->addWidget(rows_);
    left->addWidget(framesList_);

    chart_ = new GuideChart(this);
    plot_ = new CalibrationPlot(this);
    views_ = new QStackedWidget(this);
    views_->addWidget(chart_);
    views_->addWidget(plot_);

    from_ = new QDoubleSpinBox(this);
    from_->setObjectName(QStringLiteral("spanFrom"));
    to_ = new QDoubleSpinBox(this);
    to_->setObjectName(QStringLiteral("spanTo"));
    for (QDoubleSpinBox *box : {from_, to_}) {
        box->setDecimals(1);
        box->setRange(0, 24 * 60);
        box->setSuffix(QStringLiteral(" min"));
    }
    sessionText_ = new QLabel(this);
    sessionText_->setObjectName(QStringLiteral("sessionFigures"));
    spanText_ = new QLabel(this);
    spanText_->setObjectName(QStringLiteral("spanFigures"));
    for (QLabel *label : {sessionText_, spanText_})
        label->setTextInteractionFlags(Qt::TextSelectableByMouse);
    auto *span = new QHBoxLayout;
    span->addWidget(new QLabel(QStringLiteral("Span from"), this));
    span->addWidget(from_);
    span->addWidget(new QLabel(QStringLiteral("to"), this));
    span->addWidget(to_);
    span->addStretch();

    auto *right = new QWidget(this);
    auto *rightLayout = new QVBoxLayout(right);
    rightLayout->setContentsMargins(0, 0, 0, 0);
    rightLayout->addWidget(views_, 1);
    rightLayout->addWidget(sessionText_);
    rightLayout->addLayout(span);
    rightLayout->addWidget(spanText_);

    auto *split = new QSplitter(Qt::Horizontal, this);
    split->addWidget(left);
    split->addWidget(right);
    split->setStretchFactor(1, 3);
    left->setMinimumWidth(340); // the lists' lines stay readable beside the chart
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(split, 1);

    connect(open_, &QPushButton::clicked, this, &GuideLogWindow::chooseFile);
    connect(export_, &QPushButton::clicked, this, [this] {
        auto *dialog = new QFileDialog(this, QStringLiteral("Export the graph as PNG"), QString(),
                                       QStringLiteral("PNG pictures (*.png)"));
        dialog->setAttribute(Qt::WA_DeleteOnClose);
        dialog->setAcceptMode(QFileDialog::AcceptSave);
        dialog->setDefaultSuffix(QStringLiteral("png"));
        connect(dialog, &QFileDialog::fileSelected, this, [this](const QString &path) { exportPng(path); });
        dialog->open();
    });
    connect(axes_, &QComboBox::currentIndexChanged, this, [this](int index) { showRaDec(index == 1); });
    connect(rows_, &QListWidget::currentRowChanged, this, &GuideLogWindow::showRow);
    const auto spanChanged = [this] { setSpan(from_->value(), to_->value()); };
    connect(from_, &QDoubleSpinBox::valueChanged, this, spanChanged);
    connect(to_, &QDoubleSpinBox::valueChanged, this, spanChanged);
    resize(1100, 640);
}

GuideLogWindow::~GuideLogWindow() = default;

void GuideLogWindow::chooseFile()
{
    auto *dialog = new QFileDialog(this, QStringLiteral("Open guide log"), QString(),
                                   QStringLiteral("Guide logs (*.txt *.log);;All files (*)"));
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->setFileMode(QFileDialog::ExistingFile);
    connect(dialog, &QFileDialog::fileSelected, this, [this](const QString &path) { openFile(path); });
    dialog->open();
}

bool GuideLogWindow::openFile(const QString &path)
{
    QString problem;
    const QByteArray text = readAtMost(path, problem);
    if (!problem.isEmpty()) {
        status_->setText(problem + QStringLiteral("."));
        return false;
    }
    log_ = readGuideLog(text);
    // frames.csv of the same night: beside the log, or in the save folder above its guide-logs folder.
    frames_.clear();
    framesProblems_.clear();
    const QDir folder = QFileInfo(path).absoluteDir();
    for (const QString &csv : {folder.filePath(QStringLiteral("frames.csv")), folder.filePath(QStringLiteral("../frames.csv"))}) {
        if (QFileInfo(csv).isFile()) {
            QString unreadable;
            frames_ = readFramesCsv(readAtMost(csv, unreadable), framesProblems_);
            break;
        }
    }
    QStringList status{QStringLiteral("%1: %2, %3 guiding sessions, %4 calibrations")
                           .arg(QFileInfo(path).fileName(), log_.program.isEmpty() ? QStringLiteral("no program named") : log_.program)
                           .arg(log_.sessions.size())
                           .arg(log_.calibrations.size())};
    if (log_.stoppedLine > 0)
        status << QStringLiteral("The log is damaged or cut: ") + log_.stoppedWhy;
    status << framesProblems_;
    status_->setText(status.join(u'\n'));
    setWindowTitle(QStringLiteral("Guide log - %1").arg(QFileInfo(path).fileName()));

    rows_->blockSignals(true);
    rows_->clear();
    for (const LoggedCalibration &c : log_.calibrations)
        rows_->addItem(QStringLiteral("Calibration %1, %2 steps%3")
                           .arg(c.begins.toString(QStringLiteral("yyyy-MM-dd hh:mm:ss")))
                           .arg(c.steps.size())
                           .arg(c.complete ? QString() : QStringLiteral(", not complete")));
    for (const GuideSession &s : log_.sessions) {
        const QString calibration = s.calibration >= 0
                                        ? log_.calibrations[size_t(s.calibration)].begins.toString(QStringLiteral("hh:mm"))
                                        : QStringLiteral("none in this log");
        rows_->addItem(QStringLiteral("Guiding %1, %2 min, star %3, calibration %4")
                           .arg(s.begins.toString(QStringLiteral("yyyy-MM-dd hh:mm:ss")), minutesText(s.lengthS()),
                                s.star.isEmpty() ? QStringLiteral("not said") : s.star, calibration));
    }
    rows_->blockSignals(false);
    session_ = -1;
    if (!log_.sessions.empty())
        rows_->setCurrentRow(int(log_.calibrations.size()));
    else if (!log_.calibrations.empty())
        rows_->setCurrentRow(0);
    return true;
}

void GuideLogWindow::showRow(int row)
{
    const int calibrations = int(log_.calibrations.size());
    if (row < 0)
        return;
    if (row < calibrations) {
        session_ = -1;
        plot_->clear();
        for (const LoggedCalibrationStep &s : log_.calibrations[size_t(row)].steps)
            plot_->addStep({s.direction, s.direction.left(1).toLower(), s.step, {s.dxPx, s.dyPx}, {}});
        views_->setCurrentWidget(plot_);
        sessionText_->setText(log_.calibrations[size_t(row)].results.join(u'\n'));
        spanText_->clear();
        framesList_->clear();
        return;
    }
    session_ = row - calibrations;
    if (session_ >= int(log_.sessions.size())) {
        session_ = -1;
        return;
    }
    views_->setCurrentWidget(chart_);
    const GuideSession &s = log_.sessions[size_t(session_)];
    // The night's frames that fall in this session, as spans in its minutes.
    sessionFrames_.clear();
    framesList_->clear();
    const QDateTime begins = s.begins.toUTC();
    for (const RecordedFrame &f : frames_) {
        const double from = begins.msecsTo(f.utcStart) / 60000.0, to = begins.msecsTo(f.utcEnd) / 60000.0;
        if (to < 0 || from > s.lengthS() / 60 + 0.5)
            continue;
        sessionFrames_.push_back({f, from, to});
        const SpanFigures inLog = spanFigures(s, from * 60, to * 60, false);
        framesList_->addItem(QStringLiteral("%1: RMS %2, peak %3 (%4 guide steps; in the log %5)")
                                 .arg(f.file, pxAndArcsec(f.rmsPx, s.arcsecPerPx), pxAndArcsec(f.peakPx, s.arcsecPerPx))
                                 .arg(f.guideSteps)
                                 .arg(pxAndArcsec(inLog.rmsTotalPx, s.arcsecPerPx)));
    }
    plotSession();
    from_->blockSignals(true);
    to_->blockSignals(true);
    from_->setValue(0);
    to_->setValue(std::ceil(s.lengthS() / 6) / 10);
    from_->blockSignals(false);
    to_->blockSignals(false);
    showFigures();
}

void GuideLogWindow::plotSession()
{
    if (session_ < 0)
        return;
    const GuideSession &s = log_.sessions[size_t(session_)];
    QChart *chart = chart_->chart();
    // The spans of the last session shown go; the chart's own curves stay.
    for (QAbstractSeries *series : chart->series())
        if (series->property("span").toBool()) {
            chart->removeSeries(series);
            delete series;
        }
    chart_->resetRanges();
    GuideChart::Points points;
    for (const LoggedStep &l : s.steps) {
        GuideStep step;
        step.starFound = !l.lost;
        step.dxPx = raDec_ ? l.raPx : l.dxPx;
        step.dyPx = raDec_ ? l.decPx : l.dyPx;
        step.directionX = l.raDirection.toLower();
        step.moveXMs = l.raMs;
        step.dirX = sign(l.raDirection);
        step.directionY = l.decDirection.toLower();
        step.moveYMs = l.decMs;
        step.dirY = sign(l.decDirection);
        chart_->addPoints(points, l.seconds / 60, step);
    }
    chart_->replace(std::move(points));
    const double right = std::max(1.0, std::ceil(s.lengthS() / 60));
    chart_->setTimeRange(0, right, right > 30 ? 10 : right > 10 ? 2 : 1);
    for (QAbstractSeries *series : chart->series()) {
        const QString name = series->name();
        if (name == QLatin1String("dx") || name == QLatin1String("RA"))
            series->setName(raDec_ ? QStringLiteral("RA") : QStringLiteral("dx"));
        else if (name == QLatin1String("dy") || name == QLatin1String("Dec"))
            series->setName(raDec_ ? QStringLiteral("Dec") : QStringLiteral("dy"));
    }
    addSpans();
}

void GuideLogWindow::addSpans()
{
    const GuideSession &s = log_.sessions[size_t(session_)];
    QChart *chart = chart_->chart();
    QValueAxis *time = nullptr, *drift = nullptr;
    for (QAbstractAxis *axis : chart->axes())
        if (auto *value = qobject_cast<QValueAxis *>(axis)) {
            if (value->titleText() == QLatin1String("minutes"))
                time = value;
            else if (value->titleText().startsWith(QLatin1String("drift")))
                drift = value;
        }
    if (!time || !drift)
        return;
    const auto band = [&](double from, double to, double y, const QColor &colour, const QString &name, bool legend) {
        auto *line = new QLineSeries;
        line->setProperty("span", true);
        line->setName(name);
        line->append(from, y);
        line->append(to, y);
        QPen pen(colour);
        pen.setWidth(6);
        pen.setCapStyle(Qt::FlatCap);
        line->setPen(pen);
        chart->addSeries(line);
        line->attachAxis(time);
        line->attachAxis(drift);
        if (!legend)
            for (auto *marker : chart->legend()->markers(line))
                marker->setVisible(false);
    };
    const double low = drift->min() * 0.92, high = drift->max() * 0.92;
    for (size_t i = 0; i < s.settling.size(); ++i)
        band(s.settling[i].fromS / 60, s.settling[i].toS / 60, low,
             s.settling[i].failed ? QColor(0xd0, 0x30, 0x30) : QColor(0xe0, 0xa0, 0x20), QStringLiteral("settling"), i == 0);
    for (size_t i = 0; i < sessionFrames_.size(); ++i)
        band(sessionFrames_[i].fromMin, sessionFrames_[i].toMin, high,
             i % 2 ? QColor(0x60, 0x60, 0x60) : QColor(0xa0, 0xa0, 0xa0), QStringLiteral("frames saved"), i == 0);
}

void GuideLogWindow::showRaDec(bool raDec)
{
    raDec_ = raDec;
    if (axes_->currentIndex() != int(raDec))
        axes_->setCurrentIndex(int(raDec));
    plotSession();
}

void GuideLogWindow::setSpan(double fromMin, double toMin)
{
    if (from_->value() != fromMin || to_->value() != toMin) {
        from_->blockSignals(true);
        to_->blockSignals(true);
        from_->setValue(fromMin);
        to_->setValue(toMin);
        from_->blockSignals(false);
        to_->blockSignals(false);
    }
    showFigures();
}

void GuideLogWindow::showFigures()
{
    if (session_ < 0) {
        sessionText_->clear();
        spanText_->clear();
        return;
    }
    const GuideSession &s = log_.sessions[size_t(session_)];
    const SpanFigures whole = spanFigures(s, 0, s.lengthS(), true);
    const SpanFigures withSettling = spanFigures(s, 0, s.lengthS(), false);
    sessionText_->setText(QStringLiteral("Session: RMS %1\nSettling left out: %2 steps; with them the total is %3")
                              .arg(spanFiguresLine(whole, s.arcsecPerPx))
                              .arg(whole.settlingLeftOut)
                              .arg(pxAndArcsec(withSettling.rmsTotalPx, s.arcsecPerPx)));
    const SpanFigures span = spanFigures(s, from_->value() * 60, to_->value() * 60, true);
    spanText_->setText(QStringLiteral("Span %1 to %2 min: RMS %3 (settling left out: %4 steps)")
                           .arg(from_->value(), 0, 'f', 1)
                           .arg(to_->value(), 0, 'f', 1)
                           .arg(spanFiguresLine(span, s.arcsecPerPx))
                           .arg(span.settlingLeftOut));
}

bool GuideLogWindow::exportPng(const QString &path)
{
    const bool saved = views_->currentWidget()->grab().save(path, "PNG");
    if (!saved)
        status_->setText(QStringLiteral("The graph could not be saved as %1.").arg(path));
    return saved;
}

QString GuideLogWindow::statusText() const { return status_->text(); }
QString GuideLogWindow::sessionFiguresText() const { return sessionText_->text(); }
QString GuideLogWindow::spanFiguresText() const { return spanText_->text(); }

QStringList GuideLogWindow::framesListed() const
{
    QStringList out;
    for (int i = 0; i < framesList_->count(); ++i)
        out << framesList_->item(i)->text();
    return out;
}

QStringList GuideLogWindow::rowsListed() const
{
    QStringList out;
    for (int i = 0; i < rows_->count(); ++i)
        out << rows_->item(i)->text();
    return out;
}

} // namespace orvane
