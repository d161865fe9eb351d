#pragma once
// A speed-test server on 127.0.0.1 (and ::1 where there is one, on the same port) over TLS, on
// its own thread: it answers the trace, download and upload paths with a per-connection rate
// cap and can be told to misbehave. Like any HTTP/1.1 server it keeps a connection open after
// a complete answer, so clients reuse it; error answers close it.
// Its certificate is made for the run with the openssl command and trusted by the caller.
#include <QByteArray>
#include <QSslCertificate>
#include <QString>
#include <QThread>

#include <atomic>
#include <memory>
#include <vector>

namespace corvane::test {

class LoopbackSpeedServer {
public:
    struct Faults {
        bool status500 = false;        // transfers answer 500 Internal Server Error
        bool traceFails = false;       // the latency probe answers 500
        qint64 resetAfterBytes = -1;   // downloads are reset (RST) after this many body bytes
        qint64 stallAfterBytes = -1;   // downloads stop sending after this many body bytes
        int traceDelayMs = 0;          // the probe answers after this long
        bool traceEndlessBody = false;    // the probe's answer never ends
        bool traceEndlessHeaders = false; // the probe's header lines never end
        QByteArray redirectTo = {};    // transfers answer 302 with this Location
        qint64 downloadBodyBytes = -1; // downloads send at most this many bytes, whatever was asked
        bool closeAfterReply = false;  // every answer closes its connection (no reuse)
        qint64 uploadReadRate = -1;    // upload bodies are read at this many bytes a second (0: as they come; -1: the cap)
        qint64 traceWriteRate = -1;    // the probe's answer is written at this many bytes a second
        int traceStatus = 0;           // the probe answers this status (0: 200, or 500 with traceFails)
    };
    // Cumulative upload body bytes read by the server, all connections together, with the time
    // of each read.
    struct LogEntry {
        qint64 ns;
        qint64 bytes;
    };

    LoopbackSpeedServer();
    ~LoopbackSpeedServer();
    bool isListening() const { return m_port != 0; }
    QString error() const { return m_error; }
    quint16 port() const { return m_port; }
    QString host() const { return QStringLiteral("127.0.0.1:%1").arg(m_port); }
    // The same server by a name that resolves to both 127.0.0.1 and ::1.
    QString localhostName() const { return QStringLiteral("localhost:%1").arg(m_port); }
    QSslCertificate certificate() const { return m_cert; }
    // Bytes per second per connection, both directions; 0 = as fast as it goes.
    void setRateCap(qint64 bytesPerSecond) { m_cap = bytesPerSecond; }
    void setFaults(const Faults &f);
    int traceRequests() const { return m_traces; }
    int transferRequests() const { return m_transfers; }
    int uploadRequests() const;
    // Connections the server has not yet seen closed, by either side.
    int openConnections() const;
    // Connections accepted since the last reset.
    int acceptedConnections() const;
    qint64 bytesReceived() const { return m_received; }
    std::vector<LogEntry> uploadLog() const;
    // Bytes written for probe answers, headers included.
    qint64 traceBytesSent() const;
    // The most download and upload requests served at one time since the last reset.
    int maxConcurrentDownloads() const;
    int maxConcurrentUploads() const;
    void resetCounters();
    // Drops every connection, so a test starts with none left from the one before (a client
    // that gave up on a server reading a byte a second cannot even send it its end).
    void closeConnections();
    // A loopback port nobody listens on.
    static quint16 closedPort();

    struct Shared;

private:
    QThread m_thread;
    QObject *m_server = nullptr;
    QObject *m_server6 = nullptr;
    std::shared_ptr<Shared> m_shared;
    QSslCertificate m_cert;
    QString m_error;
    quint16 m_port = 0;
    std::atomic<qint64> m_cap{0};
    std::atomic<int> m_traces{0};
    std::atomic<int> m_transfers{0};
    std::atomic<qint64> m_received{0};
    friend struct Shared;
};

} // namespace corvane::test
