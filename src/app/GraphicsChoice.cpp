#include "app/GraphicsChoice.h"

#include <QDir>

namespace corvane {

bool preferSoftwareSceneGraph(const QString &devRoot)
{
    // An empty value is no choice (Qt itself ignores it too).
    if (!qEnvironmentVariableIsEmpty("QT_QUICK_BACKEND") || !qEnvironmentVariableIsEmpty("QSG_RHI_BACKEND"))
        return false;
    const QDir dri(devRoot + QStringLiteral("/dri"));
    return dri.entryList({QStringLiteral("renderD*")}, QDir::System | QDir::Files | QDir::AllEntries).isEmpty();
}

} // namespace corvane
