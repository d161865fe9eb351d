#pragma once
// Local user notifications: posting, and whether the desktop will show them.
#include <QString>

#include <functional>

class QObject;

namespace corvane {

class Notifications {
public:
    virtual ~Notifications() = default;

    // Shows one notification at once; the outcome is not reported.
    virtual void post(const QString &title, const QString &body) = 0;

    // Whether notifications can be shown now. `done` runs later on the calling thread,
    // and not at all once `context` is gone. Never blocks.
    virtual void queryAuthorization(QObject *context, std::function<void(bool)> done) = 0;

    // Asks for permission to notify. Desktops without a permission prompt answer
    // as queryAuthorization does.
    virtual void requestAuthorization(QObject *context, std::function<void(bool)> done)
    {
        queryAuthorization(context, std::move(done));
    }

    // The desktop's notification service; created on first use, owned by the application object.
    static Notifications *system();
};

} // namespace corvane
