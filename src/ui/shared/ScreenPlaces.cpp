#include "ui/shared/ScreenPlaces.h"

#include "state/AppState.h"

#include <QJSEngine>
#include <QQmlEngine>

#include <cmath>

namespace corvane {

ScreenPlaces *ScreenPlaces::of(AppState *hub)
{
    auto *places = hub->findChild<ScreenPlaces *>(QString(), Qt::FindDirectChildrenOnly);
    return places ? places : new ScreenPlaces(hub);
}

ScreenPlaces *ScreenPlaces::create(QQmlEngine *engine, QJSEngine *)
{
    // Without a hub (a screen shown on its own) the places last as long as the engine.
    AppState *hub = AppState::shared();
    ScreenPlaces *places = hub ? of(hub) : new ScreenPlaces(engine);
    QJSEngine::setObjectOwnership(places, QJSEngine::CppOwnership);
    return places;
}

void ScreenPlaces::keep(const QString &key, double offset)
{
    if (!std::isfinite(offset) || offset <= 0)
        m_offsets.remove(key);
    else
        m_offsets.insert(key, offset);
}

} // namespace corvane
