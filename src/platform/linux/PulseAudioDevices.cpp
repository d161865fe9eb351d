#include "platform/AudioDevices.h"

#include "common/Log.h"
#include "platform/linux/PulseSourceState.h"

#include <pulse/pulseaudio.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <map>
#include <mutex>
#include <vector>

namespace corvane {
namespace {

// How long start-up waits for the server's first answer before falling back.
constexpr auto kConnectTimeout = std::chrono::milliseconds(2000);
// After the server goes away (restart, crash, not yet started): retry after this long,
// doubling up to the ceiling. A restart is back within the first few tries; a machine
// with no server at all pays for a connection attempt (client.conf, X11 properties,
// socket) only twice a minute, while the ALSA poll stands in.
constexpr pa_usec_t kRetryFirst = 250 * PA_USEC_PER_MSEC;
constexpr pa_usec_t kRetryCeiling = 30 * PA_USEC_PER_SEC;

class PulseAudioDevices final : public AudioDevices {
public:
    PulseAudioDevices() = default;

    ~PulseAudioDevices() override
    {
        if (!m_loop)
            return;
        pa_threaded_mainloop_lock(m_loop);
        m_stopping = true;
        if (m_retry) {
            pa_threaded_mainloop_get_api(m_loop)->time_free(m_retry);
            m_retry = nullptr;
        }
        dropContext();
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
        if (pa_threaded_mainloop_start(m_loop) < 0) {
            pa_threaded_mainloop_free(m_loop);
            m_loop = nullptr;
            return false;
        }
        pa_threaded_mainloop_lock(m_loop);
        connect();
        pa_threaded_mainloop_unlock(m_loop);
        std::unique_lock lock(m_mutex);
        m_cv.wait_for(lock, kConnectTimeout, [this] { return m_firstRead || m_failed; });
        // From here on every new list is announced, also the first one of a server that
        // only appears later.
        m_announce = true;
        return m_firstRead && !m_failed;
    }

    // False when libpulse could not even set up its loop: nothing will ever connect.
    bool retrying() const { return m_loop != nullptr; }

