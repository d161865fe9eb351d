#pragma once
// What SpeedTransport forwards to: the libcurl side lives in a module (libcorvane_speed.so),
// so that libcurl, OpenSSL and what they pull in (GnuTLS, p11-kit…) are mapped only once a
// speed test runs, not for the whole life of the program.
#include "checks/SpeedTransport.h"

namespace corvane {

class SpeedTransportEngine {
public:
    virtual ~SpeedTransportEngine() = default; // ends every request without calling back
    virtual void submit(std::vector<SpeedTransport::Request> requests) = 0;
    virtual void cancelAll() = 0;
};

// The one symbol the module exports: a running engine that reads the kernel's byte counts
// through `readWire` (the program's, so its test seam reaches the module too).
using SpeedTransportEngineFactory = SpeedTransportEngine *(*)(SpeedTransport::WireReader readWire);
inline constexpr const char *kSpeedTransportEngineSymbol = "corvane_make_speed_transport_engine";

// Where engines come from; tests stand in for a missing module. nullptr: the module.
void setSpeedTransportEngineFactory(SpeedTransportEngineFactory factory);

} // namespace corvane
