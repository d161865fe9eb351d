#pragma once
// Qt's own file dialog and message boxes speak the app's language: Debian ships no Romanian
// translation of them, so the app carries its own.
#include <QLocale>

class QTranslator;

namespace corvane {

// Installs the app's translation of Qt's dialogs for `locale`'s languages (Romanian), owned
// by the application; nullptr where the app carries none for them.
QTranslator *installQtDialogTranslation(const QLocale &locale = QLocale());

} // namespace corvane
