#pragma once
// The game's HTTP requests over libcurl: a request manager with a small pool of worker threads,
// one request or download per NetworkNode, and the handler told when a request is over.
//
// Threads: the transfer and the handler call (INetworkHandler::onNetworkNodeDone) run on a worker
// thread of the manager. A handler that goes away cancels its requests (its destructor does so):
// from then on it is never called, and cancelling waits for a call that is in progress on another
// thread. A request is freed once its handler has been told; the manager keeps only unfinished ones.
//
// Only http and https are fetched (redirects included), only a 2xx answer counts as success, and
// answers and downloads have size caps.

#include <atomic>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "engine/FileBuffer.h"

class NetworkManager;
class NetworkNode;

class INetworkHandler {
public:
    // Cancels this handler's requests in every manager: none of them calls it afterwards. A derived
    // handler whose calls use its own members calls NetworkManager::cancelEverywhere(this) first
    // thing in its own destructor, before those members go.
    virtual ~INetworkHandler();
    // A request is over; look at its state. Called on the request's worker thread.
    virtual void onNetworkNodeDone(NetworkNode* node) = 0;
};

class NetworkNode {
public:
    enum State {
        RequestRunning = 0,
        RequestFinished = 1,
        RequestFailed = 2,
        DownloadRunning = 3,
        DownloadFinished = 4,
        DownloadFailed = 5
    };
    enum { ErrorBufferSize = 256 };

    virtual ~NetworkNode();
    NetworkNode(const NetworkNode&) = delete;
    NetworkNode& operator=(const NetworkNode&) = delete;

    int state() const { return _state.load(); }
    bool isDownload() const { return !_path.empty(); }
    bool succeeded() const { return state() == RequestFinished || state() == DownloadFinished; }
    bool failed() const { return state() == RequestFailed || state() == DownloadFailed; }
    // Set once the handler has been told (or the request was dropped).
    bool done() const { return _done.load(); }
    bool cancelled() const { return _cancelled.load(); }

    const std::string& address() const { return _address; }
    // A download's target file; empty for a request.
    const std::string& path() const { return _path; }
    int tag() const { return _tag; }
    // The answer of a request. After a failure the whole error buffer (the message, zero-terminated,
    // padded with zeros to 256 bytes) follows whatever had been received.
    FileBuffer& body() { return _body; }
    const FileBuffer& body() const { return _body; }
    // The failure's message, empty after a success.
    std::string errorText() const { return std::string(_error); }
    // The HTTP status of the last answer, 0 when none came.
    long httpStatus() const { return _status; }
    // Bytes written to the target file.
    uint64_t written() const { return _written; }
    // The length a download's size query reported; 0 when it gave none.
    uint64_t contentLength() const { return _contentLength; }

private:
    friend class NetworkManager;
    NetworkNode(INetworkHandler* handler, const std::string& address, int tag, const std::string& path);

    static size_t writeCallback(char* data, size_t size, size_t count, void* node);
    static int progressCallback(void* node, int64_t, int64_t, int64_t, int64_t);
    void run();
    // Sets the failure's message and the failed state; appendError puts the error buffer after the body.
    void fail(const char* format, ...) __attribute__((format(printf, 2, 3)));
    void appendError();
    void finishFile(bool success);

    void* _curl = nullptr;  // CURL*, owned by the worker while it runs
    INetworkHandler* const _owner;  // whom the request was made for; matched by cancelRequests
    INetworkHandler* _handler;      // cleared by a cancel; guarded by _handlerLock
    std::mutex _handlerLock;
    std::atomic<std::thread::id> _callingThread{std::thread::id()};
    std::atomic<bool> _cancelled{false};
    std::atomic<bool> _done{false};

    FileBuffer _body;
    const std::string _path;
    std::string _partPath;
    FILE* _file = nullptr;
    int _fileErrno = 0;
    uint64_t _written = 0;
    const std::string _address;
    std::atomic<int> _state;
    uint64_t _contentLength = 0;
    const int _tag;
    long _status = 0;
    char _error[ErrorBufferSize];

