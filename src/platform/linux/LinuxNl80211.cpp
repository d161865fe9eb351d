#include "platform/linux/Nl80211Messages.h"
#include "platform/linux/SysFile.h"

#include <linux/nl80211.h>
#include <netlink/genl/ctrl.h>
#include <netlink/genl/genl.h>
#include <netlink/netlink.h>

#include <functional>

namespace corvane {
namespace nl80211msg {
namespace {

QString macText(const nlattr *a)
{
    if (!a || nla_len(a) != 6)
        return {};
    const auto *b = static_cast<const uint8_t *>(nla_data(a));
    return QString::asprintf("%02x:%02x:%02x:%02x:%02x:%02x", b[0], b[1], b[2], b[3], b[4], b[5]);
}

// Signal and noise arrive as u8 holding a signed dBm value.
int64_t dbm(const nlattr *a) { return static_cast<int8_t>(nla_get_u8(const_cast<nlattr *>(a))); }

bool parse(nl_msg *msg, nlattr **tb)
{
    auto *gh = static_cast<genlmsghdr *>(nlmsg_data(nlmsg_hdr(msg)));
    return nla_parse(tb, NL80211_ATTR_MAX, genlmsg_attrdata(gh, 0), genlmsg_attrlen(gh, 0), nullptr) == 0;
}

} // namespace

QByteArray ssidFromElements(const uint8_t *data, size_t size)
{
    size_t i = 0;
    while (i + 2 <= size) {
        const uint8_t id = data[i];
        const uint8_t len = data[i + 1];
        if (i + 2 + len > size)
            return {};
        if (id == 0)
            return len <= 32 ? QByteArray(reinterpret_cast<const char *>(data + i + 2), len) : QByteArray();
        i += 2 + len;
    }
    return {};
}

bool readInterface(nl_msg *msg, Nl80211Station &s)
{
    nlattr *tb[NL80211_ATTR_MAX + 1] = {};
    if (!parse(msg, tb) || !tb[NL80211_ATTR_IFINDEX] || !tb[NL80211_ATTR_IFNAME])
        return false;
    if (tb[NL80211_ATTR_IFTYPE] && nla_get_u32(tb[NL80211_ATTR_IFTYPE]) != NL80211_IFTYPE_STATION)
        return false;
    s.ifindex = nla_get_u32(tb[NL80211_ATTR_IFINDEX]);
    s.name = QString::fromUtf8(nla_get_string(tb[NL80211_ATTR_IFNAME]));
    if (const QString mac = macText(tb[NL80211_ATTR_MAC]); !mac.isEmpty())
        s.mac = mac;
    if (tb[NL80211_ATTR_SSID] && nla_len(tb[NL80211_ATTR_SSID]) <= 32)
        s.ssid = QByteArray(static_cast<const char *>(nla_data(tb[NL80211_ATTR_SSID])), nla_len(tb[NL80211_ATTR_SSID]));
    if (tb[NL80211_ATTR_WIPHY_FREQ])
        s.frequencyMhz = nla_get_u32(tb[NL80211_ATTR_WIPHY_FREQ]);
    return true;
}

void readStation(nl_msg *msg, Nl80211Station &s)
{
    nlattr *tb[NL80211_ATTR_MAX + 1] = {};
    if (!parse(msg, tb) || !tb[NL80211_ATTR_STA_INFO])
        return;
    nlattr *info[NL80211_STA_INFO_MAX + 1] = {};
    if (nla_parse_nested(info, NL80211_STA_INFO_MAX, tb[NL80211_ATTR_STA_INFO], nullptr) != 0)
        return;
    s.associated = true;
    if (const QString mac = macText(tb[NL80211_ATTR_MAC]); !mac.isEmpty())
        s.bssid = mac;
    if (info[NL80211_STA_INFO_SIGNAL])
        s.signalDbm = dbm(info[NL80211_STA_INFO_SIGNAL]);
    else if (info[NL80211_STA_INFO_SIGNAL_AVG])
        s.signalDbm = dbm(info[NL80211_STA_INFO_SIGNAL_AVG]);
    if (info[NL80211_STA_INFO_TX_BITRATE]) {
        nlattr *rate[NL80211_RATE_INFO_MAX + 1] = {};
        if (nla_parse_nested(rate, NL80211_RATE_INFO_MAX, info[NL80211_STA_INFO_TX_BITRATE], nullptr) == 0) {
            // Units of 100 kbit/s; the 32-bit figure where the 16-bit one would overflow.
            if (rate[NL80211_RATE_INFO_BITRATE32])
                s.txRateMbps = nla_get_u32(rate[NL80211_RATE_INFO_BITRATE32]) / 10.0;
            else if (rate[NL80211_RATE_INFO_BITRATE])
                s.txRateMbps = nla_get_u16(rate[NL80211_RATE_INFO_BITRATE]) / 10.0;
        }
    }
}

void readSurvey(nl_msg *msg, Nl80211Station &s)
{
    nlattr *tb[NL80211_ATTR_MAX + 1] = {};
    if (!parse(msg, tb) || !tb[NL80211_ATTR_SURVEY_INFO])
        return;
    nlattr *sv[NL80211_SURVEY_INFO_MAX + 1] = {};
    if (nla_parse_nested(sv, NL80211_SURVEY_INFO_MAX, tb[NL80211_ATTR_SURVEY_INFO], nullptr) != 0)
        return;
    if (sv[NL80211_SURVEY_INFO_IN_USE] && sv[NL80211_SURVEY_INFO_NOISE])
        s.noiseDbm = dbm(sv[NL80211_SURVEY_INFO_NOISE]);
}

void readScan(nl_msg *msg, Nl80211Station &s)
{
    nlattr *tb[NL80211_ATTR_MAX + 1] = {};
    if (!parse(msg, tb) || !tb[NL80211_ATTR_BSS])
        return;
    nlattr *bss[NL80211_BSS_MAX + 1] = {};
    if (nla_parse_nested(bss, NL80211_BSS_MAX, tb[NL80211_ATTR_BSS], nullptr) != 0 || !bss[NL80211_BSS_STATUS])
        return;
    const uint32_t status = nla_get_u32(bss[NL80211_BSS_STATUS]);
    if (status != NL80211_BSS_STATUS_ASSOCIATED && status != NL80211_BSS_STATUS_IBSS_JOINED)
        return;
    if (!s.bssid)
        if (const QString mac = macText(bss[NL80211_BSS_BSSID]); !mac.isEmpty())
            s.bssid = mac;
    if (!s.frequencyMhz && bss[NL80211_BSS_FREQUENCY])
        s.frequencyMhz = nla_get_u32(bss[NL80211_BSS_FREQUENCY]);
    if (s.ssid.isEmpty() && bss[NL80211_BSS_INFORMATION_ELEMENTS]) {
        const nlattr *ie = bss[NL80211_BSS_INFORMATION_ELEMENTS];
        s.ssid = ssidFromElements(static_cast<const uint8_t *>(nla_data(ie)), static_cast<size_t>(nla_len(ie)));
    }
}

} // namespace nl80211msg

namespace {

const QString kCause = QStringLiteral("nl80211");
const QString kNoInterface = QStringLiteral("nl80211 interfaces");

class LinuxNl80211 final : public Nl80211 {
public:
    ~LinuxNl80211() override
    {
        if (m_sock)
            nl_socket_free(m_sock);
    }

