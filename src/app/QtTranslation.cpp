#include "app/QtTranslation.h"

#include <QCoreApplication>
#include <QLocale>
#include <QTranslator>

namespace corvane {

QTranslator *installQtDialogTranslation(const QLocale &locale)
{
    auto *translator = new QTranslator(QCoreApplication::instance());
    // Tries each of the locale's interface languages in turn ("ro-RO", then "ro").
    if (!translator->load(locale, QStringLiteral("qtdialogs"), QStringLiteral("_"), QStringLiteral(":/i18n"))
        || !QCoreApplication::installTranslator(translator)) {
        delete translator;
        return nullptr;
    }
    return translator;
}

} // namespace corvane
