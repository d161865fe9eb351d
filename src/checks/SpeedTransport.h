#pragma once
// The speed test's HTTP side: libcurl's multi interface on one worker thread. Bytes are
// counted there from the kernel's counts of each request's connection (the callbacks where it
// keeps none), so a busy GUI thread cannot bunch them; bodies are thrown away as they come; every request is bounded in header bytes,
// body bytes (where asked), idle time and total time, and redirects are never followed.
#include <QByteArray>
#include <QString>

#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

namespace corvane {

class SpeedTransport {
public:
    struct Result {
        enum Kind {
            ok,           // a 2xx answer, body read to its end
            httpStatus,   // any other status (redirects included: `location` says where)
            idleTimeout,  // nothing moved for the idle time
            timeLimit,    // the request ran for its whole time limit
            tooLarge,     // headers or body went past their cap
            transport     // connection, TLS or protocol failure
        };
        Kind kind = transport;
        long status = 0;
        QString location;  // target of a redirect
        QString error;     // transport failures: what failed
        double seconds = 0; // from the request's start to its end
        qint64 bodyBytes = 0; // body bytes received, or sent for an upload (taken by the server)
    };

    struct Request {
        QByteArray url;
        qint64 uploadBytes = -1;          // >= 0: POST this many zero bytes
        qint64 headerCap = 64 * 1024;
        qint64 bodyCap = -1;              // -1: the body may be as long as it is
        int idleMs = 60'000;
        int limitMs = 60'000;             // reached with nothing moved for half of it: idle
        QByteArray caPem;                 // certificates to trust beside the system's
        // Both are called on the worker thread.
        std::function<void(qint64 bytes)> onBytes;
        std::function<void(const Result &)> onDone;
    };

    SpeedTransport();
    ~SpeedTransport(); // ends every request without calling back, joins the thread

    void submit(std::vector<Request> requests);
    // Every request submitted so far ends without calling back.
    void cancelAll();

    // The kernel's byte counts of a connection (TCP_INFO); tests stand in for a kernel that
    // keeps none, or stops keeping them. Empty: the connection is gone.
    struct WireCount {
        quint64 received = 0, acked = 0;
        // The peer's advertised receive window, where the kernel says.
        std::optional<quint64> peerWindow;
    };
    using WireReader = std::optional<WireCount> (*)(int fd);
    static void setWireReader(WireReader reader); // nullptr: the kernel's

    // `extra` plus the certificates added to Qt's default configuration, as PEM: what is to be
    // trusted beyond the system's own store (empty when nothing is).
    static QByteArray trustedPem(const QByteArray &extraPem);

private:
    struct Worker;
    std::unique_ptr<Worker> d;
};

} // namespace corvane
