#include "platform/AudioDevices.h"

#include "common/Log.h"
#include "platform/linux/PulseSourceState.h"

#include <pulse/pulseaudio.h>

#include <chrono>
#include <condition_variable>
#include <map>
#include <mutex>
#include <vector>

namespace corvane {
namespace {

// How long start-up waits for the server's first answer before falling back.
constexpr auto kConnectTimeout = std::chrono::milliseconds(2000);

class PulseAudioDevices final : public AudioDevices {
public:
    PulseAudioDevices() = default;

    ~PulseAudioDevices() override
    {
        if (!m_loop)
            return;
        pa_threaded_mainloop_lock(m_loop);
        if (m_ctx) {
            pa_context_set_state_callback(m_ctx, nullptr, nullptr);
            pa_context_set_subscribe_callback(m_ctx, nullptr, nullptr);
            pa_context_disconnect(m_ctx);
            pa_context_unref(m_ctx);
            m_ctx = nullptr;
        }
        pa_threaded_mainloop_unlock(m_loop);
        pa_threaded_mainloop_stop(m_loop); // joins the listener thread
        pa_threaded_mainloop_free(m_loop);
    }

    // Connects and reads the first device list; false when no server answers in time.
    bool start()
    {
        m_loop = pa_threaded_mainloop_new();
        if (!m_loop)
            return false;
        pa_threaded_mainloop_set_name(m_loop, "corvane.mic-listener");
        m_ctx = pa_context_new(pa_threaded_mainloop_get_api(m_loop), "Corvane");
        if (!m_ctx)
            return false;
        pa_context_set_state_callback(m_ctx, &PulseAudioDevices::onState, this);
        if (pa_context_connect(m_ctx, nullptr, PA_CONTEXT_NOAUTOSPAWN, nullptr) < 0)
            return false;
        if (pa_threaded_mainloop_start(m_loop) < 0)
            return false;
        std::unique_lock lock(m_mutex);
        m_cv.wait_for(lock, kConnectTimeout, [this] { return m_firstRead || m_failed; });
        return m_firstRead && !m_failed;
    }

    void setDeviceListListener(Listener listener) override
    {
        std::lock_guard lock(m_mutex);
        m_listListener = std::move(listener);
    }

    std::optional<QStringList> deviceList() override
    {
        std::lock_guard lock(m_mutex);
        if (m_failed)
            return std::nullopt;
        QStringList out;
        for (const pulse::Device &d : m_devices)
            out.append(d.name);
        return out;
    }

    std::optional<bool> hasInputChannels(const QString &device) override
    {
        std::lock_guard lock(m_mutex);
        if (const pulse::Device *d = find(device))
            return d->hasInput;
        return std::nullopt;
    }

    int addRunningListener(const QString &device, Listener listener) override
    {
        std::lock_guard lock(m_mutex);
        const int token = m_nextToken++;
        m_listeners.emplace(token, std::make_pair(device, std::move(listener)));
        return token;
    }

    void removeRunningListener(const QString &, int token) override
    {
        std::lock_guard lock(m_mutex);
        m_listeners.erase(token);
    }

    std::optional<bool> isRunningSomewhere(const QString &device) override
    {
        std::lock_guard lock(m_mutex);
        if (const pulse::Device *d = find(device))
            return d->running;
        return std::nullopt;
    }

    std::optional<QString> name(const QString &device) override
    {
        std::lock_guard lock(m_mutex);
        if (const pulse::Device *d = find(device); d && !d->description.isEmpty())
            return d->description;
        return std::nullopt;
    }

private:
    const pulse::Device *find(const QString &name) const
    {
        for (const pulse::Device &d : m_devices)
            if (d.name == name)
                return &d;
        return nullptr;
    }

    // --- everything below runs on the mainloop thread with the loop lock held ---

    static void onState(pa_context *c, void *self)
    {
        auto *me = static_cast<PulseAudioDevices *>(self);
        switch (pa_context_get_state(c)) {
        case PA_CONTEXT_READY: {
            pa_context_set_subscribe_callback(c, &PulseAudioDevices::onEvent, me);
            const auto mask = static_cast<pa_subscription_mask_t>(PA_SUBSCRIPTION_MASK_SOURCE | PA_SUBSCRIPTION_MASK_SOURCE_OUTPUT);
            if (pa_operation *op = pa_context_subscribe(c, mask, nullptr, nullptr))
                pa_operation_unref(op);
            me->requestRead();
            break;
        }
        case PA_CONTEXT_FAILED:
        case PA_CONTEXT_TERMINATED:
            me->lost();
            break;
        default:
            break;
        }
    }

