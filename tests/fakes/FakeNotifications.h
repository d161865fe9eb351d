#pragma once
#include "platform/FrontmostApp.h"
#include "platform/Notifications.h"

#include <QList>
#include <QObject>
#include <QPair>

namespace corvane::test {

// Records what would be shown; answers authorisation queries with `answer`, asynchronously.
class FakeNotifications final : public Notifications {
public:
    void post(const QString &title, const QString &body) override { posted.append({title, body}); }
    void queryAuthorization(QObject *context, std::function<void(bool)> done) override
    {
        ++queries;
        const bool a = answer;
        QMetaObject::invokeMethod(context, [done, a] { done(a); }, Qt::QueuedConnection);
    }
    bool answer = true;
    int queries = 0;
    QList<QPair<QString, QString>> posted;
};

class FakeFrontmost final : public FrontmostApp {
public:
    std::optional<QString> name() const override { return app; }
    std::optional<QString> app;
};

} // namespace corvane::test