    // True while a server answers.
    bool connected()
    {
        std::lock_guard lock(m_mutex);
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

    void dropContext()
    {
        if (!m_ctx)
            return;
        pa_context_set_state_callback(m_ctx, nullptr, nullptr);
        pa_context_set_subscribe_callback(m_ctx, nullptr, nullptr);
        pa_context_disconnect(m_ctx);
        pa_context_unref(m_ctx);
        m_ctx = nullptr;
    }

    // A fresh context: a context that failed once stays failed.
    void connect()
    {
        dropContext();
        m_reading = false;
        m_readAgain = false;
        m_pendingLists = 0;
        m_ctx = pa_context_new(pa_threaded_mainloop_get_api(m_loop), "Corvane");
        if (!m_ctx) {
            scheduleRetry();
            return;
        }
        pa_context_set_state_callback(m_ctx, &PulseAudioDevices::onState, this);
        if (pa_context_connect(m_ctx, nullptr, PA_CONTEXT_NOAUTOSPAWN, nullptr) < 0)
            lost(); // no server right now
    }

    void scheduleRetry()
    {
        if (m_stopping || m_retry)
            return;
        timeval tv;
        pa_timeval_add(pa_gettimeofday(&tv), m_retryDelay);
        m_retryDelay = std::min(m_retryDelay * 2, kRetryCeiling);
        pa_mainloop_api *api = pa_threaded_mainloop_get_api(m_loop);
        m_retry = api->time_new(api, &tv, &PulseAudioDevices::onRetry, this);
    }

    static void onRetry(pa_mainloop_api *api, pa_time_event *e, const timeval *, void *self)
    {
        auto *me = static_cast<PulseAudioDevices *>(self);
        api->time_free(e);
        me->m_retry = nullptr;
        if (!me->m_stopping)
            me->connect();
    }

    static void onState(pa_context *c, void *self)
    {
        auto *me = static_cast<PulseAudioDevices *>(self);
        if (c != me->m_ctx)
            return;
        switch (pa_context_get_state(c)) {
        case PA_CONTEXT_READY: {
            me->m_retryDelay = kRetryFirst;
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

    static void onSource(pa_context *c, const pa_source_info *i, int eol, void *self)
    {
        auto *me = static_cast<PulseAudioDevices *>(self);
        if (c != me->m_ctx)
            return; // an answer from a context that has since been replaced
        if (eol < 0)
            return; // the context is failing; lost() follows
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

    static void onOutput(pa_context *c, const pa_source_output_info *i, int eol, void *self)
    {
        auto *me = static_cast<PulseAudioDevices *>(self);
        if (c != me->m_ctx)
            return;
        if (eol < 0)
            return;
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
            const bool back = m_failed; // the server came back (or appeared)
            m_firstRead = true;
            m_failed = false;
            if (!m_announce) {
                m_cv.notify_all();
            } else if (changes.listChanged || back) {
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
            if (m_announce && hadDevices && m_listListener)
                toCall.push_back(m_listListener); // the server went away: everything is off
        }
        m_reading = false;
        m_pendingLists = 0;
        // Restarted or crashed servers come back; so do servers that start after us.
        scheduleRetry();
        for (const Listener &l : toCall)
            l();
    }

    pa_threaded_mainloop *m_loop = nullptr;
    pa_context *m_ctx = nullptr;
    pa_time_event *m_retry = nullptr;
    pa_usec_t m_retryDelay = kRetryFirst;
    bool m_stopping = false;

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
    bool m_announce = false; // start() has returned
    QList<pulse::Device> m_devices;
    Listener m_listListener;
    std::map<int, std::pair<QString, Listener>> m_listeners;
    int m_nextToken = 1;
};

// No sound server at start: the capture PCMs stand in (polled) until one appears, and
// again whenever it is gone; running listeners sit on both, only the live one fires.
class SoundServerOrPcms final : public AudioDevices {
public:
    SoundServerOrPcms(std::unique_ptr<PulseAudioDevices> pulse, std::unique_ptr<AudioDevices> pcms)
        : m_pulse(std::move(pulse)), m_pcms(std::move(pcms))
    {
    }
    ~SoundServerOrPcms() override
    {
        m_pulse.reset(); // stops its thread before the listeners' owner goes
        m_pcms.reset();
    }

    void setDeviceListListener(Listener listener) override
    {
        m_listener = std::move(listener);
        m_pcms->setDeviceListListener([this] {
            if (!m_pulse->connected())
                m_listener();
        });
        m_pulse->setDeviceListListener([this] { m_listener(); });
    }
    std::optional<QStringList> deviceList() override { return active()->deviceList(); }
    std::optional<bool> hasInputChannels(const QString &device) override { return active()->hasInputChannels(device); }
    int addRunningListener(const QString &device, Listener listener) override
    {
        const int pcm = m_pcms->addRunningListener(device, listener);
        const int server = m_pulse->addRunningListener(device, std::move(listener));
        std::lock_guard lock(m_mutex);
        const int token = m_nextToken++;
        m_tokens.emplace(token, std::make_pair(pcm, server));
        return token;
    }
    void removeRunningListener(const QString &device, int token) override
    {
        std::pair<int, int> inner;
        {
            std::lock_guard lock(m_mutex);
            const auto it = m_tokens.find(token);
            if (it == m_tokens.end())
                return;
            inner = it->second;
            m_tokens.erase(it);
        }
        m_pcms->removeRunningListener(device, inner.first);
        m_pulse->removeRunningListener(device, inner.second);
    }
    std::optional<bool> isRunningSomewhere(const QString &device) override
    {
        return active()->isRunningSomewhere(device);
    }
    std::optional<QString> name(const QString &device) override { return active()->name(device); }
    std::optional<double> pollInterval() const override { return m_pcms->pollInterval(); }
    void poll() override
    {
        if (!m_pulse->connected())
            m_pcms->poll();
    }

private:
    AudioDevices *active() { return m_pulse->connected() ? static_cast<AudioDevices *>(m_pulse.get()) : m_pcms.get(); }

    std::unique_ptr<PulseAudioDevices> m_pulse;
    std::unique_ptr<AudioDevices> m_pcms;
    Listener m_listener;
    std::mutex m_mutex;
    std::map<int, std::pair<int, int>> m_tokens;
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

std::unique_ptr<AudioDevices> makeLinuxAudioDevices(const QString &procRoot)
{
    auto pulse = std::make_unique<PulseAudioDevices>();
    if (pulse->start())
        return pulse;
    if (!pulse->connected() && pulse->retrying())
        return std::make_unique<SoundServerOrPcms>(std::move(pulse), makeAlsaAudioDevices(procRoot));
    return makeAlsaAudioDevices(procRoot);
}

} // namespace corvane
