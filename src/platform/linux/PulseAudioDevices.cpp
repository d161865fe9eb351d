#include "platform/AudioDevices.h"

#include "common/Log.h"
#include "common/OwnedPool.h"
#include "common/ThreadName.h"
#include "platform/linux/PulseSourceState.h"

#include <QCoreApplication>
#include <QPointer>
#include <QThreadPool>

#include <pulse/pulseaudio.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <map>
#include <mutex>
#include <vector>

namespace corvane {
namespace {

// How long a server that doesn't answer keeps the ALSA stand-in waiting. Nothing waits for
// it: until the first answer the microphone reads as off.
constexpr pa_usec_t kStandInAfter = 2 * PA_USEC_PER_SEC;
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
        if (m_standIn) {
            pa_threaded_mainloop_get_api(m_loop)->time_free(m_standIn);
            m_standIn = nullptr;
        }
        dropContext();
        pa_threaded_mainloop_unlock(m_loop);
        pa_threaded_mainloop_stop(m_loop); // joins the listener thread
        pa_threaded_mainloop_free(m_loop);
    }

    // Starts connecting on the listener thread and returns at once; false when libpulse
    // could not even set up its loop (nothing will ever connect). Every change of the device
    // list is announced from then on: the first answer, a server that only appears later, a
    // server that goes away.
    bool start()
    {
        m_loop = pa_threaded_mainloop_new();
        if (!m_loop)
            return false;
        pa_threaded_mainloop_set_name(m_loop, kernelThreadName(QStringLiteral("corvane.mic-listener")).constData());
        if (pa_threaded_mainloop_start(m_loop) < 0) {
            pa_threaded_mainloop_free(m_loop);
            m_loop = nullptr;
            return false;
        }
        pa_threaded_mainloop_lock(m_loop);
        timeval tv;
        pa_timeval_add(pa_gettimeofday(&tv), kStandInAfter);
        pa_mainloop_api *api = pa_threaded_mainloop_get_api(m_loop);
        m_standIn = api->time_new(api, &tv, &PulseAudioDevices::onStandIn, this);
        connect();
        pa_threaded_mainloop_unlock(m_loop);
        return true;
    }

    // For tests: waits until the server has answered or has been given up on.
    bool waitForAnswer(std::chrono::milliseconds timeout)
    {
        std::unique_lock lock(m_mutex);
        m_cv.wait_for(lock, timeout, [this] { return m_state != State::waiting; });
        return m_state == State::connected;
    }

    // True while a server answers.
    bool connected()
    {
        std::lock_guard lock(m_mutex);
        return m_state == State::connected;
    }

    // True when no server answers (none runs, it went away, or it was given up on): the
    // ALSA status files stand in.
    bool absent()
    {
        std::lock_guard lock(m_mutex);
        return m_state == State::absent;
    }

    void setDeviceListListener(Listener listener) override
    {
        std::lock_guard lock(m_mutex);
        m_listListener = std::move(listener);
    }

