#pragma once
// Manual update checks against an appcast feed. The feed address is a build setting;
// without one the check is not offered. Installing is the package manager's job.
#include <QObject>
#include <QString>
#include <QUrl>

#include <functional>
#include <memory>
#include <optional>

class QNetworkAccessManager;
class QNetworkReply;

namespace corvane {

struct AppcastItem {
    QString version;      // machine version (sparkle:version), else the short one
    QString shortVersion; // shown to the user
    QString link;
};

// Highest version offered by an appcast document; nullopt when the text holds none.
std::optional<AppcastItem> newestAppcastItem(const QByteArray &xml, QString *error = nullptr);
// Numeric, dot-separated comparison ("1.10" > "1.9"); non-numeric parts compare as text.
int compareVersions(const QString &a, const QString &b);

// Receives the controller's callbacks; logs aborted checks.
class UpdaterDelegate {
public:
    void didAbortWithError(const QString &description) const;
};

// Fetches the feed and tells the user what it found.
class AppcastController : public QObject {
    Q_OBJECT
public:
    using Presenter = std::function<void(const QString &title, const QString &text)>;
    AppcastController(QUrl feed, const UpdaterDelegate *delegate, Presenter presenter, QObject *parent = nullptr);
    bool canCheckForUpdates() const { return m_feed.isValid() && !m_busy; }
    void checkForUpdates();

signals:
    void checkFinished();

private:
    void finished(QNetworkReply *reply);
    QUrl m_feed;
    const UpdaterDelegate *m_delegate;
    Presenter m_presenter;
    QNetworkAccessManager *m_nam;
    bool m_busy = false;
};

class Updater : public QObject {
    Q_OBJECT
    Q_PROPERTY(bool canCheckForUpdates READ canCheckForUpdates NOTIFY canCheckForUpdatesChanged)
public:
    // The feed address compiled in; empty when none was configured.
    static QString configuredFeed();
    static bool isOffered() { return !configuredFeed().isEmpty(); }
    // Created on the first check of a run; none exists before.
    static Updater *shared();
    static bool exists();

    Updater(QUrl feed, AppcastController::Presenter presenter, QObject *parent = nullptr);
    ~Updater() override;
    bool canCheckForUpdates() const { return m_canCheck; }
    void checkForUpdates();
    AppcastController *controller() const { return m_controller; }

signals:
    void canCheckForUpdatesChanged();

private:
    UpdaterDelegate m_delegate;
    AppcastController *m_controller;
    bool m_canCheck = false;
};

} // namespace corvane