    static void onEvent(pa_context *, pa_subscription_event_type_t, uint32_t, void *self)
    {
        static_cast<PulseAudioDevices *>(self)->requestRead();
    }

    // Re-reads sources and recording streams; a burst of events costs one extra read.
    void requestRead()
    {
        if (m_reading) {
            m_readAgain = true;
            return;
        }
        m_reading = true;
        m_readAgain = false;
        m_pendingSources.clear();
        m_pendingOutputs.clear();
        m_pendingLists = 2;
        pa_operation *a = pa_context_get_source_info_list(m_ctx, &PulseAudioDevices::onSource, this);
        pa_operation *b = pa_context_get_source_output_info_list(m_ctx, &PulseAudioDevices::onOutput, this);
        if (a)
            pa_operation_unref(a);
        else
            --m_pendingLists;
        if (b)
            pa_operation_unref(b);
        else
            --m_pendingLists;
        if (m_pendingLists == 0)
            m_reading = false; // the context is going away; lost() follows
    }

    static void onSource(pa_context *, const pa_source_info *i, int eol, void *self)
    {
        auto *me = static_cast<PulseAudioDevices *>(self);
        if (eol) {
            me->listDone();
            return;
        }
        if (!i)
            return;
        pulse::SourceRecord r;
        r.index = i->index;
        r.name = QString::fromUtf8(i->name ? i->name : "");
        r.description = QString::fromUtf8(i->description ? i->description : "");
        r.isMonitor = i->monitor_of_sink != PA_INVALID_INDEX;
        r.channels = i->sample_spec.channels;
        r.stateRunning = i->state == PA_SOURCE_RUNNING;
        me->m_pendingSources.append(r);
    }

    static void onOutput(pa_context *, const pa_source_output_info *i, int eol, void *self)
    {
        auto *me = static_cast<PulseAudioDevices *>(self);
        if (eol) {
            me->listDone();
            return;
        }
        if (i)
            me->m_pendingOutputs.append({i->source, i->corked != 0});
    }

    void listDone()
    {
        if (--m_pendingLists > 0)
            return;
        m_reading = false;
        commit(pulse::buildDevices(m_pendingSources, m_pendingOutputs));
        if (m_readAgain)
            requestRead();
    }

    void commit(const QList<pulse::Device> &devices)
    {
        std::vector<Listener> toCall;
        {
            std::lock_guard lock(m_mutex);
            const pulse::Changes changes = pulse::diff(m_devices, devices);
            m_devices = devices;
            const bool first = !m_firstRead;
            m_firstRead = true;
            if (first) {
                m_cv.notify_all();
            } else if (changes.listChanged) {
                if (m_listListener)
                    toCall.push_back(m_listListener);
            } else {
                for (const auto &[token, entry] : m_listeners)
                    if (changes.runningChanged.contains(entry.first))
                        toCall.push_back(entry.second);
            }
        }
        for (const Listener &l : toCall)
            l();
    }

    void lost()
    {
        std::vector<Listener> toCall;
        {
            std::lock_guard lock(m_mutex);
            if (m_firstRead && !m_failed)
                qCWarning(lcPlatform) << "sound server connection lost; microphone use is no longer followed";
            const bool hadDevices = !m_devices.isEmpty();
            m_failed = true;
            m_devices.clear();
            m_cv.notify_all();
            if (m_firstRead && hadDevices && m_listListener)
                toCall.push_back(m_listListener); // the server went away: everything is off
        }
        for (const Listener &l : toCall)
            l();
    }

    pa_threaded_mainloop *m_loop = nullptr;
    pa_context *m_ctx = nullptr;

    // Mainloop-thread state.
    bool m_reading = false;
    bool m_readAgain = false;
    int m_pendingLists = 0;
    QList<pulse::SourceRecord> m_pendingSources;
    QList<pulse::OutputRecord> m_pendingOutputs;

    // Shared state.
    std::mutex m_mutex;
    std::condition_variable m_cv;
    bool m_firstRead = false;
    bool m_failed = false;
    QList<pulse::Device> m_devices;
    Listener m_listListener;
    std::map<int, std::pair<QString, Listener>> m_listeners;
    int m_nextToken = 1;
};

} // namespace

std::unique_ptr<AudioDevices> makePulseAudioDevices()
{
    auto p = std::make_unique<PulseAudioDevices>();
    if (!p->start()) {
        qCInfo(lcPlatform) << "no sound server answered; the microphone is watched through ALSA's status files";
        return nullptr;
    }
    return p;
}

} // namespace corvane
