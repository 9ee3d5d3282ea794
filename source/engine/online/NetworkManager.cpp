#include "engine/online/NetworkManager.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <deque>
#include <system_error>
#include <type_traits>
#include <unistd.h>

#include <curl/curl.h>

#include "engine/FileBuffer.h"
#include "engine/utils.h"

namespace {

// Redirects are followed, but never to another scheme than these two (no file://, no ftp://).
const char* const kProtocols = "http,https";
const long kMaxRedirects = 5;

std::atomic<bool> gFailThreadStarts{false};

std::mutex gCurlInitLock;
bool gCurlInitialised = false;

void ensureCurlInitialised() {
    std::lock_guard<std::mutex> guard(gCurlInitLock);
    if (!gCurlInitialised) {
        CURLcode rc = curl_global_init(CURL_GLOBAL_ALL);
        if (rc != CURLE_OK)
            Logger::error("[NetworkManager::init] curl_global_init failed: %s", curl_easy_strerror(rc));
        else
            gCurlInitialised = true;
    }
}

void setProtocols(CURL* curl) {
#if LIBCURL_VERSION_NUM >= 0x075500
    curl_easy_setopt(curl, CURLOPT_PROTOCOLS_STR, kProtocols);
    curl_easy_setopt(curl, CURLOPT_REDIR_PROTOCOLS_STR, kProtocols);
#else
    curl_easy_setopt(curl, CURLOPT_PROTOCOLS, (long)(CURLPROTO_HTTP | CURLPROTO_HTTPS));
    curl_easy_setopt(curl, CURLOPT_REDIR_PROTOCOLS, (long)(CURLPROTO_HTTP | CURLPROTO_HTTPS));
#endif
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// The worker pool. Workers hold the pool by a shared pointer, so a worker that outlives a
// shutdown's bound (stuck in a transfer) never touches freed memory.

struct NetworkManager::Pool {
    std::mutex lock;
    std::condition_variable wake;   // work arrived, or stop
    std::condition_variable ended;  // a worker left
    std::deque<std::shared_ptr<NetworkNode>> queue;
    std::vector<std::shared_ptr<NetworkNode>> active;  // queued or running
    std::vector<std::thread> threads;
    std::vector<std::thread::id> threadIds;
    int workers = 0;
    int idle = 0;
    int maxWorkers = NetworkManager::DefaultMaxWorkers;
    bool stopping = false;

    static void workerMain(std::shared_ptr<Pool> pool);
    // Cancels the matching requests (all when `all`); see NetworkManager::cancelRequests.
    void cancel(INetworkHandler* handler, bool all);
    void drop(const std::shared_ptr<NetworkNode>& node) {
        active.erase(std::remove(active.begin(), active.end(), node), active.end());
    }
};

namespace {
// Every manager alive, for handlers that cancel wherever they have requests. Never destroyed:
// handlers may be destroyed during exit, after this file's statics.
struct ManagerList {
    std::mutex lock;
    std::vector<std::weak_ptr<NetworkManager::Pool>> pools;
};
ManagerList& managers() {
    static ManagerList* list = new ManagerList();
    return *list;
}
}  // namespace

static_assert(std::is_same<curl_off_t, int64_t>::value, "the progress callback is declared with int64_t");

void NetworkManager::Pool::workerMain(std::shared_ptr<Pool> pool) {
    std::unique_lock<std::mutex> lk(pool->lock);
    for (;;) {
        ++pool->idle;
        pool->wake.wait(lk, [&] { return pool->stopping || !pool->queue.empty(); });
        --pool->idle;
        if (pool->queue.empty())
            break;
        std::shared_ptr<NetworkNode> node = pool->queue.front();
        pool->queue.pop_front();
        lk.unlock();
        node->run();
        lk.lock();
        pool->drop(node);
    }
    --pool->workers;
    pool->ended.notify_all();
}

void NetworkManager::Pool::cancel(INetworkHandler* handler, bool all) {
    std::vector<std::shared_ptr<NetworkNode>> hit;
    {
        std::lock_guard<std::mutex> guard(lock);
        for (const std::shared_ptr<NetworkNode>& node : active) {
            if ((all || node->_owner == handler) && !node->_done.load()) {
                node->_cancelled.store(true);
                hit.push_back(node);
            }
        }
        // Requests no worker has taken yet are dropped at once.
        for (auto it = queue.begin(); it != queue.end();) {
            if ((*it)->_cancelled.load()) {
                std::shared_ptr<NetworkNode> node = *it;
                it = queue.erase(it);
                drop(node);
                node->fail("cancelled before it started");
                node->appendError();
                std::lock_guard<std::mutex> handlerGuard(node->_handlerLock);
                node->_handler = nullptr;
                node->_done.store(true);
            } else {
                ++it;
            }
        }
    }
    const std::thread::id self = std::this_thread::get_id();
    for (const std::shared_ptr<NetworkNode>& node : hit) {
        if (node->_callingThread.load() == self) {
            // Called from inside this request's own handler call: that call holds the lock and
            // clears the handler when it returns.
            continue;
        }
        // Waits for a handler call in progress; afterwards the worker finds no handler to call.
        std::lock_guard<std::mutex> guard(node->_handlerLock);
        node->_handler = nullptr;
    }
}

// ---------------------------------------------------------------------------------------------
// INetworkHandler

INetworkHandler::~INetworkHandler() { NetworkManager::cancelEverywhere(this); }

// ---------------------------------------------------------------------------------------------
// NetworkNode

NetworkNode::NetworkNode(INetworkHandler* handler, const std::string& address, int tag, const std::string& path)
    : _owner(handler),
      _handler(handler),
      _path(path),
      _address(address),
      _state(path.empty() ? RequestRunning : DownloadRunning),
      _tag(tag) {
    std::memset(_error, 0, sizeof(_error));
}

NetworkNode::~NetworkNode() {
    if (_curl)
        curl_easy_cleanup(static_cast<CURL*>(_curl));
    if (_file)
        std::fclose(_file);
}

void NetworkNode::fail(const char* format, ...) {
    std::memset(_error, 0, sizeof(_error));
    va_list args;
    va_start(args, format);
    std::vsnprintf(_error, sizeof(_error), format, args);
    va_end(args);
    _state.store(isDownload() ? DownloadFailed : RequestFailed);
}

void NetworkNode::appendError() {
    _body.seek(2, 0);
    _body.write(_error, sizeof(_error));
}

size_t NetworkNode::writeCallback(char* data, size_t size, size_t count, void* user) {
    NetworkNode* node = static_cast<NetworkNode*>(user);
    size_t bytes = size * count;
    if (node->_cancelled.load())
        return 0;
    if (node->_probing)  // the headers of a download's size query are not kept
        return bytes;
    if (bytes == 0)
        return 0;
    if (node->_received + bytes > node->_sizeCap) {
        node->_overflow = true;
        return 0;
    }
    node->_received += bytes;
    if (!node->isDownload())
        return node->_body.write(data, bytes) ? bytes : 0;
    if (!node->_file) {
        node->_file = std::fopen(node->_partPath.c_str(), "wb");
        if (!node->_file) {
            node->_fileErrno = errno;
            return 0;
        }
    }
    size_t put = std::fwrite(data, 1, bytes, node->_file);
    if (put != bytes)
        node->_fileErrno = errno;
    node->_written += put;
    return put;
}

int NetworkNode::progressCallback(void* user, int64_t, int64_t, int64_t, int64_t) {
    return static_cast<NetworkNode*>(user)->_cancelled.load() ? 1 : 0;
}

// Closes the partial download; on success it replaces the target file, otherwise it is removed so a
// failed download never damages the file that was there.
void NetworkNode::finishFile(bool success) {
    if (!isDownload())
        return;
    bool ok = success;
    if (_file) {
        if (std::fclose(_file) != 0 && ok) {
            ok = false;
            fail("can't write '%s': %s", _partPath.c_str(), std::strerror(errno));
        }
        _file = nullptr;
    } else if (ok) {
        // An empty answer still replaces the file.
        FILE* f = std::fopen(_partPath.c_str(), "wb");
        if (!f || std::fclose(f) != 0) {
            ok = false;
            fail("can't write '%s': %s", _partPath.c_str(), std::strerror(errno));
        }
    }
    if (ok && std::rename(_partPath.c_str(), _path.c_str()) != 0) {
        ok = false;
        fail("can't replace '%s': %s", _path.c_str(), std::strerror(errno));
    }
    if (!ok)
        ::unlink(_partPath.c_str());
}

void NetworkNode::run() {
    bool ok = false;
    CURL* curl = nullptr;
    if (_cancelled.load()) {
        fail("cancelled");
    } else if (!(curl = curl_easy_init())) {
        fail("curl_easy_init failed");
    } else {
        _curl = curl;
        if (isDownload())
            _partPath = _path + ".part";
        std::memset(_error, 0, sizeof(_error));
        curl_easy_setopt(curl, CURLOPT_URL, _address.c_str());
        curl_easy_setopt(curl, CURLOPT_TIMEOUT, _timeoutSeconds);
        curl_easy_setopt(curl, CURLOPT_ERRORBUFFER, _error);
        curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
        setProtocols(curl);
        curl_easy_setopt(curl, CURLOPT_FOLLOWLOCATION, 1L);
        curl_easy_setopt(curl, CURLOPT_MAXREDIRS, kMaxRedirects);
        curl_easy_setopt(curl, CURLOPT_MAXFILESIZE_LARGE, (curl_off_t)_sizeCap);
        // Set before any transfer, the size query included: libcurl's default writes to stdout.
        curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, &NetworkNode::writeCallback);
        curl_easy_setopt(curl, CURLOPT_WRITEDATA, this);
        curl_easy_setopt(curl, CURLOPT_NOPROGRESS, 0L);
        curl_easy_setopt(curl, CURLOPT_XFERINFOFUNCTION, &NetworkNode::progressCallback);
        curl_easy_setopt(curl, CURLOPT_XFERINFODATA, this);

        bool go = true;
        if (isDownload()) {
            _contentLength = 0;
            _probing = true;
            curl_easy_setopt(curl, CURLOPT_HEADER, 1L);
            curl_easy_setopt(curl, CURLOPT_NOBODY, 1L);
            if (curl_easy_perform(curl) == CURLE_OK) {
                long status = 0;
                curl_off_t length = -1;
                curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &status);
                curl_easy_getinfo(curl, CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &length);
                if (status >= 200 && status <= 299 && length >= 0)
                    _contentLength = (uint64_t)length;
            }
            _probing = false;
            curl_easy_setopt(curl, CURLOPT_HEADER, 0L);
            curl_easy_setopt(curl, CURLOPT_NOBODY, 0L);
            curl_easy_setopt(curl, CURLOPT_HTTPGET, 1L);
            std::memset(_error, 0, sizeof(_error));
            if (_contentLength > _sizeCap) {
                fail("download of %llu bytes is larger than the cap of %llu", (unsigned long long)_contentLength,
                     (unsigned long long)_sizeCap);
                go = false;
            }
        }
        if (go && _cancelled.load()) {
            fail("cancelled");
            go = false;
        }
        if (go) {
            CURLcode rc = curl_easy_perform(curl);
            curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &_status);
            if (_cancelled.load()) {
                fail("cancelled");
            } else if (_overflow || rc == CURLE_FILESIZE_EXCEEDED) {
                fail("answer larger than the cap of %llu bytes", (unsigned long long)_sizeCap);
            } else if (rc == CURLE_WRITE_ERROR && isDownload()) {
                fail("can't write '%s': %s", _partPath.c_str(), std::strerror(_fileErrno));
            } else if (rc != CURLE_OK) {
                std::string message = _error[0] ? std::string(_error) : std::string(curl_easy_strerror(rc));
                fail("%s", message.c_str());
            } else if (_status < 200 || _status > 299) {
                fail("HTTP status %ld", _status);
            } else {
                ok = true;
                std::memset(_error, 0, sizeof(_error));  // notes of attempts that did not count
            }
        }
        curl_easy_cleanup(curl);
        _curl = nullptr;
    }
    finishFile(ok);
    if (ok) {
        _state.store(isDownload() ? DownloadFinished : RequestFinished);
    } else {
        if (!_error[0])
            fail("failed");
        appendError();
    }

    {
        std::lock_guard<std::mutex> guard(_handlerLock);
        if (_handler && !_cancelled.load()) {
            _callingThread.store(std::this_thread::get_id());
            _handler->onNetworkNodeDone(this);
            _callingThread.store(std::thread::id());
        }
        _handler = nullptr;
    }
    _done.store(true);
}