    std::optional<QStringList> deviceList() override
    {
        std::lock_guard lock(m_mutex);
        if (m_state == State::absent)
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

    // The server took too long to give its first answer: the stand-in takes over, while the
    // connection stays open in case the answer still comes.
    static void onStandIn(pa_mainloop_api *api, pa_time_event *e, const timeval *, void *self)
    {
        auto *me = static_cast<PulseAudioDevices *>(self);
        api->time_free(e);
        me->m_standIn = nullptr;
        Listener toCall;
        {
            std::lock_guard lock(me->m_mutex);
            if (me->m_state != State::waiting)
                return;
            qCInfo(lcPlatform) << "the sound server hasn't answered; the microphone is watched through ALSA's status files";
            me->m_state = State::absent;
            me->m_cv.notify_all();
            toCall = me->m_listListener;
        }
        if (toCall)
            toCall();
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
            const bool answered = m_state != State::connected; // first answer, or back
            m_state = State::connected;
            m_cv.notify_all();
            if (changes.listChanged || answered) {
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
            if (m_state == State::connected)
                qCWarning(lcPlatform) << "sound server connection lost; microphone use is no longer followed";
            const bool wasThere = m_state != State::absent;
            m_state = State::absent;
            m_devices.clear();
            m_cv.notify_all();
            // The server went away, or there is none: the stand-in takes over.
            if (wasThere && m_listListener)
                toCall.push_back(m_listListener);
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
    pa_time_event *m_standIn = nullptr;
    pa_usec_t m_retryDelay = kRetryFirst;
    bool m_stopping = false;

    // Mainloop-thread state.
    bool m_reading = false;
    bool m_readAgain = false;
    int m_pendingLists = 0;
    QList<pulse::SourceRecord> m_pendingSources;
    QList<pulse::OutputRecord> m_pendingOutputs;

    // Shared state.
    enum class State { waiting, connected, absent };
    std::mutex m_mutex;
    std::condition_variable m_cv;
    State m_state = State::waiting;
    QList<pulse::Device> m_devices;
    Listener m_listListener;
    std::map<int, std::pair<QString, Listener>> m_listeners;
    int m_nextToken = 1;
};

// The sound server's sources while it answers; the capture PCMs (polled) while none does;
// nothing (off) while the first answer is awaited. Running listeners sit on both, only the
// live one fires.
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
            if (m_pulse->absent())
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
        if (m_pulse->absent())
            m_pcms->poll();
    }

private:
    AudioDevices *active() { return m_pulse->absent() ? m_pcms.get() : static_cast<AudioDevices *>(m_pulse.get()); }

    std::unique_ptr<PulseAudioDevices> m_pulse;
    std::unique_ptr<AudioDevices> m_pcms;
    Listener m_listener;
    std::mutex m_mutex;
    std::map<int, std::pair<int, int>> m_tokens;
    int m_nextToken = 1;
};

SoundServer probe(int timeoutMs)
{
    pa_mainloop *loop = pa_mainloop_new();
    if (!loop)
        return SoundServer::absent;
    pa_context *ctx = pa_context_new(pa_mainloop_get_api(loop), "Corvane");
    SoundServer result = SoundServer::absent;
    if (ctx && pa_context_connect(ctx, nullptr, PA_CONTEXT_NOAUTOSPAWN, nullptr) >= 0) {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
        for (;;) {
            const pa_context_state_t state = pa_context_get_state(ctx);
            if (state == PA_CONTEXT_READY) {
                result = SoundServer::answers;
                break;
            }
            if (!PA_CONTEXT_IS_GOOD(state))
                break;
            const auto left = std::chrono::duration_cast<std::chrono::microseconds>(deadline - std::chrono::steady_clock::now());
            if (left.count() <= 0) {
                result = SoundServer::silent;
                break;
            }
            if (pa_mainloop_prepare(loop, int(left.count())) < 0 || pa_mainloop_poll(loop) < 0
                || pa_mainloop_dispatch(loop) < 0)
                break;
        }
    }
    if (ctx) {
        pa_context_disconnect(ctx);
        pa_context_unref(ctx);
    }
    pa_mainloop_free(loop);
    return result;
}

QThreadPool *probePool()
{
    static QPointer<QThreadPool> pool;
    return ownedPool(pool, 1);
}

} // namespace

void probeSoundServer(QObject *context, std::function<void(SoundServer)> done, int timeoutMs)
{
    QPointer<QObject> guard(context);
    probePool()->start([guard, done = std::move(done), timeoutMs] {
        const SoundServer result = probe(timeoutMs);
        QMetaObject::invokeMethod(
            QCoreApplication::instance(),
            [guard, done, result] {
                if (guard)
                    done(result);
            },
            Qt::QueuedConnection);
    });
}

std::unique_ptr<AudioDevices> makePulseAudioDevices()
{
    auto p = std::make_unique<PulseAudioDevices>();
    if (!p->start() || !p->waitForAnswer(std::chrono::milliseconds(2000))) {
        qCInfo(lcPlatform) << "no sound server answered; the microphone is watched through ALSA's status files";
        return nullptr;
    }
    return p;
}

std::unique_ptr<AudioDevices> makeLinuxAudioDevices(const QString &procRoot)
{
    auto pulse = std::make_unique<PulseAudioDevices>();
    if (!pulse->start())
        return makeAlsaAudioDevices(procRoot);
    return std::make_unique<SoundServerOrPcms>(std::move(pulse), makeAlsaAudioDevices(procRoot));
}

} // namespace corvane
