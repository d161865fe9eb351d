#pragma once
// The name the desktop knows the app by: its desktop entry (<id>.desktop), its icon in the
// icon theme and its AppStream component. The install rules name the files the same way.
#include <QString>

namespace corvane {

inline const QString kAppId = QStringLiteral("org.corvane.Corvane");

} // namespace corvane