// ---------------------------------------------------------------------------------------------
// NetworkManager

NetworkManager::NetworkManager() : _pool(std::make_shared<Pool>()) {
    std::lock_guard<std::mutex> guard(managers().lock);
    managers().pools.push_back(_pool);
}

NetworkManager::~NetworkManager() {
    shutdown();
    std::lock_guard<std::mutex> guard(managers().lock);
    std::vector<std::weak_ptr<Pool>>& pools = managers().pools;
    pools.erase(std::remove_if(pools.begin(), pools.end(),
                               [&](const std::weak_ptr<Pool>& p) {
                                   std::shared_ptr<Pool> locked = p.lock();
                                   return !locked || locked == _pool;
                               }),
                pools.end());
}

NetworkManager& NetworkManager::instance() {
    // Never destroyed: handlers destroyed during exit may still cancel through it.
    static NetworkManager* manager = new NetworkManager();
    return *manager;
}

void NetworkManager::init() {
    ensureCurlInitialised();
    _timeoutSeconds = DefaultTimeoutSeconds;
    std::lock_guard<std::mutex> guard(_pool->lock);
    _pool->stopping = false;
}

bool NetworkManager::shutdown(int timeoutMs) {
    {
        std::lock_guard<std::mutex> guard(_pool->lock);
        _pool->stopping = true;
    }
    _pool->cancel(nullptr, true);

    std::vector<std::thread> threads;
    bool allEnded;
    {
        std::unique_lock<std::mutex> lk(_pool->lock);
        _pool->wake.notify_all();
        // A shutdown from inside a handler call runs on a worker, which cannot end before it returns.
        const std::thread::id self = std::this_thread::get_id();
        const int own = std::count(_pool->threadIds.begin(), _pool->threadIds.end(), self) ? 1 : 0;
        allEnded = _pool->ended.wait_for(lk, std::chrono::milliseconds(timeoutMs < 0 ? 0 : timeoutMs),
                                         [&] { return _pool->workers <= own; });
        threads.swap(_pool->threads);
        _pool->threadIds.clear();
        allEnded = allEnded && own == 0;
        if (!allEnded && _pool->workers > own)
            Logger::error("[NetworkManager::shutdown] %d network worker(s) still busy after %d ms; left to end by themselves",
                          _pool->workers - own, timeoutMs);
    }
    const std::thread::id self = std::this_thread::get_id();
    for (std::thread& t : threads) {
        if (allEnded && t.get_id() != self)
            t.join();
        else
            t.detach();
    }
    return allEnded;
}

