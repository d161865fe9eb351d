#include "platform/DesktopOpener.h"

#include <QDesktopServices>

namespace corvane {

namespace {
class DesktopServicesOpener final : public DesktopOpener {
public:
    bool open(const QUrl &url) override { return QDesktopServices::openUrl(url); }
};
} // namespace

std::unique_ptr<DesktopOpener> makeDesktopOpener() { return std::make_unique<DesktopServicesOpener>(); }

} // namespace corvane
