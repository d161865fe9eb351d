#pragma once
#include "platform/Nl80211.h"

namespace corvane::test {

class FakeNl80211 final : public Nl80211 {
public:
    std::optional<std::vector<Nl80211Station>> stations() override { return list; }
    std::optional<std::vector<Nl80211Station>> list = std::vector<Nl80211Station>{};
};

} // namespace corvane::test