std::shared_ptr<NetworkNode> NetworkManager::request(INetworkHandler* handler, const std::string& address, int tag) {
    return start(handler, address, tag, std::string());
}

std::shared_ptr<NetworkNode> NetworkManager::download(INetworkHandler* handler, const std::string& address, int tag,
                                                      const std::string& path) {
    if (path.empty()) {
        std::shared_ptr<NetworkNode> node(new NetworkNode(handler, address, tag, path));
        Logger::error("[NetworkManager::download] no target file for '%s'", address.c_str());
        node->fail("no target file");
        node->appendError();
        node->_state.store(NetworkNode::DownloadFailed);
        node->_handler = nullptr;
        node->_done.store(true);
        return node;
    }
    return start(handler, address, tag, path);
}

std::shared_ptr<NetworkNode> NetworkManager::start(INetworkHandler* handler, const std::string& address, int tag,
                                                   const std::string& path) {
    std::shared_ptr<NetworkNode> node(new NetworkNode(handler, address, tag, path));
    node->_timeoutSeconds = _timeoutSeconds.load();
    node->_sizeCap = path.empty() ? _maxAnswerSize.load() : _maxDownloadSize.load();
    ensureCurlInitialised();

    std::lock_guard<std::mutex> guard(_pool->lock);
    const char* refusal = nullptr;
    if (_pool->stopping) {
        refusal = "the network manager is shut down";
    } else {
        _pool->active.push_back(node);
        _pool->queue.push_back(node);
        if ((size_t)_pool->idle < _pool->queue.size() && _pool->workers < _pool->maxWorkers) {
            try {
                if (gFailThreadStarts.load())
                    throw std::system_error(std::make_error_code(std::errc::resource_unavailable_try_again));
                _pool->threads.emplace_back(&Pool::workerMain, _pool);
                _pool->threadIds.push_back(_pool->threads.back().get_id());
                ++_pool->workers;
            } catch (const std::system_error& e) {
                Logger::error("[NetworkManager] can't start a network worker: %s", e.what());
                if (_pool->workers == 0) {
                    // Nobody would ever run it.
                    _pool->queue.pop_back();
                    _pool->drop(node);
                    refusal = "no worker thread could be started";
                }
            }
        }
    }
    if (refusal) {
        Logger::error("[NetworkManager] request for '%s' failed: %s", address.c_str(), refusal);
        node->fail("%s", refusal);
        node->appendError();
        node->_handler = nullptr;
        node->_done.store(true);
        return node;
    }
    _pool->wake.notify_one();
    return node;
}

