#pragma once
// Follows one published property of a monitor by name, so a subscriber needs only the
// QObject and the field's name. The current value is delivered at once on start().
//
// Distinct: consecutive equal values are dropped.
// AfterUpdate: the value (read when announced) is handed over once the monitor's current
//   refresh has finished (next turn of the event loop), so reads of sibling fields in the
//   handler see that same refresh whatever order the monitor assigns its fields in.
#include <QMetaProperty>
#include <QObject>
#include <QPointer>
#include <QVariant>

#include <functional>
#include <optional>

namespace corvane {

class PropertyWatch : public QObject {
    Q_OBJECT
public:
    enum Option { None = 0, Distinct = 1, AfterUpdate = 2 };
    using Handler = std::function<void(const QVariant &)>;

    // Owned by `parent` (the subscriber); the source is held weakly.
    PropertyWatch(QObject *source, const char *property, int options, Handler handler, QObject *parent);

    // Whether the source has the property with a notify signal.
    bool isValid() const { return m_valid; }
    // Delivers the current value synchronously, then follows the notify signal.
    void start();

    // Reads a property of `source` by name; an invalid QVariant when absent or gone.
    static QVariant read(const QObject *source, const char *property);

private slots:
    void onNotify();

private:
    void deliver(const QVariant &v, bool later);

    QPointer<QObject> m_source;
    QMetaProperty m_property;
    int m_options;
    Handler m_handler;
    std::optional<QVariant> m_last;
    bool m_valid = false;
};

} // namespace corvane
