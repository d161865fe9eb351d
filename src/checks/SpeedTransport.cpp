#include "checks/SpeedTransport.h"

#include "checks/SpeedTransportEngine.h"
#include "common/Log.h"
#include "platform/ProgramModule.h"

#include <QSslCertificate>
#include <QSslConfiguration>

#include <linux/tcp.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <atomic>
#include <cstddef>

namespace corvane {

namespace {

std::optional<SpeedTransport::WireCount> kernelWireCount(int fd)
{
    tcp_info info{};
    socklen_t len = sizeof info;
    if (getsockopt(fd, IPPROTO_TCP, TCP_INFO, &info, &len) != 0
        || len < socklen_t(offsetof(tcp_info, tcpi_bytes_received) + sizeof info.tcpi_bytes_received))
        return std::nullopt;
    SpeedTransport::WireCount count{info.tcpi_bytes_received, info.tcpi_bytes_acked, std::nullopt};
    if (len >= socklen_t(offsetof(tcp_info, tcpi_snd_wnd) + sizeof info.tcpi_snd_wnd))
        count.peerWindow = info.tcpi_snd_wnd;
    return count;
}

std::atomic<SpeedTransport::WireReader> wireReader{&kernelWireCount};

std::optional<SpeedTransport::WireCount> readWire(int fd)
{
    return wireReader.load()(fd);
}

SpeedTransportEngineFactory moduleFactory()
{
    static const SpeedTransportEngineFactory make = []() -> SpeedTransportEngineFactory {
        if (void *fn = programModuleSymbol("libcorvane_speed.so", kSpeedTransportEngineSymbol))
            return reinterpret_cast<SpeedTransportEngineFactory>(fn);
        qCWarning(lcPlatform) << "no speed test module (libcorvane_speed.so): the speed test cannot run";
        return nullptr;
    }();
    return make;
}

std::atomic<SpeedTransportEngineFactory> factoryOverride{nullptr};

// Without the module every request fails at once, through the same path as a failed
// connection, so the test ends with an error on screen instead of waiting on nothing.
class MissingEngine final : public SpeedTransportEngine {
public:
    void submit(std::vector<SpeedTransport::Request> requests) override
    {
        for (SpeedTransport::Request &r : requests) {
            if (!r.onDone)
                continue;
            SpeedTransport::Result result;
            result.kind = SpeedTransport::Result::transport;
            result.error = QStringLiteral("modulul de transfer al testului de viteză lipsește (libcorvane_speed.so)");
            r.onDone(result);
        }
    }
    void cancelAll() override {}
};

} // namespace

void setSpeedTransportEngineFactory(SpeedTransportEngineFactory factory)
{
    factoryOverride = factory;
}

struct SpeedTransport::Worker {
    std::unique_ptr<SpeedTransportEngine> engine;
};

SpeedTransport::SpeedTransport() : d(std::make_unique<Worker>())
{
    const SpeedTransportEngineFactory make = factoryOverride.load() ? factoryOverride.load() : moduleFactory();
    if (make)
        d->engine.reset(make(&readWire));
    if (!d->engine)
        d->engine = std::make_unique<MissingEngine>();
}

SpeedTransport::~SpeedTransport() = default;

void SpeedTransport::submit(std::vector<Request> requests)
{
    d->engine->submit(std::move(requests));
}

void SpeedTransport::cancelAll()
{
    d->engine->cancelAll();
}

void SpeedTransport::setWireReader(WireReader reader)
{
    wireReader = reader ? reader : &kernelWireCount;
}

QByteArray SpeedTransport::trustedPem(const QByteArray &extraPem)
{
    QByteArray pem = extraPem;
    // A certificate added to Qt's default configuration is trusted here too. (Qt loads the
    // system's own on demand, so they are not in this list; where they are, they are parsed
    // once per run and trusted anyway.)
    for (const QSslCertificate &c : QSslConfiguration::defaultConfiguration().caCertificates())
        pem += c.toPem();
    return pem;
}

} // namespace corvane
