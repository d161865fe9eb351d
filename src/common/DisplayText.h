#pragma once
// Names that come from outside (file names, report heads, device names) shown on one line.
#include <QString>

namespace corvane {

// Characters that would reorder the text around them or break the line (bidi embeddings,
// overrides, isolates and marks; control characters) become U+FFFD, so a name can't pose as
// another ("gedit<RLO>fdp.exe") and what was replaced stays visible.
QString neutralisedName(const QString &name);

} // namespace corvane
