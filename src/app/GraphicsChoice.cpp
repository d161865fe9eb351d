#include "app/GraphicsChoice.h"

#include <QDir>

namespace corvane {

bool preferSoftwareSceneGraph(const QString &devRoot)
{
    if (qEnvironmentVariableIsSet("QT_QUICK_BACKEND") || qEnvironmentVariableIsSet("QSG_RHI_BACKEND"))
        return false;
    const QDir dri(devRoot + QStringLiteral("/dri"));
    return dri.entryList({QStringLiteral("renderD*")}, QDir::System | QDir::Files | QDir::AllEntries).isEmpty();
}

} // namespace corvane
