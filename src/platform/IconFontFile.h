#pragma once
// Which copy of the icon font to register: the system's file when it is the very font built
// in (the font library maps a file on disk; a copy from the resources is read into the heap,
// twice), the built-in copy otherwise.
#include <QString>

namespace corvane {

// Where the distribution installs the icon font, and its copy among the resources.
inline constexpr const char *kInstalledIconFont =
    "/usr/share/fonts/truetype/materialdesignicons-webfont/materialdesignicons-webfont.ttf";
inline constexpr const char *kEmbeddedIconFont = ":/fonts/materialdesignicons-webfont.ttf";

// `installed` when it exists and matches `embedded` in size (another release of the font puts
// other glyphs at the same code points), otherwise `embedded`.
QString iconFontFile(const QString &installed, const QString &embedded);

} // namespace corvane
