#pragma once
// Under QStandardPaths' test mode every test process shares one settings file; ctest runs
// them in parallel, so these tests keep their settings in a folder of their own.
#include <QSettings>
#include <QTemporaryDir>

namespace corvane::test {

inline void useIsolatedSettings()
{
    static QTemporaryDir dir;
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, dir.path());
    QSettings().clear();
}

// For fixtures whose members open settings when constructed: declare it first.
struct IsolatedSettingsScope {
    IsolatedSettingsScope() { useIsolatedSettings(); }
};

} // namespace corvane::test
