#include "state/Updater.h"

#include "common/Log.h"
#include "common/DialogOwner.h"

#include <QCoreApplication>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QXmlStreamReader>

#ifndef CORVANE_UPDATE_FEED
#define CORVANE_UPDATE_FEED ""
#endif

namespace corvane {

namespace {
Updater *s_shared = nullptr;
constexpr auto kSparkleNs = "http://www.andymatuschak.org/xml-namespaces/sparkle";
} // namespace

int compareVersions(const QString &a, const QString &b)
{
    const QStringList pa = a.split(u'.');
    const QStringList pb = b.split(u'.');
    for (qsizetype i = 0; i < std::max(pa.size(), pb.size()); ++i) {
        const QString x = i < pa.size() ? pa[i] : QStringLiteral("0");
        const QString y = i < pb.size() ? pb[i] : QStringLiteral("0");
        bool okx = false, oky = false;
        const qulonglong nx = x.toULongLong(&okx);
        const qulonglong ny = y.toULongLong(&oky);
        const int c = okx && oky ? (nx < ny ? -1 : nx > ny ? 1 : 0) : QString::compare(x, y);
        if (c != 0)
            return c < 0 ? -1 : 1;
    }
    return 0;
}

std::optional<AppcastItem> newestAppcastItem(const QByteArray &xml, QString *error)
{
    QXmlStreamReader r(xml);
    std::optional<AppcastItem> best;
    AppcastItem cur;
    bool inItem = false;
    while (!r.atEnd()) {
        r.readNext();
        if (r.isStartElement()) {
            if (r.name() == u"item") {
                inItem = true;
                cur = {};
            } else if (inItem && r.name() == u"enclosure") {
                const auto attrs = r.attributes();
                const QString v = attrs.value(QLatin1String(kSparkleNs), QStringLiteral("version")).toString();
                const QString sv = attrs.value(QLatin1String(kSparkleNs), QStringLiteral("shortVersionString")).toString();
                if (!v.isEmpty())
                    cur.version = v;
                if (!sv.isEmpty())
                    cur.shortVersion = sv;
                if (cur.link.isEmpty())
                    cur.link = attrs.value(QStringLiteral("url")).toString();
            } else if (inItem && r.namespaceUri() == QLatin1String(kSparkleNs) && r.name() == u"version") {
                cur.version = r.readElementText();
            } else if (inItem && r.namespaceUri() == QLatin1String(kSparkleNs) && r.name() == u"shortVersionString") {
                cur.shortVersion = r.readElementText();
            } else if (inItem && r.name() == u"link") {
                cur.link = r.readElementText();
            }
        } else if (r.isEndElement() && r.name() == u"item") {
            inItem = false;
            if (cur.version.isEmpty())
                cur.version = cur.shortVersion;
            if (cur.shortVersion.isEmpty())
                cur.shortVersion = cur.version;
            if (!cur.version.isEmpty() && (!best || compareVersions(cur.version, best->version) > 0))
                best = cur;
        }
    }
    if (r.hasError()) {
        if (error)
            *error = r.errorString();
        return std::nullopt;
    }
    return best;
}

void UpdaterDelegate::didAbortWithError(const QString &description) const
{
    // Plain text: the description is never used as a format string.
    qCWarning(lcState).noquote() << QStringLiteral("[Updater] aborted: ") + description;
}

AppcastController::AppcastController(QUrl feed, const UpdaterDelegate *delegate, Presenter presenter, QObject *parent)
    : QObject(parent), m_feed(std::move(feed)), m_delegate(delegate), m_presenter(std::move(presenter)),
      m_nam(new QNetworkAccessManager(this))
{
}

void AppcastController::checkForUpdates()
{
    if (!canCheckForUpdates())
        return;
    m_busy = true;
    QNetworkRequest req(m_feed);
    req.setAttribute(QNetworkRequest::Http2AllowedAttribute, false);
    req.setTransferTimeout(15000);
    QNetworkReply *reply = m_nam->get(req);
    connect(reply, &QNetworkReply::finished, this, [this, reply] { finished(reply); });
}

void AppcastController::finished(QNetworkReply *reply)
{
    reply->deleteLater();
    m_busy = false;
    // A failed check is told to the user the same way as a finished one, then logged.
    auto failed = [this](const QString &why) {
        m_presenter(QStringLiteral("Verificarea a eșuat"),
                    QStringLiteral("Nu s-a putut verifica dacă există o versiune nouă.\n%1").arg(why));
        m_delegate->didAbortWithError(why);
    };
    if (reply->error() != QNetworkReply::NoError) {
        failed(reply->errorString());
    } else {
        QString err;
        const auto item = newestAppcastItem(reply->readAll(), &err);
        const QString current = QCoreApplication::applicationVersion();
        if (!item) {
            failed(err.isEmpty() ? QStringLiteral("feed without versions") : err);
        } else if (compareVersions(item->version, current) > 0) {
            m_presenter(QStringLiteral("Actualizare disponibilă"),
                        QStringLiteral("Versiunea %1 este disponibilă (ai %2).\n%3")
                            .arg(item->shortVersion, current, item->link));
        } else {
            m_presenter(QStringLiteral("Nicio actualizare"),
                        QStringLiteral("Corvane %1 este la zi.").arg(current));
        }
    }
    emit checkFinished();
}

QString Updater::configuredFeed() { return QStringLiteral(CORVANE_UPDATE_FEED); }

bool Updater::exists() { return s_shared != nullptr; }

Updater *Updater::shared()
{
    if (!s_shared) {
        s_shared = new Updater(QUrl(configuredFeed()),
                               [](const QString &title, const QString &text) {
                                   tellUser(QMessageBox::Information, title, text, dialogOwner());
                               },
                               QCoreApplication::instance());
    }
    return s_shared;
}

Updater::Updater(QUrl feed, AppcastController::Presenter presenter, QObject *parent) : QObject(parent)
{
    m_controller = new AppcastController(std::move(feed), &m_delegate, std::move(presenter), this);
    m_canCheck = m_controller->canCheckForUpdates();
}

Updater::~Updater()
{
    if (s_shared == this)
        s_shared = nullptr;
}

void Updater::checkForUpdates()
{
    m_controller->checkForUpdates();
}

} // namespace corvane