void NetworkManager::cancelRequests(INetworkHandler* handler) {
    if (handler)
        _pool->cancel(handler, false);
}

void NetworkManager::cancelEverywhere(INetworkHandler* handler) {
    std::vector<std::shared_ptr<Pool>> pools;
    {
        std::lock_guard<std::mutex> guard(managers().lock);
        for (const std::weak_ptr<Pool>& p : managers().pools)
            if (std::shared_ptr<Pool> locked = p.lock())
                pools.push_back(locked);
    }
    for (const std::shared_ptr<Pool>& pool : pools)
        pool->cancel(handler, false);
}

void NetworkManager::setMaxWorkers(int count) {
    std::lock_guard<std::mutex> guard(_pool->lock);
    _pool->maxWorkers = count < 1 ? 1 : count;
}

void NetworkManager::setSigningHook(const SigningHook& hook) {
    std::lock_guard<std::mutex> guard(_hookLock);
    _signingHook = hook;
}

std::string NetworkManager::sign(const std::vector<std::string>& parts) const {
    std::lock_guard<std::mutex> guard(_hookLock);
    return _signingHook ? _signingHook(parts) : std::string();
}

size_t NetworkManager::activeCount() const {
    std::lock_guard<std::mutex> guard(_pool->lock);
    return _pool->active.size();
}

int NetworkManager::workerCount() const {
    std::lock_guard<std::mutex> guard(_pool->lock);
    return _pool->workers;
}

void NetworkManager::failThreadStartsForTests(bool fail) { gFailThreadStarts.store(fail); }

// ---------------------------------------------------------------------------------------------
// Query addresses

void buildQueryUrl(std::string& out, const NetworkManager& manager, const std::string& base,
                   const std::map<std::string, std::string>& parameters, int sign) {
    static const char kHex[] = "0123456789ABCDEF";
    out = base;
    std::vector<std::string> parts;
    bool first = true;
    for (const auto& parameter : parameters) {
        out += first ? "?" : "&";
        first = false;
        out += parameter.first;
        out += "=";
        for (unsigned char c : parameter.second) {
            bool keep = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' ||
                        c == '.' || c == '_' || c == '~';
            if (keep) {
                out += (char)c;
            } else {
                out += '%';
                out += kHex[c >> 4];
                out += kHex[c & 15];
            }
        }
        parts.push_back(parameter.first);
        parts.push_back(parameter.second);
    }
    if (sign == 1) {
        out += parameters.empty() ? "?md5=" : "&md5=";
        out += md5Hex(manager.sign(parts));
    }
}
