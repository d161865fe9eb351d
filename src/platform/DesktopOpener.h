#pragma once
// Handing a file or a folder to the desktop's default program for it.
#include <QUrl>

#include <memory>

namespace corvane {

class DesktopOpener {
public:
    virtual ~DesktopOpener() = default;
    // False when the desktop could not hand `url` to any program (no launcher, none started).
    virtual bool open(const QUrl &url) = 0;
};

// Through Qt's desktop services (the XDG portal or xdg-open).
std::unique_ptr<DesktopOpener> makeDesktopOpener();

} // namespace corvane
