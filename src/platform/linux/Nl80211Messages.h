#pragma once
// nl80211 replies read into a station record; apart from the socket so tests can feed
// replies built by hand.
#include "platform/Nl80211.h"

struct nl_msg;

namespace corvane::nl80211msg {

// GET_INTERFACE: false for anything but a station interface.
bool readInterface(nl_msg *msg, Nl80211Station &s);
// GET_STATION: the access point we are associated with (its address, signal, tx rate).
void readStation(nl_msg *msg, Nl80211Station &s);
// GET_SURVEY: the noise floor of the channel in use.
void readSurvey(nl_msg *msg, Nl80211Station &s);
// GET_SCAN: the associated BSS fills what is still missing (BSSID, SSID, frequency).
void readScan(nl_msg *msg, Nl80211Station &s);

// The SSID element of an information-element list; empty when absent or malformed.
QByteArray ssidFromElements(const uint8_t *data, size_t size);

} // namespace corvane::nl80211msg
