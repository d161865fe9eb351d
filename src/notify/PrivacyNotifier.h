#pragma once
// Camera and microphone use: a history of on/off events (newest first, 50 kept, stored in
// "privacy-history.json", written off the GUI thread) and a notification when a device
// switches on.
#include "common/DisplayText.h"
#include "common/StoredSettings.h"
#include "notify/HistoryFile.h"

#include <QDateTime>
#include <QList>
#include <QObject>
#include <QUuid>
#include <QVariantList>
#include <QtQml/qqmlregistration.h>

#include <functional>
#include <optional>

class QQmlEngine;
class QJSEngine;

namespace corvane {

class CameraMonitor;
class Clock;
class FrontmostApp;
class MicrophoneMonitor;
class Notifications;

struct PrivacyEvent {
    Q_GADGET
    Q_PROPERTY(QString id READ idText)
    Q_PROPERTY(QDateTime date READ dateTime)
    Q_PROPERTY(QString kind READ kindRaw)
    Q_PROPERTY(bool active MEMBER active)
    Q_PROPERTY(QString deviceName READ deviceNameText)
    Q_PROPERTY(bool hasDeviceName READ hasDeviceName)
public:
    enum class Kind { camera, microphone };
    Q_ENUM(Kind)

    QUuid id;
    double date = 0; // seconds since 2001-01-01 00:00:00 UTC
    Kind kind = Kind::camera;
    bool active = false;
    std::optional<QString> deviceName;

    static QString rawValue(Kind k);
    static std::optional<Kind> fromRawValue(const QString &raw);

    QString idText() const { return json::uuidText(id); }
    QDateTime dateTime() const;
    QString kindRaw() const { return rawValue(kind); }
    // As shown: controls and bidi overrides in a device's name neutralised.
    QString deviceNameText() const { return neutralisedName(deviceName.value_or(QString())); }
    bool hasDeviceName() const { return deviceName.has_value(); }
    bool operator==(const PrivacyEvent &) const = default;
};

class PrivacyNotifier : public QObject {
    Q_OBJECT
    QML_ELEMENT
    QML_SINGLETON
    Q_PROPERTY(bool authorized READ authorized NOTIFY authorizedChanged)
    Q_PROPERTY(bool notifyCamera READ notifyCamera WRITE setNotifyCamera NOTIFY notifyCameraChanged)
    Q_PROPERTY(bool notifyMic READ notifyMic WRITE setNotifyMic NOTIFY notifyMicChanged)
    Q_PROPERTY(QVariantList history READ historyVariant NOTIFY historyChanged)
    Q_PROPERTY(bool loaded READ isLoaded NOTIFY loadedChanged)
public:
    using PrivacyEvent = corvane::PrivacyEvent;
    static constexpr int maxEvents = 50;

    static PrivacyNotifier *shared();
    static PrivacyNotifier *create(QQmlEngine *, QJSEngine *);

    // Loads the history from `folder` (empty: memory only), then asks `notifications`
    // whether it may notify.
    PrivacyNotifier(const QString &folder, Notifications *notifications, const FrontmostApp &frontmost,
                    const Clock &clock, QObject *parent = nullptr);
    ~PrivacyNotifier() override;

    // Follows `isCameraOn` / `isMicrophoneOn` with the device names of the same snapshot;
    // records the state at launch (camera first) where it differs from the kind's last
    // recorded event (none counts as off), and one event per change after that.
    void bind(CameraMonitor *camera, MicrophoneMonitor *mic);

    bool authorized() const { return m_authorized; }
    // Completion of the notification-settings query (authorised or not).
    void applyNotificationSettings(bool authorizedStatus);
    // Completion of a permission request.
    void applyAuthorizationResult(bool granted);
    // Asks for permission; the answer lands in applyAuthorizationResult.
    Q_INVOKABLE void requestAuthorization();
    // Re-reads whether notifications may be shown; the answer lands in applyNotificationSettings.
    Q_INVOKABLE void refreshAuthorization();

    bool notifyCamera() const;
    void setNotifyCamera(bool on);
    bool notifyMic() const;
    void setNotifyMic(bool on);

    const QList<PrivacyEvent> &history() const { return m_history; }
    QVariantList historyVariant() const;

    void record(PrivacyEvent::Kind kind, bool active, const std::optional<QString> &deviceName);
    // Writes the whole list; the encoding and the write run on a worker thread.
    void save();
    // Waits until what was recorded is on disk (at quit; tests).
    void finishSaving();
    QString historyPath() const { return m_file.path(); }
    // The file is read off the GUI thread; until then only this run's events are listed.
    bool isLoaded() const { return !m_file.isLoading(); }
    void postNotification(PrivacyEvent::Kind kind, const std::optional<QString> &deviceName);

    // Notification texts.
    static QString title(PrivacyEvent::Kind kind);
    static QString body(PrivacyEvent::Kind kind, const std::optional<QString> &appName,
                        const std::optional<QString> &deviceName);

    static QByteArray encode(const QList<PrivacyEvent> &list);
    // Every entry must decode; only the first `keep` are returned (all when negative).
    static std::optional<QList<PrivacyEvent>> decode(const QByteArray &bytes, qsizetype keep = -1);

signals:
    void authorizedChanged();
    void notifyCameraChanged();
    void notifyMicChanged();
    void historyChanged();
    void loadedChanged();

private:
    struct LaunchState {
        bool active = false;
        std::optional<QString> deviceName;
    };
    // The handler of one monitor's snapshots.
    std::function<void()> follower(PrivacyEvent::Kind kind, std::function<bool()> isOn,
                                   std::function<QStringList()> names);
    void recordLaunchState(PrivacyEvent::Kind kind, const LaunchState &state);
    void resolvePendingLaunchStates();

    Notifications *m_notifications;
    const FrontmostApp &m_frontmost;
    const Clock &m_clock;
    HistoryFile m_file;
    bool m_saveAfterLoad = false;
    StoredSettings m_settings;
    bool m_authorized = false;
    QList<PrivacyEvent> m_history;
    // Launch states seen while the file was still being read, camera first.
    std::optional<LaunchState> m_pendingLaunch[2];
};

} // namespace corvane

Q_DECLARE_METATYPE(corvane::PrivacyEvent)
