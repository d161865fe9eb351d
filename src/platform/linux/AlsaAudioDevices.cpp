#include "platform/AudioDevices.h"
#include "platform/linux/SysFile.h"

#include <QDir>
#include <QFile>
#include <QMap>
#include <QRegularExpression>

#include <map>
#include <mutex>
#include <vector>

#include <sys/stat.h>

namespace corvane {
namespace {

// Polled every two seconds for as long as the program runs, on machines without a sound
// card too: a stat, not a QDir.
bool isDirectory(const QString &path)
{
    struct stat st {};
    return ::stat(QFile::encodeName(path).constData(), &st) == 0 && S_ISDIR(st.st_mode);
}

// ALSA has no change notification for stream state, so this source is polled.
constexpr double kPollSeconds = 2.0;

class AlsaAudioDevices final : public AudioDevices {
public:
    explicit AlsaAudioDevices(const QString &procRoot) : m_asound(procRoot + QStringLiteral("/asound"))
    {
        m_last = readState(); // the first poll reports only what changed after now
    }

    void setDeviceListListener(Listener listener) override
    {
        std::lock_guard lock(m_mutex);
        m_listListener = std::move(listener);
    }

    std::optional<QStringList> deviceList() override
    {
        if (!isDirectory(m_asound)) {
            sysfile::failures().absent(m_asound, m_asound + QStringLiteral(": no sound card"));
            return std::nullopt;
        }
        sysfile::failures().cleared(m_asound);
        QDir root(m_asound);
        static const QRegularExpression cardRe(QStringLiteral("^card(\\d+)$"));
        static const QRegularExpression pcmRe(QStringLiteral("^pcm(\\d+)([cp])$"));
        struct Key {
            int card, pcm;
            QChar dir;
            QString id;
        };
        std::vector<Key> keys;
        for (const QString &card : root.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
            const auto cm = cardRe.match(card);
            if (!cm.hasMatch())
                continue;
            for (const QString &pcm : QDir(root.filePath(card)).entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
                const auto pm = pcmRe.match(pcm);
                if (pm.hasMatch())
                    keys.push_back({cm.captured(1).toInt(), pm.captured(1).toInt(), pm.captured(2)[0], card + u'/' + pcm});
            }
        }
        std::sort(keys.begin(), keys.end(), [](const Key &a, const Key &b) {
            return std::tie(a.card, a.pcm, a.dir) < std::tie(b.card, b.pcm, b.dir);
        });
        QStringList out;
        for (const Key &k : keys)
            out.append(k.id);
        return out;
    }

    std::optional<bool> hasInputChannels(const QString &device) override
    {
        if (!isDirectory(m_asound + u'/' + device))
            return std::nullopt;
        return device.endsWith(u'c'); // pcmNc captures, pcmNp plays
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
        if (!isDirectory(m_asound + u'/' + device))
            return std::nullopt;
        QDir pcm(m_asound + u'/' + device);
        for (const QString &sub : pcm.entryList({QStringLiteral("sub*")}, QDir::Dirs | QDir::NoDotAndDotDot)) {
            const auto status = sysfile::read((pcm.filePath(sub) + QStringLiteral("/status")).toStdString(), 4096);
            if (status && status->find("state: RUNNING") != std::string::npos)
                return true;
        }
        return false;
    }

    std::optional<QString> name(const QString &device) override
    {
        const auto info = sysfile::read((m_asound + u'/' + device + QStringLiteral("/info")).toStdString(), 4096);
        if (!info)
            return std::nullopt;
        QString id;
        for (const QString &line : QString::fromStdString(*info).split(u'\n')) {
            if (line.startsWith(QStringLiteral("name:")))
                if (QString n = line.mid(5).trimmed(); !n.isEmpty())
                    return n;
            if (line.startsWith(QStringLiteral("id:")))
                id = line.mid(3).trimmed();
        }
        if (id.isEmpty())
            return std::nullopt;
        return id;
    }

    std::optional<double> pollInterval() const override { return kPollSeconds; }

    void poll() override
    {
        const State now = readState();
        std::vector<Listener> toCall;
        {
            std::lock_guard lock(m_mutex);
            if (now.devices != m_last.devices) {
                if (m_listListener)
                    toCall.push_back(m_listListener);
            } else {
                for (const auto &[token, entry] : m_listeners)
                    if (now.running.value(entry.first) != m_last.running.value(entry.first))
                        toCall.push_back(entry.second);
            }
            m_last = now;
        }
        for (const Listener &l : toCall)
            l();
    }

private:
    struct State {
        std::optional<QStringList> devices;
        QMap<QString, bool> running;
    };

    State readState()
    {
        State s;
        s.devices = deviceList();
        if (s.devices)
            for (const QString &d : *s.devices)
                s.running.insert(d, isRunningSomewhere(d).value_or(false));
        return s;
    }

    QString m_asound;
    std::mutex m_mutex;
    Listener m_listListener;
    std::map<int, std::pair<QString, Listener>> m_listeners;
    int m_nextToken = 1;
    State m_last;
};

} // namespace

std::unique_ptr<AudioDevices> makeAlsaAudioDevices(const QString &procRoot)
{
    return std::make_unique<AlsaAudioDevices>(procRoot);
}

} // namespace corvane
