#include "monitors/StorageMonitor.h"
#include "monitors/Rates.h"

namespace corvane {

StorageMonitor::StorageMonitor(QObject *parent)
    : StorageMonitor(makeLinuxBlockStorage(), Clock::system(), true, parent)
{
}

StorageMonitor::StorageMonitor(std::unique_ptr<BlockStorage> source, const Clock &clock, bool autoStart,
                               QObject *parent)
    : QObject(parent), m_source(std::move(source)), m_clock(clock), m_readHistory(new MetricHistory(this)),
      m_writeHistory(new MetricHistory(this))
{
    m_scheduler = std::make_unique<SamplerScheduler>(
        QStringLiteral("corvane.storage-sampler"), Cadence::wholeSecond(),
        sampleThenPublish(this),
        SamplerScheduler::Placement::OwnThread, clock);
    if (autoStart)
        start();
}

StorageMonitor::~StorageMonitor()
{
    m_scheduler.reset();
}

void StorageMonitor::start() { m_scheduler->start(); }
void StorageMonitor::stop() { m_scheduler->stop(); }

StorageMonitor::DiskStatistics StorageMonitor::sumDrives(const QList<DriveCounters> &drives)
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

StorageMonitor::Capacity StorageMonitor::capacityOf(const VolumeCapacity &v)
{
    Capacity c;
    c.total = v.total.value_or(0);
    const uint64_t important = v.availableForImportantUsage.value_or(0);
    c.free = important != 0 ? important : v.available.value_or(0);
    return c;
}

StorageMonitor::Snapshot StorageMonitor::sample()
{
    Snapshot s;
    if (auto drives = m_source->drives())
        s.disks = sumDrives(*drives);
    s.timestampNs = m_clock.monotonicNs();
    if (auto vol = m_source->homeVolume())
        s.capacity = capacityOf(*vol);
    return s;
}

void StorageMonitor::publish(const Snapshot &s)
{
    if (m_lastTimestampNs != 0) {
        const double dt = rateInterval(s.timestampNs, m_lastTimestampNs);
        const uint64_t r = counterRate(s.disks.read, m_lastRead, dt);
        const uint64_t w = counterRate(s.disks.written, m_lastWrite, dt);
        m_read = r;
        emit readBytesPerSecChanged();
        m_write = w;
        emit writeBytesPerSecChanged();
        m_readHistory->push(static_cast<double>(r));
        m_writeHistory->push(static_cast<double>(w));
    }
    m_lastRead = s.disks.read;
    m_lastWrite = s.disks.written;
    m_lastTimestampNs = s.timestampNs;
    m_driveName = s.disks.name;
    emit driveNameChanged();
    m_total = s.capacity.total;
    emit totalCapacityBytesChanged();
    m_free = s.capacity.free;
    emit freeCapacityBytesChanged();
    emit updated();
}

} // namespace corvane
