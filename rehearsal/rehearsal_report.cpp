// The rehearsal's report as plain text, as the window shows it and saves it.
#include "rehearsal_findings.h"

#include <QTextStream>

namespace orvane {

namespace {

QString minutesText(uint32_t ms)
{
    const uint32_t s = ms / 1000;
    return QStringLiteral("%1:%2:%3").arg(s / 3600).arg(s / 60 % 60, 2, 10, QChar('0')).arg(s % 60, 2, 10, QChar('0'));
}

QString cloudsText(const SkyMotion &sky)
{
    if (sky.cloudLengthS <= 0)
        return QStringLiteral("none");
    QString text = QStringLiteral("the star hidden for %1 s from %2 s").arg(sky.cloudLengthS).arg(sky.cloudStartS);
    if (sky.cloudEveryS > 0)
        text += QStringLiteral(", again every %1 s").arg(sky.cloudEveryS);
    return text;
}

} // namespace

QString reportText(const RehearsalPlan &plan, const RehearsalRun &run, const RehearsalFindings &f, double wallSeconds)
{
    QString text;
    QTextStream out(&text);
    const Settings &s = plan.settings;
    out << "Rehearsal: " << plan.frameCount << " exposures of " << plan.exposure << " s, "
        << (plan.guidingTicked ? QStringLiteral("guided every %1 s").arg(plan.guide) : QStringLiteral("unguided"))
        << "; letters up " << s.DirUp << ", down " << s.DirDown << ", left " << s.DirLeft << ", right " << s.DirRight
        << "; PixPerSec " << s.PixPerSec << "; guide box " << s.GuideBoxSize << " px\n";
    const SkyMotion &sky = plan.sky;
    out << "Assumed: drift x " << sky.driftXPxPerMin << " px/min, y " << sky.driftYPxPerMin
        << " px/min; periodic error " << sky.periodicErrorPx << " px over " << sky.periodicErrorPeriodS
        << " s; seeing " << QString::number(plan.camera.sensor.psfSigmaPx * 2.3548200450309493, 'f', 1)
        << " px FWHM; mount guide rate " << plan.mount.guideRatePxPerSec << " px/s; camera angle "
        << plan.mount.cameraAngleDeg << " deg; clouds: " << cloudsText(sky) << "\n";
    out << "Simulated " << minutesText(run.simulatedMs) << " in " << QString::number(wallSeconds, 'f', 1) << " s"
        << (run.stopped ? QStringLiteral(" (stopped early)") : QString()) << "\n\n";
    for (const QString &refusal : run.refusals)
        out << "The sequence refused to start: " << refusal << "\n";

    out << "Guided RMS: " << driftFigures(f.guiding, guideScale(plan.optics)) << "\n";
    if (!run.settles.empty())
        out << "Settling after " << run.settles.size() << " dithers: " << QString::number(f.settlingS, 'f', 0) << " s, "
            << QString::number(f.settlingShare * 100, 'f', 1) << "% of the night (mean "
            << QString::number(f.settlingS / double(run.settles.size()), 'f', 1) << " s)\n";
    out << "Frames that would be spoiled: ";
    if (f.spoiled.empty())
        out << "none";
    for (size_t i = 0; i < f.spoiled.size(); ++i)
        out << (i ? ", " : "") << f.spoiled[i] << " (" << f.spoiledWhy[int(i)] << ")";
    out << " of " << run.frames.size() << "\nWarnings:";
    if (f.warnings.isEmpty())
        out << " none";
    out << "\n";
    for (const QString &warning : f.warnings)
        out << "- " << warning << "\n";
    QStringList told; // each notice once, with how often it came
    for (const QString &notice : run.notices)
        if (!told.contains(notice))
            told.append(notice);
    for (const QString &notice : told) {
        out << "Told during the run: " << notice;
        if (const qsizetype times = run.notices.count(notice); times > 1)
            out << " (" << times << " times)";
        out << "\n";
    }
    out << "\nFrame  FWHM px  roundness  guide steps  lost  RMS px\n";
    size_t spoiledAt = 0;
    for (const RehearsedFrame &frame : run.frames) {
        const bool spoiled = spoiledAt < f.spoiled.size() && f.spoiled[spoiledAt] == frame.number;
        out << QStringLiteral("%1  %2  %3  %4  %5  %6")
                   .arg(frame.number, 5)
                   .arg(frame.starSeen ? QString::number(frame.fwhmPx, 'f', 2) : QStringLiteral("-"), 7)
                   .arg(frame.starSeen ? QString::number(frame.roundness, 'f', 2) : QStringLiteral("-"), 9)
                   .arg(frame.guide.steps, 11)
                   .arg(frame.guide.lostSteps, 4)
                   .arg(frame.guide.rmsPx(), 6, 'f', 2);
        if (spoiled)
            out << "  spoiled: " << f.spoiledWhy[int(spoiledAt++)];
        out << "\n";
    }
    return text;
}

} // namespace orvane
