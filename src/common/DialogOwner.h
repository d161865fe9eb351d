#pragma once
// Dialogs opened from C++ stay with the window they were opened for: the window manager keeps
// them above it, and a native dialog (GTK's file chooser, the desktop portal's) is told its
// parent. A dialog without one can end up under its window, which then ignores every click
// while the dialog holds it modal.
#include <QMessageBox>
#include <QString>

class QWidget;
class QWindow;

namespace corvane {

// The window a dialog opened now belongs with: the focused one, else the first shown ordinary
// window; none when nothing is shown. Never a tool popup, which goes as the dialog takes the
// focus.
QWindow *dialogOwner();
// Makes `dialog` transient for `owner`; nothing without an owner.
void keepWithOwner(QWidget *dialog, QWindow *owner);
// A modal message kept with `owner`.
void tellUser(QMessageBox::Icon icon, const QString &title, const QString &text, QWindow *owner);
// Where saving starts: the user's documents folder, else the home folder.
QString documentsFolder();

} // namespace corvane
