#include "common/DisplayText.h"

namespace corvane {

namespace {
bool reorders(char16_t c)
{
    return c < 0x20 || (c >= 0x7F && c < 0xA0) // C0 and C1 controls, DEL
        || c == 0x061C                          // Arabic letter mark
        || c == 0x200E || c == 0x200F           // LRM, RLM
        || (c >= 0x202A && c <= 0x202E)         // LRE, RLE, PDF, LRO, RLO
        || (c >= 0x2066 && c <= 0x2069)         // LRI, RLI, FSI, PDI
        || c == 0x2028 || c == 0x2029;          // line and paragraph separators
}
} // namespace

QString neutralisedName(const QString &name)
{
    qsizetype i = 0;
    while (i < name.size() && !reorders(name[i].unicode()))
        ++i;
    if (i == name.size())
        return name; // the usual case: shared, not copied
    QString out = name;
    for (; i < out.size(); ++i)
        if (reorders(out[i].unicode()))
            out[i] = QChar::ReplacementCharacter;
    return out;
}

} // namespace corvane
