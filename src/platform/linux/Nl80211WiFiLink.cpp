// The link as the kernel sees it (nl80211), so iwd, wpa_supplicant and systemd-networkd
// machines get the same figures as NetworkManager ones. Only the security comes from
// NetworkManager, which nl80211 does not know once associated; it is asked again only
// when the access point changes or NetworkManager signals a change, never on a timer.
#include "platform/Nl80211.h"
#include "platform/WiFiLink.h"

namespace corvane {
namespace {

class Nl80211WiFiLink final : public WiFiLink {
public:
    Nl80211WiFiLink(std::unique_ptr<Nl80211> nl, std::unique_ptr<WiFiLink> networkManager)
        : m_nl(std::move(nl)), m_nm(std::move(networkManager))
    {
    }

    std::optional<WiFiInterfaceReading> currentInterface() override
    {
        const auto stations = m_nl->stations();
        if (!stations)
            return m_nm ? m_nm->currentInterface() : std::nullopt; // no nl80211 (old kernel, sandbox)
        if (stations->empty())
            return std::nullopt;
        const Nl80211Station *s = &stations->front();
        for (const auto &st : *stations)
            if (st.associated) {
                s = &st;
                break;
            }
        WiFiInterfaceReading r;
        r.hardwareAddress = s->mac;
        if (!s->associated) {
            m_securityBssid.reset();
            return r;
        }
        if (!s->ssid.isEmpty())
            r.ssid = QString::fromUtf8(s->ssid);
        r.bssid = s->bssid;
        r.rssi = s->signalDbm.value_or(0);
        r.noise = s->noiseDbm.value_or(0);
        r.transmitRate = s->txRateMbps.value_or(0.0);
        if (s->frequencyMhz)
            r.channel = wifilinux::channelFromFrequency(*s->frequencyMhz);
        r.security = security(s->bssid);
        return r;
    }

    int locationAuthorizationStatus() const override { return kAuthorizedAlways; }

private:
    int64_t security(const std::optional<QString> &bssid)
    {
        constexpr auto unknown = static_cast<int64_t>(WiFiSecurity::Unknown);
        const bool same = m_securityBssid && bssid && m_securityBssid->compare(*bssid, Qt::CaseInsensitive) == 0;
        // Read the generation before asking, so a change during the call is not missed.
        const uint64_t generation = m_nm ? m_nm->changeGeneration() : 0;
        if (same && generation == m_askedGeneration)
            return m_security;
        m_securityBssid = bssid;
        m_askedGeneration = generation;
        m_security = unknown;
        if (m_nm && bssid)
            if (const auto nm = m_nm->currentInterface(); nm && nm->bssid
                && nm->bssid->compare(*bssid, Qt::CaseInsensitive) == 0)
                m_security = nm->security;
        return m_security;
    }

    std::unique_ptr<Nl80211> m_nl;
    std::unique_ptr<WiFiLink> m_nm;
    std::optional<QString> m_securityBssid;
    int64_t m_security = static_cast<int64_t>(WiFiSecurity::Unknown);
    uint64_t m_askedGeneration = 0;
};

} // namespace

std::unique_ptr<WiFiLink> makeNl80211WiFiLink(std::unique_ptr<Nl80211> nl, std::unique_ptr<WiFiLink> networkManager)
{
    return std::make_unique<Nl80211WiFiLink>(std::move(nl), std::move(networkManager));
}

std::unique_ptr<WiFiLink> makeLinuxWiFiLink()
{
    return makeNl80211WiFiLink(makeLinuxNl80211(), makeNetworkManagerWiFiLink());
}

} // namespace corvane
