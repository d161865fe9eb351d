#include "notify/PrivacyNotifier.h"

#include "monitors/CameraMonitor.h"
#include "monitors/MicrophoneMonitor.h"
#include "notify/Distinct.h"
#include "notify/HistoryDecode.h"
#include "platform/Clock.h"
#include "platform/FrontmostApp.h"
#include "platform/Notifications.h"

#include <QCoreApplication>
#include <QJSEngine>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <algorithm>
#include <cmath>
#include <memory>
#include <utility>

namespace corvane {

namespace {
PrivacyNotifier *s_shared = nullptr;
const QString kFileName = QStringLiteral("privacy-history.json");
const QString kNotifyCamera = QStringLiteral("privacy.notifyCamera");
const QString kNotifyMic = QStringLiteral("privacy.notifyMic");

// Spaces and tabs only; other white space is part of the text.
QString trimBlanks(const QString &s)
{
    qsizetype b = 0, e = s.size();
    auto blank = [](QChar c) { return c == QLatin1Char(' ') || c == QLatin1Char('\t'); };
    while (b < e && blank(s.at(b)))
        ++b;
    while (e > b && blank(s.at(e - 1)))
        --e;
    return s.mid(b, e - b);
}
} // namespace

QString PrivacyEvent::rawValue(Kind k)
{
    return k == Kind::camera ? QStringLiteral("camera") : QStringLiteral("microphone");
}

std::optional<PrivacyEvent::Kind> PrivacyEvent::fromRawValue(const QString &raw)
{
    if (raw == QLatin1String("camera"))
        return Kind::camera;
    if (raw == QLatin1String("microphone"))
        return Kind::microphone;
    return std::nullopt;
}

QDateTime PrivacyEvent::dateTime() const
{
    return QDateTime::fromMSecsSinceEpoch(qint64(std::llround((date + kReferenceEpochOffset) * 1000.0)), Qt::LocalTime);
}

PrivacyNotifier *PrivacyNotifier::shared()
{
    if (!s_shared)
        s_shared = new PrivacyNotifier(HistoryFile::defaultFolder(), Notifications::system(), FrontmostApp::system(),
                                       Clock::system(), QCoreApplication::instance());
    return s_shared;
}

PrivacyNotifier *PrivacyNotifier::create(QQmlEngine *, QJSEngine *)
{
    PrivacyNotifier *n = shared();
    QJSEngine::setObjectOwnership(n, QJSEngine::CppOwnership);
    return n;
}

PrivacyNotifier::PrivacyNotifier(const QString &folder, Notifications *notifications, const FrontmostApp &frontmost,
                                 const Clock &clock, QObject *parent)
    : QObject(parent), m_notifications(notifications), m_frontmost(frontmost), m_clock(clock),
      m_file(folder, kFileName, clock)
{
    // Only the newest 50 are kept of a longer file (the whole file must still decode): a
    // file of a quarter million events would otherwise stay in memory whole.
    m_file.load(
        [this](const QByteArray &bytes) -> std::function<void()> {
            auto list = decode(bytes, maxEvents);
            if (!list)
                return {};
            return [this, list = std::move(*list)] {
                // Events recorded while the file was read are newer than every stored one.
                m_history.append(list);
                if (m_history.size() > maxEvents)
                    m_history.resize(maxEvents);
                emit historyChanged();
            };
        },
        [this] {
            resolvePendingLaunchStates();
            emit loadedChanged();
            if (m_saveAfterLoad) {
                m_saveAfterLoad = false;
                save();
            }
        });
    // What was recorded reaches the disk however the process ends after quitting.
    if (auto *app = QCoreApplication::instance())
        connect(app, &QCoreApplication::aboutToQuit, this, &PrivacyNotifier::finishSaving);
    refreshAuthorization();
}

PrivacyNotifier::~PrivacyNotifier()
{
    finishSaving();
    if (s_shared == this)
        s_shared = nullptr;
}

void PrivacyNotifier::applyNotificationSettings(bool authorizedStatus)
{
    m_authorized = authorizedStatus;
    emit authorizedChanged();
}

void PrivacyNotifier::applyAuthorizationResult(bool granted)
{
    m_authorized = granted;
    emit authorizedChanged();
}

void PrivacyNotifier::requestAuthorization()
{
    if (m_notifications)
        m_notifications->requestAuthorization(this, [this](bool granted) { applyAuthorizationResult(granted); });
}

void PrivacyNotifier::refreshAuthorization()
{
    if (m_notifications)
        m_notifications->queryAuthorization(this, [this](bool ok) { applyNotificationSettings(ok); });
}

bool PrivacyNotifier::notifyCamera() const { return m_settings.readBool(kNotifyCamera, true); }
void PrivacyNotifier::setNotifyCamera(bool on)
{
    m_settings.write(kNotifyCamera, on);
    emit notifyCameraChanged();
}
bool PrivacyNotifier::notifyMic() const { return m_settings.readBool(kNotifyMic, true); }
void PrivacyNotifier::setNotifyMic(bool on)
{
    m_settings.write(kNotifyMic, on);
    emit notifyMicChanged();
}

void PrivacyNotifier::bind(CameraMonitor *camera, MicrophoneMonitor *mic)
{
    if (camera) {
        const auto onCamera = follower(
            PrivacyEvent::Kind::camera, [camera] { return camera->isCameraOn(); },
            [camera] { return camera->activeCameraNames(); });
        onCamera();
        connect(camera, &CameraMonitor::updated, this, onCamera);
    }
    if (mic) {
        const auto onMic = follower(
            PrivacyEvent::Kind::microphone, [mic] { return mic->isMicrophoneOn(); },
            [mic] { return mic->activeMicNames(); });
        onMic();
        connect(mic, &MicrophoneMonitor::updated, this, onMic);
    }
}

std::function<void()> PrivacyNotifier::follower(PrivacyEvent::Kind kind, std::function<bool()> isOn,
                                                std::function<QStringList()> names)
{
    struct Seen {
        Distinct<bool> active;
        bool launchSeen = false;
        // The devices that were running most recently: a switch-off event names the device
        // that stopped, although the monitor's list is already empty by then.
        QStringList lastRunning;
    };
    auto seen = std::make_shared<Seen>();
    return [this, kind, isOn = std::move(isOn), names = std::move(names), seen] {
        const bool active = isOn();
        const QStringList current = names();
        const bool atLaunch = !seen->launchSeen;
        seen->launchSeen = true;
        if (seen->active.changed(active)) {
            const QStringList &from = active ? current : seen->lastRunning;
            std::optional<QString> name;
            if (!from.isEmpty())
                name = from.first();
            if (atLaunch) {
                recordLaunchState(kind, {active, name});
            } else {
                // A change is newer than the launch state that may still wait for the file.
                m_pendingLaunch[int(kind)].reset();
                record(kind, active, name);
            }
        }
        if (!current.isEmpty())
            seen->lastRunning = current;
    };
}

void PrivacyNotifier::recordLaunchState(PrivacyEvent::Kind kind, const LaunchState &state)
{
    // Every launch would otherwise add an "off" pair although nothing ran, pushing real
    // events out of the 50 kept: only a state that differs from the last one recorded counts.
    if (m_file.isLoading()) {
        m_pendingLaunch[int(kind)] = state;
        return;
    }
    const auto last = std::find_if(m_history.cbegin(), m_history.cend(),
                                   [kind](const PrivacyEvent &e) { return e.kind == kind; });
    const bool lastActive = last != m_history.cend() && last->active;
    if (state.active != lastActive)
        record(kind, state.active, state.deviceName);
}

void PrivacyNotifier::resolvePendingLaunchStates()
{
    for (const auto kind : {PrivacyEvent::Kind::camera, PrivacyEvent::Kind::microphone}) {
        if (auto pending = std::exchange(m_pendingLaunch[int(kind)], std::nullopt))
            recordLaunchState(kind, *pending);
    }
}

void PrivacyNotifier::record(PrivacyEvent::Kind kind, bool active, const std::optional<QString> &deviceName)
{
    PrivacyEvent e;
    e.id = QUuid::createUuid();
    e.date = m_clock.wallSeconds() - kReferenceEpochOffset;
    e.kind = kind;
    e.active = active;
    e.deviceName = deviceName;
    m_history.prepend(e);
    if (m_history.size() > maxEvents)
        m_history.resize(maxEvents);
    emit historyChanged();
    save();

    if (!active)
        return;
    const bool on = kind == PrivacyEvent::Kind::microphone ? notifyMic() : notifyCamera();
    if (on && m_authorized)
        postNotification(kind, deviceName);
}

void PrivacyNotifier::save()
{
    if (m_file.isLoading()) {
        m_saveAfterLoad = true;
        return;
    }
    // Each save ends in an fdatasync, which a slow or busy disk can hold for seconds: never on
    // the GUI thread. A burst of events costs one write for all that arrived meanwhile.
    m_file.saveInBackground([list = m_history]() -> std::optional<QByteArray> { return encode(list); });
}

void PrivacyNotifier::finishSaving()
{
    if (m_saveAfterLoad)
        m_file.finishLoading(); // the events recorded meanwhile are saved with the stored ones
    m_file.finishSaving();
}

QString PrivacyNotifier::title(PrivacyEvent::Kind kind)
{
    return kind == PrivacyEvent::Kind::camera ? QStringLiteral("Camera activată") : QStringLiteral("Microfon activat");
}

QString PrivacyNotifier::body(PrivacyEvent::Kind kind, const std::optional<QString> &appName,
                              const std::optional<QString> &deviceName)
{
    const QString app = appName && !appName->isEmpty() ? *appName : QStringLiteral("O aplicație");
    const QString verb = kind == PrivacyEvent::Kind::camera ? QStringLiteral(" folosește camera ")
                                                           : QStringLiteral(" folosește microfonul ");
    return trimBlanks(app + verb + deviceName.value_or(QString()));
}

void PrivacyNotifier::postNotification(PrivacyEvent::Kind kind, const std::optional<QString> &deviceName)
{
    if (m_notifications)
        m_notifications->post(title(kind), body(kind, m_frontmost.name(), deviceName));
}

QVariantList PrivacyNotifier::historyVariant() const
{
    QVariantList out;
    out.reserve(m_history.size());
    for (const auto &e : m_history)
        out.append(QVariant::fromValue(e));
    return out;
}

QByteArray PrivacyNotifier::encode(const QList<PrivacyEvent> &list)
{
    QByteArray out;
    out += '[';
    for (qsizetype i = 0; i < list.size(); ++i) {
        const auto &e = list[i];
        if (i)
            out += ',';
        out += "{\"id\":";
        json::appendString(out, json::uuidText(e.id));
        out += ",\"date\":";
        // Dates come from the clock and are always finite.
        json::appendNumber(out, e.date);
        out += ",\"kind\":";
        json::appendString(out, PrivacyEvent::rawValue(e.kind));
        out += ",\"active\":";
        out += e.active ? "true" : "false";
        if (e.deviceName) {
            out += ",\"deviceName\":";
            json::appendString(out, *e.deviceName);
        }
        out += '}';
    }
    out += ']';
    return out;
}

std::optional<QList<PrivacyEvent>> PrivacyNotifier::decode(const QByteArray &bytes, qsizetype keep)
{
    return json::decodeArray<PrivacyEvent>(bytes, [](const QJsonObject &o) -> std::optional<PrivacyEvent> {
        const auto id = json::uuidField(o, "id");
        const auto date = json::numberField(o, "date");
        const QJsonValue kindValue = o.value(QLatin1String("kind"));
        const auto kind = kindValue.isString() ? PrivacyEvent::fromRawValue(kindValue.toString()) : std::nullopt;
        const auto active = json::boolField(o, "active");
        if (!id || !date || !kind || !active)
            return std::nullopt;
        PrivacyEvent e{*id, json::clampedDate(*date), *kind, *active, std::nullopt};
        // An optional key may be absent or null; any other type is an error.
        const QJsonValue name = o.value(QLatin1String("deviceName"));
        if (name.isString())
            e.deviceName = name.toString();
        else if (!name.isUndefined() && !name.isNull())
            return std::nullopt;
        return e;
    }, keep);
}

} // namespace corvane
