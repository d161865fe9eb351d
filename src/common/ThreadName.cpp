#include "common/ThreadName.h"

#include <QThread>

#include <pthread.h>

namespace corvane {

namespace {
constexpr qsizetype kKernelLimit = 15;
}

QByteArray kernelThreadName(const QString &label)
{
    QByteArray name = label.toUtf8();
    if (name.size() > kKernelLimit && name.startsWith("corvane."))
        name.remove(0, 8);
    name.truncate(kKernelLimit);
    return name;
}

void nameCurrentThread(const QString &label)
{
    ::pthread_setname_np(::pthread_self(), kernelThreadName(label).constData());
}

void nameThreadOnStart(QThread &thread, const QString &label)
{
    // started() is emitted on the new thread, after Qt has named it from the object name.
    QObject::connect(&thread, &QThread::started, &thread, [label] { nameCurrentThread(label); }, Qt::DirectConnection);
}

} // namespace corvane
