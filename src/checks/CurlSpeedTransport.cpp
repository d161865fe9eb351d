// SpeedTransport's engine on libcurl's multi interface: the one part of the program that
// links libcurl and OpenSSL, built as a module of its own (libcorvane_speed.so).
#include "checks/SpeedTransportEngine.h"

#include "common/ThreadName.h"

#include <curl/curl.h>
#include <openssl/err.h>
#include <openssl/pem.h>
#include <openssl/ssl.h>
#include <openssl/x509.h>
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <optional>
#include <string>

namespace corvane {

namespace {

using Steady = std::chrono::steady_clock;

void initCurlOnce()
{
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

QString describe(CURLcode code, long osErrno)
{
    switch (code) {
    case CURLE_COULDNT_RESOLVE_HOST: return QStringLiteral("serverul nu a fost găsit");
    case CURLE_COULDNT_CONNECT:
        return osErrno == ECONNREFUSED ? QStringLiteral("conexiune refuzată de server")
                                       : QStringLiteral("nu s-a putut face conexiunea cu serverul");
    case CURLE_RECV_ERROR:
    case CURLE_SEND_ERROR:
    case CURLE_GOT_NOTHING:
    case CURLE_PARTIAL_FILE: return QStringLiteral("serverul a închis conexiunea");
    case CURLE_SSL_CONNECT_ERROR:
    case CURLE_PEER_FAILED_VERIFICATION:
    case CURLE_SSL_CERTPROBLEM:
    case CURLE_SSL_CIPHER:
    case CURLE_SSL_CACERT_BADFILE:
    case CURLE_SSL_PINNEDPUBKEYNOTMATCH:
    case CURLE_SSL_INVALIDCERTSTATUS: return QStringLiteral("conexiunea securizată a eșuat");
    case CURLE_URL_MALFORMAT: return QStringLiteral("adresa serverului nu este validă");
    case CURLE_WEIRD_SERVER_REPLY:
    case CURLE_UNSUPPORTED_PROTOCOL: return QStringLiteral("serverul a dat un răspuns nevalid");
    default: return QString::fromUtf8(curl_easy_strerror(code));
    }
}

// The program's reader of the kernel's counts, handed over when the first engine is made.
std::atomic<SpeedTransport::WireReader> wireReader{nullptr};

// Extra certificates to trust, parsed once and added to each connection's store, beside the
// system's own (which curl loads from its bundle): parsing a bundle on every connection costs
// more than the handshake.
struct TrustedExtras {
    QByteArray pem;
    std::vector<X509 *> certs;
    explicit TrustedExtras(const QByteArray &text) : pem(text)
    {
        BIO *bio = BIO_new_mem_buf(text.constData(), int(text.size()));
        while (bio) {
            X509 *cert = PEM_read_bio_X509(bio, nullptr, nullptr, nullptr);
            if (!cert)
                break;
            certs.push_back(cert);
        }
        ERR_clear_error(); // the end of the text reads as an error
        BIO_free(bio);
    }
    ~TrustedExtras()
    {
        for (X509 *c : certs)
            X509_free(c);
    }
    TrustedExtras(const TrustedExtras &) = delete;
    TrustedExtras &operator=(const TrustedExtras &) = delete;

    static CURLcode addTo(CURL *, void *sslCtx, void *p)
    {
        X509_STORE *store = SSL_CTX_get_cert_store(static_cast<SSL_CTX *>(sslCtx));
        for (X509 *c : static_cast<TrustedExtras *>(p)->certs)
            X509_STORE_add_cert(store, c); // takes its own reference; a duplicate is harmless
        ERR_clear_error();
        return CURLE_OK;
    }
};

struct Worker {
    using Result = SpeedTransport::Result;
    using Request = SpeedTransport::Request;

    struct Active {
        CURL *easy = nullptr;
        curl_slist *headers = nullptr;
        Request req;
        qint64 headerBytes = 0, bodyBytes = 0, uploadLeft = 0;
        std::shared_ptr<TrustedExtras> extras;
        Worker *worker = nullptr;
        // The kernel's count of the connection's bytes (received, or acknowledged by the peer)
        // when first seen, and how much of it has been reported since.
        curl_socket_t wireSocket = CURL_SOCKET_BAD;
        int localPort = -1;
        bool wireCounting = false;
        qint64 wireBase = 0, wireReported = 0;
        // An upload's far edge of the peer's window (acknowledged + advertised) when first seen;
        // -1 where the kernel gives no window.
        qint64 edgeBase = -1;
        qint64 reported = 0; // everything handed to onBytes
        bool statusChecked = false, statusOk = false;
        std::optional<Result::Kind> forced; // an end we decided, not curl
        Steady::time_point start, lastActivity;

        ~Active()
        {
            if (easy)
                curl_easy_cleanup(easy);
            curl_slist_free_all(headers);
        }
    };

    mutable std::mutex lock;
    std::condition_variable wake;
    std::vector<Request> pending;
    bool cancelPending = false;
    bool stopping = false;
    CURLM *multi = nullptr;
    std::vector<std::unique_ptr<Active>> active;
    Steady::time_point lastWireRead;
    std::shared_ptr<TrustedExtras> extras; // the last set asked for: runs reuse theirs
    // Every socket curl has open for this engine. A request on a kept-alive connection opens
    // none, so its socket is found here, among those of earlier requests.
    std::vector<curl_socket_t> sockets;
    std::thread thread;

    static size_t onHeader(char *, size_t size, size_t n, void *p)
    {
        auto *a = static_cast<Active *>(p);
        a->headerBytes += qint64(size * n);
        a->lastActivity = Steady::now();
        if (a->headerBytes > a->req.headerCap) {
            a->forced = Result::tooLarge;
            return 0;
        }
        return size * n;
    }

    static size_t onBody(char *, size_t size, size_t n, void *p)
    {
        auto *a = static_cast<Active *>(p);
        if (!a->statusChecked) {
            long status = 0;
            curl_easy_getinfo(a->easy, CURLINFO_RESPONSE_CODE, &status);
            a->statusOk = status >= 200 && status < 300;
            a->statusChecked = true;
        }
        if (!a->statusOk)
            return 0; // an error page is not measured; the status says what went wrong
        const qint64 bytes = qint64(size * n);
        a->bodyBytes += bytes;
        if (a->req.bodyCap >= 0 && a->bodyBytes > a->req.bodyCap) {
            a->forced = Result::tooLarge;
            return 0;
        }
        a->lastActivity = Steady::now();
        if (a->req.onBytes && !a->wireCounting)
            report(a, bytes);
        return size * n;
    }

    // Connected (or reused), the request not yet sent: the kernel's count starts here, before
    // any answer byte, so nothing is ever counted late by the callbacks.
    static int onConnected(void *p, char *peerIp, char *localIp, int peerPort, int localPort)
    {
        auto *a = static_cast<Active *>(p);
        if (!a->req.onBytes || a->wireCounting)
            return CURL_PREREQFUNC_OK;
        // The socket of this connection: a new one (of both address families, several may have
        // been tried) or one an earlier request left open.
        for (curl_socket_t fd : a->worker->sockets) {
            if (sameEnds(fd, peerIp, localIp, peerPort, localPort)) {
                a->wireSocket = fd;
                a->localPort = localPort;
                readWire(a);
                break;
            }
        }
        return CURL_PREREQFUNC_OK;
    }

    static bool sameEnds(curl_socket_t fd, const char *peerIp, const char *localIp, int peerPort, int localPort)
    {
        sockaddr_storage local{}, peer{};
        socklen_t localLen = sizeof local, peerLen = sizeof peer;
        if (getsockname(fd, reinterpret_cast<sockaddr *>(&local), &localLen) != 0
            || getpeername(fd, reinterpret_cast<sockaddr *>(&peer), &peerLen) != 0)
            return false;
        return portOf(local) == localPort && portOf(peer) == peerPort && ipOf(local) == localIp
            && ipOf(peer) == peerIp;
    }

    static std::string ipOf(const sockaddr_storage &addr)
    {
        char text[INET6_ADDRSTRLEN] = {};
        if (addr.ss_family == AF_INET)
            inet_ntop(AF_INET, &reinterpret_cast<const sockaddr_in &>(addr).sin_addr, text, sizeof text);
        else if (addr.ss_family == AF_INET6)
            inet_ntop(AF_INET6, &reinterpret_cast<const sockaddr_in6 &>(addr).sin6_addr, text, sizeof text);
        return text;
    }

    static size_t onUploadRead(char *buffer, size_t size, size_t n, void *p)
    {
        auto *a = static_cast<Active *>(p);
        const qint64 k = std::min<qint64>(qint64(size * n), a->uploadLeft);
        std::memset(buffer, 0, size_t(k));
        a->uploadLeft -= k;
        // Where the kernel counts, only what the peer acknowledges is progress: a buffer that
        // takes bytes nobody reads is no sign of life.
        if (!a->wireCounting)
            a->lastActivity = Steady::now();
        if (k > 0 && a->req.onBytes && !a->wireCounting)
            report(a, k);
        return size_t(k);
    }

    // Counts the bytes the kernel has moved on the request's connection since the last look.
    // Whenever this thread gets round to asking, the count is the true one for that moment, so a
    // late look merges two intervals instead of piling a backlog into one.
    static void readWire(Active *a)
    {
        if (a->wireSocket == CURL_SOCKET_BAD)
            return;
        sockaddr_storage local{};
        socklen_t addrLen = sizeof local;
        // The connection may be gone and its number taken by another socket.
        const auto count = getsockname(a->wireSocket, reinterpret_cast<sockaddr *>(&local), &addrLen) == 0
                && portOf(local) == a->localPort
            ? wireReader.load()(a->wireSocket)
            : std::nullopt;
        if (!count) {
            a->wireSocket = CURL_SOCKET_BAD;
            return;
        }
        const qint64 wire = qint64(a->req.uploadBytes >= 0 ? count->acked : count->received);
        if (!a->wireCounting) {
            // After a TLS handshake both counts have moved: where they have not, the kernel (or
            // a sandbox standing in for it) does not keep them, and the callbacks count instead.
            if (count->acked == 0 && count->received == 0) {
                a->wireSocket = CURL_SOCKET_BAD;
                return;
            }
            a->wireCounting = true;
            a->wireBase = wire;
            if (a->req.uploadBytes >= 0 && count->peerWindow)
                a->edgeBase = qint64(count->acked + *count->peerWindow);
            return;
        }
        // Every body byte received came through this socket after the base was taken, and of
        // those handed over for sending no more than the send buffer (and curl's own) can still
        // wait for their acknowledgement. A count short of that has stopped moving: the
        // callbacks take over from what they have seen.
        const bool upload = a->req.uploadBytes >= 0;
        const qint64 seen = upload ? a->req.uploadBytes - a->uploadLeft : a->bodyBytes;
        qint64 slack = 0;
        if (upload) {
            int sendBuffer = 0;
            socklen_t optLen = sizeof sendBuffer;
            getsockopt(a->wireSocket, SOL_SOCKET, SO_SNDBUF, &sendBuffer, &optLen);
            slack = qint64(sendBuffer) + (1 << 20);
        }
        if (wire - a->wireBase + slack < seen) {
            a->wireSocket = CURL_SOCKET_BAD;
            a->wireCounting = false;
            if (seen > a->reported)
                report(a, seen - a->reported);
            return;
        }
        // Bytes acknowledged into the peer's buffer are not yet taken by the server: only as
        // it reads them does its window's far edge move on. So a buffer filling at the start
        // is no burst of speed, and a server that stops reading is seen to stop.
        qint64 moved = wire - a->wireBase;
        if (upload && a->edgeBase >= 0 && count->peerWindow)
            moved = std::min(moved, qint64(count->acked + *count->peerWindow) - a->edgeBase);
        const qint64 step = moved - a->wireReported;
        if (step > 0) {
            a->wireReported += step;
            a->lastActivity = Steady::now();
            report(a, step);
        }
    }

    static int portOf(const sockaddr_storage &addr)
    {
        if (addr.ss_family == AF_INET)
            return ntohs(reinterpret_cast<const sockaddr_in &>(addr).sin_port);
        if (addr.ss_family == AF_INET6)
            return ntohs(reinterpret_cast<const sockaddr_in6 &>(addr).sin6_port);
        return -1;
    }

    // Both run for sockets of any request of this engine, also after that request has ended.
    static int onSocket(void *p, curl_socket_t fd, curlsocktype)
    {
        static_cast<Worker *>(p)->sockets.push_back(fd);
        return CURL_SOCKOPT_OK;
    }

    static int onCloseSocket(void *p, curl_socket_t fd)
    {
        auto &open = static_cast<Worker *>(p)->sockets;
        open.erase(std::remove(open.begin(), open.end(), fd), open.end());
        return close(fd);
    }

    static void report(Active *a, qint64 bytes)
    {
        a->reported += bytes;
        a->req.onBytes(bytes);
    }

    void add(Request &&r)
    {
        auto a = std::make_unique<Active>();
        a->req = std::move(r);
        a->worker = this;
        a->easy = curl_easy_init();
        CURL *e = a->easy;
        curl_easy_setopt(e, CURLOPT_URL, a->req.url.constData());
        curl_easy_setopt(e, CURLOPT_PRIVATE, a.get());
        curl_easy_setopt(e, CURLOPT_NOSIGNAL, 1L);
        curl_easy_setopt(e, CURLOPT_HTTP_VERSION, long(CURL_HTTP_VERSION_1_1));
        curl_easy_setopt(e, CURLOPT_PROTOCOLS_STR, "https");
        curl_easy_setopt(e, CURLOPT_FOLLOWLOCATION, 0L);
        curl_easy_setopt(e, CURLOPT_PROXY, ""); // as the rest of the app: no proxy from the environment
        curl_easy_setopt(e, CURLOPT_USERAGENT, "Mozilla/5.0");
        curl_easy_setopt(e, CURLOPT_HEADERFUNCTION, &Worker::onHeader);
        curl_easy_setopt(e, CURLOPT_HEADERDATA, a.get());
        curl_easy_setopt(e, CURLOPT_WRITEFUNCTION, &Worker::onBody);
        curl_easy_setopt(e, CURLOPT_WRITEDATA, a.get());
        curl_easy_setopt(e, CURLOPT_SOCKOPTFUNCTION, &Worker::onSocket);
        curl_easy_setopt(e, CURLOPT_SOCKOPTDATA, this);
        curl_easy_setopt(e, CURLOPT_CLOSESOCKETFUNCTION, &Worker::onCloseSocket);
        curl_easy_setopt(e, CURLOPT_CLOSESOCKETDATA, this);
        curl_easy_setopt(e, CURLOPT_PREREQFUNCTION, &Worker::onConnected);
        curl_easy_setopt(e, CURLOPT_PREREQDATA, a.get());
        if (a->req.uploadBytes >= 0) {
            a->uploadLeft = a->req.uploadBytes;
            a->headers = curl_slist_append(a->headers, "Content-Type: application/octet-stream");
            a->headers = curl_slist_append(a->headers, "Expect:"); // no 100-continue round trip
            curl_easy_setopt(e, CURLOPT_HTTPHEADER, a->headers);
            curl_easy_setopt(e, CURLOPT_POST, 1L);
            curl_easy_setopt(e, CURLOPT_POSTFIELDSIZE_LARGE, curl_off_t(a->req.uploadBytes));
            curl_easy_setopt(e, CURLOPT_READFUNCTION, &Worker::onUploadRead);
            curl_easy_setopt(e, CURLOPT_READDATA, a.get());
        }
        // The bundle alone, not the hashed folder beside it: curl then keeps the store it built
        // for later connections instead of parsing every system certificate for each.
        curl_easy_setopt(e, CURLOPT_CAPATH, nullptr);
        if (!a->req.caPem.isEmpty()) {
            if (!extras || extras->pem != a->req.caPem)
                extras = std::make_shared<TrustedExtras>(a->req.caPem);
            a->extras = extras;
            curl_easy_setopt(e, CURLOPT_SSL_CTX_FUNCTION, &TrustedExtras::addTo);
            curl_easy_setopt(e, CURLOPT_SSL_CTX_DATA, a->extras.get());
        }
        a->start = a->lastActivity = Steady::now();
        curl_multi_add_handle(multi, e);
        active.push_back(std::move(a));
    }

    // Takes the request out of the multi handle and reports how it ended.
    void finish(Active *a, CURLcode code)
    {
        readWire(a); // the last bytes, while the connection is still open
        Result r;
        long status = 0;
        curl_easy_getinfo(a->easy, CURLINFO_RESPONSE_CODE, &status);
        r.status = status;
        r.seconds = std::chrono::duration<double>(Steady::now() - a->start).count();
        const bool upload = a->req.uploadBytes >= 0;
        const qint64 moved = upload ? a->req.uploadBytes - a->uploadLeft : a->bodyBytes;
        // What an upload moved is what the server took, where the kernel says, not what
        // waited in a buffer when it ended.
        r.bodyBytes = upload && a->wireCounting ? std::min(moved, a->reported) : moved;
        if (a->forced) {
            r.kind = *a->forced;
        } else if (status >= 300) {
            r.kind = Result::httpStatus;
            if (status < 400) {
                char *where = nullptr;
                curl_easy_getinfo(a->easy, CURLINFO_REDIRECT_URL, &where);
                r.location = QString::fromUtf8(where ? where : "");
            }
        } else if (code == CURLE_OK && status >= 200) {
            r.kind = Result::ok;
        } else if (code == CURLE_OUT_OF_MEMORY) {
            r.kind = Result::tooLarge; // curl refuses a single header line past its own limit
        } else {
            long osErrno = 0;
            curl_easy_getinfo(a->easy, CURLINFO_OS_ERRNO, &osErrno);
            r.kind = Result::transport;
            r.error = code == CURLE_OK ? QStringLiteral("serverul a dat un răspuns nevalid") : describe(code, osErrno);
        }
        // A complete transfer moved all of its body, whatever the kernel's count missed at the end.
        if (r.kind == Result::ok) {
            r.bodyBytes = moved;
            if (a->req.onBytes && moved > a->reported)
                report(a, moved - a->reported);
        }
        auto done = std::move(a->req.onDone);
        drop(a);
        if (done)
            done(r);
    }

    void drop(Active *a)
    {
        auto it = std::find_if(active.begin(), active.end(), [a](const auto &p) { return p.get() == a; });
        if (it == active.end())
            return;
        curl_multi_remove_handle(multi, a->easy);
        active.erase(it);
    }

    void dropAll()
    {
        while (!active.empty())
            drop(active.back().get());
    }

    void checkDeadlines()
    {
        const auto now = Steady::now();
        std::vector<std::pair<Active *, Result::Kind>> over;
        for (const auto &a : active) {
            // The limit ends a slow transfer that still moves; one that moved and then nothing
            // for the second half of its time (or its idle time) has stalled.
            const auto stall = std::chrono::milliseconds(std::min(a->req.idleMs, a->req.limitMs / 2));
            const bool moved = a->req.uploadBytes >= 0 ? a->reported > 0 : a->bodyBytes > 0;
            if (now - a->start >= std::chrono::milliseconds(a->req.limitMs))
                over.emplace_back(a.get(), moved && now - a->lastActivity >= stall ? Result::idleTimeout : Result::timeLimit);
            else if (now - a->lastActivity >= std::chrono::milliseconds(a->req.idleMs))
                over.emplace_back(a.get(), Result::idleTimeout);
        }
        for (auto [a, kind] : over) {
            a->forced = kind;
            finish(a, CURLE_OPERATION_TIMEDOUT);
        }
    }

    void loop()
    {
        nameCurrentThread(QStringLiteral("corvane.speedtest"));
        for (;;) {
            std::vector<Request> fresh;
            bool cancel = false;
            {
                std::unique_lock l(lock);
                if (active.empty())
                    wake.wait(l, [this] { return stopping || cancelPending || !pending.empty(); });
                if (stopping)
                    break;
                cancel = std::exchange(cancelPending, false);
                fresh.swap(pending);
            }
            if (cancel)
                dropAll();
            for (Request &r : fresh)
                add(std::move(r));
            int running = 0;
            curl_multi_perform(multi, &running);
            std::vector<std::pair<Active *, CURLcode>> ended;
            int left = 0;
            while (CURLMsg *m = curl_multi_info_read(multi, &left)) {
                if (m->msg != CURLMSG_DONE)
                    continue;
                void *p = nullptr;
                curl_easy_getinfo(m->easy_handle, CURLINFO_PRIVATE, &p);
                ended.emplace_back(static_cast<Active *>(p), m->data.result);
            }
            for (auto [a, code] : ended)
                finish(a, code);
            const auto now = Steady::now();
            if (now - lastWireRead >= std::chrono::milliseconds(10)) {
                lastWireRead = now;
                for (const auto &a : active)
                    readWire(a.get());
            }
            checkDeadlines();
            // Short waits while anything runs: the deadlines are checked between them.
            if (!active.empty())
                curl_multi_poll(multi, nullptr, 0, 20, nullptr);
        }
        dropAll();
    }
};

class CurlEngine final : public SpeedTransportEngine {
public:
    CurlEngine() : d(std::make_unique<Worker>())
    {
        initCurlOnce();
        d->multi = curl_multi_init();
        d->thread = std::thread([w = d.get()] { w->loop(); });
    }

    ~CurlEngine() override
    {
        {
            std::lock_guard l(d->lock);
            d->stopping = true;
            d->pending.clear();
        }
        d->wake.notify_one();
        curl_multi_wakeup(d->multi);
        d->thread.join();
        curl_multi_cleanup(d->multi);
    }

    void submit(std::vector<SpeedTransport::Request> requests) override
    {
        {
            std::lock_guard l(d->lock);
            for (SpeedTransport::Request &r : requests)
                d->pending.push_back(std::move(r));
        }
        d->wake.notify_one();
        curl_multi_wakeup(d->multi);
    }

    void cancelAll() override
    {
        {
            std::lock_guard l(d->lock);
            d->pending.clear();
            d->cancelPending = true;
        }
        d->wake.notify_one();
        curl_multi_wakeup(d->multi);
    }

private:
    std::unique_ptr<Worker> d;
};

} // namespace

} // namespace corvane

extern "C" __attribute__((visibility("default"))) corvane::SpeedTransportEngine *
corvane_make_speed_transport_engine(corvane::SpeedTransport::WireReader readWire)
{
    corvane::wireReader = readWire;
    return new corvane::CurlEngine;
}
