#pragma once
// Passes a value on only when it differs from the one passed before; NaN after NaN is no
// change. Lets a listener of a monitor's updated() act on one field's changes while reading
// the other fields of the same snapshot.
#include "monitors/Publish.h"

#include <optional>

namespace corvane {

template <class T>
class Distinct {
public:
    bool changed(const T &v)
    {
        if (m_last && sameValue(*m_last, v))
            return false;
        m_last = v;
        return true;
    }

private:
    std::optional<T> m_last;
};

} // namespace corvane