    // Copied from the manager when the request is made.
    long _timeoutSeconds = 0;
    uint64_t _sizeCap = 0;
    uint64_t _received = 0;
    bool _probing = false;
    bool _overflow = false;
};

class NetworkManager {
public:
    enum { DefaultTimeoutSeconds = 160, DefaultMaxWorkers = 4 };
    static const uint64_t DefaultMaxAnswerSize = 4ull << 20;     // identity answers are a few KiB
    static const uint64_t DefaultMaxDownloadSize = 16ull << 20;  // pictures

    typedef std::function<std::string(const std::vector<std::string>&)> SigningHook;

    NetworkManager();
    // Shuts down (see shutdown).
    ~NetworkManager();
    NetworkManager(const NetworkManager&) = delete;
    NetworkManager& operator=(const NetworkManager&) = delete;

    // The process-wide manager. It is never destroyed: call shutdown before the program exits.
    static NetworkManager& instance();

    // libcurl's global start-up; the time-out back to 160 s; accepts requests again after a shutdown.
    void init();
    // Cancels every request (no handler is called afterwards; a call in progress on another thread
    // is waited for) and waits up to timeoutMs for the workers to end. True when all ended in time;
    // a worker stuck in a transfer is then left to end by itself.
    bool shutdown(int timeoutMs = 5000);

    // Starts a request (state 0) or a download into a file (state 3). The request is queued for a
    // worker; the caller does not wait. The returned node is the caller's to look at, never needed.
    // After a shutdown, or when no worker thread can be started, the request fails at once (state 2
    // or 5, done, handler not called).
    std::shared_ptr<NetworkNode> request(INetworkHandler* handler, const std::string& address, int tag);
    std::shared_ptr<NetworkNode> download(INetworkHandler* handler, const std::string& address, int tag,
                                          const std::string& path);

    // Stops every unfinished request of the handler and makes sure it is never called for them.
    // Waits for a call of the handler in progress on another thread; from inside such a call it
    // does not wait for that call.
    void cancelRequests(INetworkHandler* handler);

    void setTimeout(int seconds) { _timeoutSeconds = seconds; }
    int timeout() const { return _timeoutSeconds; }
    void setMaxWorkers(int count);
    void setMaxAnswerSize(uint64_t bytes) { _maxAnswerSize = bytes; }
    void setMaxDownloadSize(uint64_t bytes) { _maxDownloadSize = bytes; }
    void setSigningHook(const SigningHook& hook);
    std::string sign(const std::vector<std::string>& parts) const;

    // cancelRequests in every manager alive.
    static void cancelEverywhere(INetworkHandler* handler);

    // Requests queued or running.
    size_t activeCount() const;
    // Worker threads alive.
    int workerCount() const;

    // Tests only: every thread start fails while set.
    static void failThreadStartsForTests(bool fail);

    struct Pool;

private:
    std::shared_ptr<NetworkNode> start(INetworkHandler* handler, const std::string& address, int tag,
                                       const std::string& path);

    std::atomic<int> _timeoutSeconds{DefaultTimeoutSeconds};
    std::atomic<uint64_t> _maxAnswerSize{DefaultMaxAnswerSize};
    std::atomic<uint64_t> _maxDownloadSize{DefaultMaxDownloadSize};
    std::shared_ptr<Pool> _pool;
    mutable std::mutex _hookLock;
    SigningHook _signingHook;
};

// base + "?" + "&"-joined key=value pairs in increasing key order (keys as they are, values
// percent-encoded: letters, digits and - . _ ~ kept, every other byte as %XX), then, when sign is
// set, "md5" = md5Hex of what the manager's signing hook makes of key, value, key, value, ...
// (of the empty text without a hook).
void buildQueryUrl(std::string& out, const NetworkManager& manager, const std::string& base,
                   const std::map<std::string, std::string>& parameters, int sign);
