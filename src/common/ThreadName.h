#pragma once
// Thread names as the kernel keeps them (15 characters, what top -H, ps -L and gdb show).
#include <QByteArray>
#include <QString>

class QThread;

namespace corvane {

// The label itself when it fits; a longer label drops its "corvane." prefix (the process
// already says whose thread it is), so "corvane.gpu-sampler" reads "gpu-sampler", never
// "corvane.gpu-sam".
QByteArray kernelThreadName(const QString &label);
// Gives the calling thread that name.
void nameCurrentThread(const QString &label);
// Gives `thread` that name once it runs (Qt's own naming would cut the object name).
void nameThreadOnStart(QThread &thread, const QString &label);

} // namespace corvane
