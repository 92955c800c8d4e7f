// The methods of the guider protocol: each reads its params (naming the field
// it refuses), answers from the rig's state, or asks the guide-only mode.

#include "guider_server.h"

#include "dither.h"
#include "grey_levels.h"
#include "ini_keys.h"
#include "optics.h"

#include <QDir>
#include <QJsonArray>
#include <QTcpSocket>
#include <QTimer>

#include <cmath>

namespace orvane {

namespace {

constexpr double kMaxExposureMs = 3600000; // an hour
constexpr int kMinStarImagePx = 15;
constexpr int kMaxStarImagePx = 255;

QJsonArray exposureDurations()
{
    return {100, 200, 500, 1000, 1500, 2000, 3000, 4000, 5000, 8000, 10000, 15000, 30000};
}

// The centroid way's settings a client may read and change, as orvane.ini [guiding] names them.
const QStringList kAlgoParams = {QStringLiteral("aggressiveness"), QStringLiteral("minMovePx"),
                                 QStringLiteral("maxMoveMs")};

QString decModeName(const QString &mode)
{
    if (mode == QLatin1String("north"))
        return QStringLiteral("North");
    if (mode == QLatin1String("south"))
        return QStringLiteral("South");
    if (mode == QLatin1String("off"))
        return QStringLiteral("Off");
    return QStringLiteral("Auto");
}

} // namespace

SettleRule settleParam(const QJsonValue &v)
{
    if (!v.isObject())
        invalidParam(QStringLiteral("settle"), QStringLiteral("must be an object {\"pixels\", \"time\", \"timeout\"}"));
    const QJsonObject o = v.toObject();
    SettleRule rule;
    rule.tolerancePx = numberParam(o.value("pixels"), QStringLiteral("settle.pixels"), 0.01, 100);
    rule.timeS = numberParam(o.value("time"), QStringLiteral("settle.time"), 0, 3600);
    rule.timeoutS = numberParam(o.value("timeout"), QStringLiteral("settle.timeout"), 1, 36000);
    return rule;
}

void GuiderServer::refuseWhileBusy(const char *method) const
{
    if (host_.busyWith)
        if (const QString busy = host_.busyWith(); !busy.isEmpty())
            refuse(QStringLiteral("%1 refused: %2 in Orvane; clients may watch until it has ended").arg(QLatin1String(method), busy));
    if (c_.picture.reserved())
        refuse(QStringLiteral("%1 refused: the picture area is in use by %2").arg(QLatin1String(method), c_.picture.holder()));
}

void GuiderServer::requireConnected() const
{
    if (!connected_)
        refuse(QStringLiteral("the equipment is not connected: set_connected true first"));
}

QJsonValue GuiderServer::call(Client &client, const RpcRequest &request)
{
    const QString &m = request.method;
    const RpcParams p(request.params);
    if (m == QLatin1String("get_app_state"))
        return appStateName(appState());
    if (m == QLatin1String("get_connected"))
        return connected_;
    if (m == QLatin1String("set_connected")) {
        const bool on = boolParam(p.value("connected", 0), QStringLiteral("connected"));
        if (!on)
            mode_.stop();
        connected_ = on;
        return 0;
    }
    if (m == QLatin1String("get_current_equipment"))
        return getCurrentEquipment();
    if (m == QLatin1String("get_profiles"))
        return QJsonArray{QJsonObject{{"id", 1}, {"name", host_.profileName}}};
    if (m == QLatin1String("get_profile"))
        return QJsonObject{{"id", 1}, {"name", host_.profileName}};
    if (m == QLatin1String("set_profile")) {
        if (numberParam(p.value("id", 0), QStringLiteral("id"), 1, 1) != 1)
            invalidParam(QStringLiteral("id"), QStringLiteral("must be 1"));
        return 0;
    }
    if (m == QLatin1String("get_exposure"))
        return mode_.exposureMs();
    if (m == QLatin1String("set_exposure")) {
        mode_.setExposureMs(int32_t(std::lround(numberParam(p.value("exposure", 0), QStringLiteral("exposure"), 1, kMaxExposureMs))));
        return 0;
    }
    if (m == QLatin1String("get_exposure_durations"))
        return exposureDurations();
    if (m == QLatin1String("get_camera_frame_size"))
        return QJsonArray{PictureArea::kWidth, PictureArea::kHeight};
    if (m == QLatin1String("get_pixel_scale")) {
        const auto scale = guideScale(c_.sequence.optics);
        return scale ? QJsonValue(*scale) : QJsonValue(QJsonValue::Null);
    }
    if (m == QLatin1String("get_lock_position")) {
        if (c_.sequence.StarMarked == 0)
            return QJsonValue::Null;
        return QJsonArray{c_.sequence.StarX + c_.guiding.LockDX, c_.sequence.StarY + c_.guiding.LockDY};
    }
    if (m == QLatin1String("set_lock_position"))
        return setLockPosition(p);
    if (m == QLatin1String("loop")) {
        requireConnected();
        if (!mode_.active())
            refuseWhileBusy("loop");
        mode_.loop();
        return 0;
    }
    if (m == QLatin1String("capture_single_frame")) {
        requireConnected();
        refuseWhileBusy("capture_single_frame");
        const QJsonValue ms = p.value("exposure", 0);
        mode_.captureSingleFrame(ms.isUndefined() ? mode_.exposureMs()
                                                  : int32_t(std::lround(numberParam(ms, QStringLiteral("exposure"), 1, kMaxExposureMs))));
        return 0;
    }
    if (m == QLatin1String("stop_capture")) {
        mode_.stop();
        return 0;
    }
    if (m == QLatin1String("find_star"))
        return findStar();
    if (m == QLatin1String("guide"))
        return guide(client, p);
    if (m == QLatin1String("dither"))
        return dither(p);
    if (m == QLatin1String("set_paused")) {
        const bool paused = boolParam(p.value("paused", 0), QStringLiteral("paused"));
        const QJsonValue full = p.value("full", 1);
        mode_.setPaused(paused, !full.isUndefined() && textParam(full, QStringLiteral("full")) == QLatin1String("full"));
        return 0;
    }
    if (m == QLatin1String("get_paused"))
        return mode_.paused();
    if (m == QLatin1String("get_settling"))
        return mode_.settling();
    if (m == QLatin1String("get_calibrated"))
        return c_.guiding.Axes.has_value();
    if (m == QLatin1String("clear_calibration")) {
        if (const QJsonValue which = p.value("which", 0); !which.isUndefined()) {
            const QString w = textParam(which, QStringLiteral("which"));
            if (w != QLatin1String("mount") && w != QLatin1String("ao") && w != QLatin1String("both"))
                invalidParam(QStringLiteral("which"), QStringLiteral("must be mount, ao or both"));
        }
        c_.guiding.Axes.reset(); // guiding goes on the picture's axes at Pixels/Sec
        return 0;
    }
    if (m == QLatin1String("get_dec_guide_mode"))
        return decModeName(c_.guiding.Options.decMode);
    if (m == QLatin1String("set_dec_guide_mode")) {
        const QString mode = textParam(p.value("mode", 0), QStringLiteral("mode")).toLower();
        if (mode != QLatin1String("auto") && mode != QLatin1String("north") && mode != QLatin1String("south") &&
            mode != QLatin1String("off"))
            invalidParam(QStringLiteral("mode"), QStringLiteral("must be Off, Auto, North or South"));
        c_.guiding.Options.decMode = mode;
        return 0;
    }
    if (m == QLatin1String("get_star_image"))
        return getStarImage(p);
    if (m == QLatin1String("save_image"))
        return saveImage();
    if (m == QLatin1String("get_algo_param_names")) {
        (void)algoParam(p, false); // checks the axis
        QJsonArray names{QStringLiteral("algorithmName")};
        for (const QString &name : kAlgoParams)
            names.append(name);
        return names;
    }
    if (m == QLatin1String("get_algo_param"))
        return algoParam(p, false);
    if (m == QLatin1String("set_algo_param"))
        return algoParam(p, true);
    if (m == QLatin1String("shutdown")) {
        // After the answer has gone: closing the window closes this client's connection too.
        if (host_.shutdown)
            QTimer::singleShot(0, this, [this] { host_.shutdown(!options_.allowShutdown); });
        return 0;
    }
    throw RpcFailure{RpcError::kMethodNotFound, QStringLiteral("method not found: %1").arg(m)};
}

QJsonValue GuiderServer::getCurrentEquipment() const
{
    QJsonObject equipment;
    if (const CaptureSource *camera = c_.camera.sourceInUse())
        equipment.insert("camera", QJsonObject{{"name", camera->name()}, {"connected", connected_}});
    equipment.insert("mount", QJsonObject{{"name", c_.comm.device()}, {"connected", connected_}});
    return equipment;
}

QJsonValue GuiderServer::findStar()
{
    requireConnected();
    if (c_.picture.picture().isNull())
        refuse(QStringLiteral("find_star: there is no picture to look for a star in; loop first"));
    const StarChoice choice = mode_.rig().chooseStar();
    if (!choice.found)
        refuse(QStringLiteral("find_star: %1").arg(choice.reason));
    if (host_.markStar)
        host_.markStar(choice.x, choice.y);
    if (c_.sequence.StarMarked == 0)
        refuse(QStringLiteral("find_star: the star found could not be marked"));
    return QJsonArray{c_.sequence.StarX + c_.guiding.LockDX, c_.sequence.StarY + c_.guiding.LockDY};
}

QJsonValue GuiderServer::setLockPosition(const RpcParams &p)
{
    const double x = numberParam(p.value("x", 0).isUndefined() ? p.value("X", 0) : p.value("x", 0), QStringLiteral("x"), 0,
                                 PictureArea::kWidth - 1);
    const double y = numberParam(p.value("y", 1).isUndefined() ? p.value("Y", 1) : p.value("y", 1), QStringLiteral("y"), 0,
                                 PictureArea::kHeight - 1);
    const QJsonValue exactValue = p.value("exact", 2);
    const bool exact = exactValue.isUndefined() || boolParam(exactValue, QStringLiteral("exact"));
    if (exact) {
        SequenceState &seq = c_.sequence;
        seq.StarX = int16_t(std::lround(x));
        seq.StarY = int16_t(std::lround(y));
        seq.StarMarked = 1;
        mode_.rig().lockOnMark();
        GuidingState &g = c_.guiding;
        g.LockDX = g.MarkDX = x - seq.StarX; // held at the very place asked for
        g.LockDY = g.MarkDY = y - seq.StarY;
        broadcast(event(QStringLiteral("LockPositionSet"), {{"X", x}, {"Y", y}}));
    } else if (host_.markStar) {
        host_.markStar(x, y); // on the star nearest the place, as a click there
    }
    return 0;
}

QJsonValue GuiderServer::guide(Client &client, const RpcParams &p)
{
    requireConnected();
    refuseWhileBusy("guide");
    const SettleRule rule = settleParam(p.value("settle", 0));
    const QJsonValue recal = p.value("recalibrate", 1);
    const bool recalibrate = !recal.isUndefined() && boolParam(recal, QStringLiteral("recalibrate"));
    if (c_.sequence.StarMarked == 0 && !c_.picture.picture().isNull())
        (void)findStar(); // as the field expects: the best star, when none is selected
    mode_.guide(rule, client.name, recalibrate);
    return 0;
}

QJsonValue GuiderServer::dither(const RpcParams &p)
{
    refuseWhileBusy("dither");
    const double amount = numberParam(p.value("amount", 0), QStringLiteral("amount"), 0, 50);
    const QJsonValue raOnlyValue = p.value("raOnly", 1);
    const bool raOnly = !raOnlyValue.isUndefined() && boolParam(raOnlyValue, QStringLiteral("raOnly"));
    const SettleRule rule = settleParam(p.value("settle", 2));
    QPointF shift;
    if (raOnly) {
        shift = mode_.ditherRandom().nextAlong(amount) * raAxisOnPicture(c_.guiding.Axes, c_.settings);
    } else {
        const DitherShift s = mode_.ditherRandom().next(amount);
        shift = QPointF(s.dxPx, s.dyPx);
    }
    mode_.dither(shift, rule);
    return 0;
}

QJsonValue GuiderServer::getStarImage(const RpcParams &p) const
{
    const QJsonValue sizeValue = p.value("size", 0);
    const int size = sizeValue.isUndefined()
                         ? kMinStarImagePx
                         : int(std::lround(numberParam(sizeValue, QStringLiteral("size"), kMinStarImagePx, kMaxStarImagePx)));
    if (c_.sequence.StarMarked == 0 || c_.picture.picture().isNull())
        refuse(QStringLiteral("get_star_image: no star is selected"));
    const QImage picture = c_.picture.picture().convertToFormat(QImage::Format_RGB32);
    const double starX = c_.sequence.StarX + c_.guiding.LockDX, starY = c_.sequence.StarY + c_.guiding.LockDY;
    const int left = std::clamp(int(std::lround(starX)) - size / 2, 0, std::max(picture.width() - size, 0));
    const int top = std::clamp(int(std::lround(starY)) - size / 2, 0, std::max(picture.height() - size, 0));
    const int width = std::min(size, picture.width()), height = std::min(size, picture.height());
    QByteArray pixels;
    pixels.reserve(width * height * 2);
    for (int y = top; y < top + height; ++y) {
        const auto *row = reinterpret_cast<const uint32_t *>(picture.constScanLine(y));
        for (int x = left; x < left + width; ++x) {
            const auto grey = uint16_t(std::lround(greyLevel(row[x])));
            pixels.append(char(grey & 0xff)).append(char(grey >> 8)); // 16-bit little-endian
        }
    }
    return QJsonObject{{"frame", mode_.active() ? 1 : 0},
                       {"width", width},
                       {"height", height},
                       {"star_pos", QJsonArray{starX - left, starY - top}},
                       {"pixels", QString::fromLatin1(pixels.toBase64())}};
}

QJsonValue GuiderServer::saveImage()
{
    if (c_.picture.picture().isNull())
        refuse(QStringLiteral("save_image: there is no picture to save"));
    // Only into the save folder: the name is Orvane's own, never the client's.
    const QString path = QDir(mode_.rig().framesFolder()).filePath(QStringLiteral("guide-frame-%1.fits").arg(++savedImages_, 3, 10, QLatin1Char('0')));
    if (Result saved = mode_.rig().saveFits(path, savedImages_); !saved)
        refuse(QStringLiteral("save_image: %1").arg(saved.error()));
    return QJsonObject{{"filename", path}};
}

QJsonValue GuiderServer::algoParam(const RpcParams &p, bool set)
{
    const QString axis = textParam(p.value("axis", 0), QStringLiteral("axis")).toLower();
    if (axis != QLatin1String("ra") && axis != QLatin1String("x") && axis != QLatin1String("dec") &&
        axis != QLatin1String("y"))
        invalidParam(QStringLiteral("axis"), QStringLiteral("must be ra, x, dec or y"));
    const QJsonValue nameValue = p.value("name", 1);
    if (nameValue.isUndefined())
        return 0; // get_algo_param_names: only the axis
    const QString name = textParam(nameValue, QStringLiteral("name"));
    GuidingState &g = c_.guiding;
    if (name == QLatin1String("algorithmName")) {
        if (set)
            invalidParam(QStringLiteral("name"), QStringLiteral("algorithmName is read only"));
        return QString::fromLatin1(g.Algorithm->name);
    }
    if (!kAlgoParams.contains(name))
        invalidParam(QStringLiteral("name"), QStringLiteral("must be one of algorithmName, %1").arg(kAlgoParams.join(", ")));
    GuidingSettings &o = g.Options;
    if (set) {
        const IniKey &key = iniKey("guiding", name.toLatin1().constData());
        const double v = numberParam(p.value("value", 2), QStringLiteral("value"), key.low, key.high);
        if (key.lowOpen && v <= key.low)
            invalidParam(QStringLiteral("value"), QStringLiteral("must be above %1").arg(key.low));
        if (name == kAlgoParams[0])
            o.aggressiveness = v;
        else if (name == kAlgoParams[1])
            o.minMovePx = v;
        else
            o.maxMoveMs = int32_t(std::lround(v));
        return 0;
    }
    if (name == kAlgoParams[0])
        return o.aggressiveness;
    if (name == kAlgoParams[1])
        return o.minMovePx;
    return o.maxMoveMs;
}

} // namespace orvane
