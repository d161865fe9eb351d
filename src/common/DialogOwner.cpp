#include "common/DialogOwner.h"

#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QStandardPaths>
#include <QWidget>
#include <QWindow>

namespace corvane {

namespace {
bool ordinaryShown(const QWindow *w)
{
    // The tray icon's own window bypasses the manager; popups and tool windows come and go.
    return w && w->isVisible() && (w->type() == Qt::Window || w->type() == Qt::Dialog)
        && !(w->flags() & Qt::X11BypassWindowManagerHint);
}
} // namespace

QWindow *dialogOwner()
{
    if (QWindow *focus = QGuiApplication::focusWindow(); ordinaryShown(focus))
        return focus;
    for (QWindow *w : QGuiApplication::topLevelWindows())
        if (ordinaryShown(w))
            return w;
    return nullptr;
}

void keepWithOwner(QWidget *dialog, QWindow *owner)
{
    if (!dialog || !owner)
        return;
    // The dialog's own window carries the parent; a native dialog takes it from there.
    dialog->winId();
    if (QWindow *handle = dialog->windowHandle())
        handle->setTransientParent(owner);
}

void tellUser(QMessageBox::Icon icon, const QString &title, const QString &text, QWindow *owner)
{
    QMessageBox box(icon, title, text, QMessageBox::Ok);
    keepWithOwner(&box, owner);
    box.exec();
}

QString documentsFolder()
{
    const QString docs = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    if (!docs.isEmpty() && QFileInfo(docs).isDir())
        return docs;
    return QDir::homePath();
}

} // namespace corvane
