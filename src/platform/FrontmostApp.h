#pragma once
// The application the user is working in.
#include <QString>

#include <optional>

namespace corvane {

class FrontmostApp {
public:
    virtual ~FrontmostApp() = default;
    // The display name of the frontmost application; nullopt when none can be found.
    virtual std::optional<QString> name() const = 0;

    // The platform's backend (absent-answering where the window system can't tell).
    static const FrontmostApp &system();
};

} // namespace corvane
