#include "monitors/StorageMonitor.h"
#include "monitors/Publish.h"
#include "monitors/Rates.h"

namespace corvane {

StorageMonitor::StorageMonitor(QObject *parent)
    : StorageMonitor(makeLinuxBlockStorage(), Clock::system(), true, parent)
{
}

StorageMonitor::StorageMonitor(std::unique_ptr<BlockStorage> source, const Clock &clock, bool autoStart,
                               QObject *parent)
    : QObject(parent), m_sampler(std::make_unique<StorageSampler>(std::move(source), clock)),
      m_readHistory(new MetricHistory(this)), m_writeHistory(new MetricHistory(this))
{
    m_scheduler = std::make_unique<SamplerScheduler>(
        QStringLiteral("corvane.storage-sampler"), Cadence::every(m_interval),
        sampleThenPublish(m_sampler.get(), this),
        SamplerScheduler::Placement::OwnThread, clock);
    if (autoStart)
        start();
}

StorageMonitor::~StorageMonitor()
{
    m_scheduler.reset(); // joins the sampler thread before the sampler goes
}

void StorageMonitor::start() { m_scheduler->start(); }
void StorageMonitor::stop() { m_scheduler->stop(); }

void StorageMonitor::setInterval(double seconds)
{
    m_interval = seconds;
    m_scheduler->setCadence(Cadence::every(seconds));
}

StorageSampler::DiskStatistics StorageSampler::sumDrives(const QList<DriveCounters> &drives)
{
    DiskStatistics d;
    for (const auto &drv : drives) {
        if (drv.productName && d.name == u"—")
            d.name = *drv.productName;
        d.read += drv.bytesRead.value_or(0);
        d.written += drv.bytesWritten.value_or(0);
    }
    return d;
}

StorageSampler::Capacity StorageSampler::capacityOf(const VolumeCapacity &v)
{
    Capacity c;
    c.total = v.total.value_or(0);
    const uint64_t important = v.availableForImportantUsage.value_or(0);
    c.free = important != 0 ? important : v.available.value_or(0);
    return c;
}

StorageSnapshot StorageSampler::sample()
{
    const auto drives = m_source->drives();
    const uint64_t now = m_clock.monotonicNs();
    Capacity capacity;
    if (auto vol = m_source->homeVolume())
        capacity = capacityOf(*vol);

    StorageSnapshot s;
    s.totalBytes = capacity.total;
    s.freeBytes = capacity.free;
    s.quickReads = !m_source->readsMayBlock();
    if (!drives || drives->isEmpty())
        return s;
    DiskStatistics disks = sumDrives(*drives);
    if (m_lastTimestampNs != 0) {
        const double dt = rateInterval(now, m_lastTimestampNs);
        s.rates = StorageSnapshot::Rates{counterRate(disks.read, m_lastRead, dt),
                                         counterRate(disks.written, m_lastWrite, dt)};
    }
    m_lastRead = disks.read;
    m_lastWrite = disks.written;
    m_lastTimestampNs = now;
    s.driveName = std::move(disks.name);
    return s;
}

void StorageMonitor::publish(const Snapshot &s)
{
    // A thread of its own only where a read may hang; otherwise one wake-up less a second.
    m_scheduler->tickOnSharedThread(s.quickReads);
    ChangeSet changes;
    if (s.rates) {
        changes.set(this, m_read, quint64(s.rates->read), &StorageMonitor::readBytesPerSecChanged);
        changes.set(this, m_write, quint64(s.rates->write), &StorageMonitor::writeBytesPerSecChanged);
    }
    if (s.driveName)
        changes.set(this, m_driveName, *s.driveName, &StorageMonitor::driveNameChanged);
    changes.set(this, m_total, quint64(s.totalBytes), &StorageMonitor::totalCapacityBytesChanged);
    changes.set(this, m_free, quint64(s.freeBytes), &StorageMonitor::freeCapacityBytesChanged);
    if (s.rates) {
        m_readHistory->push(static_cast<double>(s.rates->read));
        m_writeHistory->push(static_cast<double>(s.rates->write));
    }
    changes.emitAll();
    emit updated();
}

} // namespace corvane