    std::optional<std::vector<Nl80211Station>> stations() override
    {
        if (!open())
            return std::nullopt;
        std::vector<Nl80211Station> out;
        const bool listed = dump(NL80211_CMD_GET_INTERFACE, 0, [&](nl_msg *m) {
            Nl80211Station s;
            if (nl80211msg::readInterface(m, s))
                out.push_back(std::move(s));
        });
        if (!listed) {
            sysfile::failures().failed(kCause, QStringLiteral("nl80211: interface dump failed"));
            // The socket may be broken (e.g. after a resume): start afresh next time.
            nl_socket_free(m_sock);
            m_sock = nullptr;
            return std::nullopt;
        }
        sysfile::failures().cleared(kCause);
        if (out.empty())
            sysfile::failures().absent(kNoInterface, QStringLiteral("nl80211: no wireless interface"));
        else
            sysfile::failures().cleared(kNoInterface);
        for (Nl80211Station &s : out) {
            dump(NL80211_CMD_GET_STATION, s.ifindex, [&](nl_msg *m) { nl80211msg::readStation(m, s); });
            if (!s.associated)
                continue;
            dump(NL80211_CMD_GET_SURVEY, s.ifindex, [&](nl_msg *m) { nl80211msg::readSurvey(m, s); });
            if (s.ssid.isEmpty() || !s.frequencyMhz)
                dump(NL80211_CMD_GET_SCAN, s.ifindex, [&](nl_msg *m) { nl80211msg::readScan(m, s); });
        }
        return out;
    }

private:
    bool open()
    {
        if (m_sock)
            return true;
        m_sock = nl_socket_alloc();
        if (!m_sock)
            return false;
        int err = genl_connect(m_sock);
        if (err >= 0)
            err = m_family = genl_ctrl_resolve(m_sock, "nl80211");
        if (err < 0) {
            // No nl80211 family: a kernel without cfg80211, or a sandbox.
            sysfile::failures().absent(kCause, QStringLiteral("nl80211: ") + QString::fromUtf8(nl_geterror(err)));
            nl_socket_free(m_sock);
            m_sock = nullptr;
            return false;
        }
        return true;
    }

    using Handler = std::function<void(nl_msg *)>;

    static int onValid(nl_msg *msg, void *arg)
    {
        (*static_cast<Handler *>(arg))(msg);
        return NL_OK;
    }

    // One dump request; false when it could not be sent or the kernel refused it.
    bool dump(uint8_t cmd, uint32_t ifindex, Handler handler)
    {
        nl_msg *msg = nlmsg_alloc();
        if (!msg)
            return false;
        bool ok = genlmsg_put(msg, NL_AUTO_PORT, NL_AUTO_SEQ, m_family, 0, NLM_F_DUMP, cmd, 0) != nullptr;
        if (ok && ifindex != 0)
            ok = nla_put_u32(msg, NL80211_ATTR_IFINDEX, ifindex) == 0;
        if (ok)
            ok = nl_socket_modify_cb(m_sock, NL_CB_VALID, NL_CB_CUSTOM, &LinuxNl80211::onValid, &handler) == 0
                && nl_send_auto(m_sock, msg) >= 0 && nl_recvmsgs_default(m_sock) >= 0;
        nlmsg_free(msg);
        return ok;
    }

    nl_sock *m_sock = nullptr;
    int m_family = -1;
};

} // namespace

std::unique_ptr<Nl80211> makeLinuxNl80211() { return std::make_unique<LinuxNl80211>(); }

} // namespace corvane
