// HTTP requests against a small server of the test's own on 127.0.0.1: answers, failures, caps,
// time-outs, cancelling, shutdown, the worker pool, downloads and query addresses.

#include <httplib.h>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <fcntl.h>
#include <fstream>
#include <mutex>
#include <thread>
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include "TestSupport.h"
#include "engine/FileBuffer.h"
#include "engine/online/NetworkManager.h"
#include "engine/online/SafeFiles.h"

using namespace std::chrono_literals;
using testsupport::TempDir;
using testsupport::readFile;
using testsupport::waitUntil;
using testsupport::writeFile;

namespace {

std::string pictureBytes() {
    std::string bytes;
    for (int i = 0; i < 2600; ++i)
        bytes += (char)(i * 7 & 0xFF);
    return bytes;
}

// Scripted answers: statuses, bodies, a stall that lasts until released, a dropped connection,
// redirects and a slow answer.
class LocalServer {
public:
    LocalServer() {
        server.Get("/ok", [](const httplib::Request&, httplib::Response& res) { res.set_content("hello", "text/plain"); });
        server.Get(R"(/status/(\d+))", [](const httplib::Request& req, httplib::Response& res) {
            res.status = std::stoi(req.matches[1]);
            res.set_content("nope", "text/plain");
        });
        server.Get("/big", [](const httplib::Request&, httplib::Response& res) {
            res.set_content(std::string(5000, 'x'), "text/plain");
        });
        server.Get("/big-chunked", [](const httplib::Request&, httplib::Response& res) {
            // No length in advance: the cap has to stop it while it arrives.
            res.set_chunked_content_provider("text/plain", [](size_t offset, httplib::DataSink& sink) {
                if (offset >= 50000)
                    sink.done();
                else
                    sink.write(std::string(1000, 'y').data(), 1000);
                return true;
            });
        });
        server.Get("/stall", [this](const httplib::Request&, httplib::Response& res) {
            ++stallHits;
            res.set_chunked_content_provider("text/plain", [this](size_t, httplib::DataSink& sink) {
                sink.write("a", 1);
                std::unique_lock<std::mutex> lk(lock);
                wake.wait_for(lk, 30s, [&] { return released; });
                return false;
            });
        });
        server.Get("/drop", [](const httplib::Request&, httplib::Response& res) {
            res.set_content_provider(1000, "text/plain", [](size_t offset, size_t, httplib::DataSink& sink) {
                if (offset > 0)
                    return false;  // the connection closes with 900 bytes missing
                sink.write(std::string(100, 'd').data(), 100);
                return true;
            });
        });
        server.Get("/redirect-file", [](const httplib::Request&, httplib::Response& res) {
            res.set_redirect("file:///etc/hostname");
        });
        server.Get("/redirect-ok", [](const httplib::Request&, httplib::Response& res) { res.set_redirect("/ok"); });
        server.Get("/picture", [](const httplib::Request&, httplib::Response& res) {
            res.set_content(pictureBytes(), "image/jpeg");
        });
        server.Get("/empty", [](const httplib::Request&, httplib::Response& res) { res.set_content("", "image/jpeg"); });
        server.Get("/slow", [](const httplib::Request&, httplib::Response& res) {
            std::this_thread::sleep_for(50ms);
            res.set_content("slow", "text/plain");
        });
        port = server.bind_to_any_port("127.0.0.1");
        thread = std::thread([this] { server.listen_after_bind(); });
        waitUntil([this] { return server.is_running(); });
    }
    ~LocalServer() {
        release();
        server.stop();
        thread.join();
    }
    void release() {
        std::lock_guard<std::mutex> guard(lock);
        released = true;
        wake.notify_all();
    }
    std::string url(const std::string& path) const { return "http://127.0.0.1:" + std::to_string(port) + path; }

    httplib::Server server;
    int port = 0;
    std::thread thread;
    std::atomic<int> stallHits{0};
    std::mutex lock;
    std::condition_variable wake;
    bool released = false;
};

struct Call {
    int state, tag;
    long status;
    std::string body, error, path;
    uint64_t contentLength;
    std::thread::id thread;
};

class RecordingHandler : public INetworkHandler {
public:
    ~RecordingHandler() override { NetworkManager::cancelEverywhere(this); }
    void onNetworkNodeDone(NetworkNode* node) override {
        std::lock_guard<std::mutex> guard(lock);
        std::string body;
        node->body().toString(body);
        calls.push_back({node->state(), node->tag(), node->httpStatus(), body, node->errorText(), node->path(),
                         node->contentLength(), std::this_thread::get_id()});
        wake.notify_all();
    }
    bool waitFor(size_t count, std::chrono::milliseconds limit = 15000ms) {
        std::unique_lock<std::mutex> lk(lock);
        return wake.wait_for(lk, limit, [&] { return calls.size() >= count; });
    }
    Call call(size_t i) {
        std::lock_guard<std::mutex> guard(lock);
        return calls.at(i);
    }
    size_t count() {
        std::lock_guard<std::mutex> guard(lock);
        return calls.size();
    }
    std::mutex lock;
    std::condition_variable wake;
    std::vector<Call> calls;
};

class Network : public ::testing::Test {
protected:
    void SetUp() override { manager.init(); }
    void TearDown() override {
        server.release();
        EXPECT_TRUE(manager.shutdown(10000));
    }
    // Waits until every request has been handed back and freed.
    bool settled() { return waitUntil([&] { return manager.activeCount() == 0; }, 15000); }

    LocalServer server;
    NetworkManager manager;
    TempDir dir;
};

TEST_F(Network, SuccessfulAnswerReachesTheHandlerOnAWorkerAndTheRequestIsFreed) {
    RecordingHandler handler;
    std::weak_ptr<NetworkNode> weak;
    {
        std::shared_ptr<NetworkNode> node = manager.request(&handler, server.url("/ok"), 77);
        weak = node;
    }
    ASSERT_TRUE(handler.waitFor(1));
    Call c = handler.call(0);
    EXPECT_EQ(NetworkNode::RequestFinished, c.state);
    EXPECT_EQ("hello", c.body);
    EXPECT_EQ(200, c.status);
    EXPECT_EQ(77, c.tag);
    EXPECT_EQ("", c.error);
    EXPECT_NE(std::this_thread::get_id(), c.thread);
    ASSERT_TRUE(settled());
    EXPECT_TRUE(waitUntil([&] { return weak.expired(); }));

    // A redirect within http is followed; a host name goes through libcurl's resolver thread.
    manager.request(&handler, server.url("/redirect-ok"), 1);
    manager.request(&handler, "http://localhost:" + std::to_string(server.port) + "/ok", 2);
    ASSERT_TRUE(handler.waitFor(3));
    for (size_t i = 1; i < 3; ++i) {
        EXPECT_EQ(NetworkNode::RequestFinished, handler.call(i).state) << handler.call(i).error;
        EXPECT_EQ("hello", handler.call(i).body);
    }
}

TEST_F(Network, FailuresEndFailedWithTheErrorBufferAfterTheBody) {
    manager.setMaxAnswerSize(1000);
    struct Case {
        std::string address, bodyBefore, errorPart;
    };
    // A closed port: bind one, note it, close it.
    int closedPort = 0;
    {
        int fd = socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof(address);
        ASSERT_EQ(0, bind(fd, (sockaddr*)&address, sizeof(address)));
        ASSERT_EQ(0, getsockname(fd, (sockaddr*)&address, &length));
        closedPort = ntohs(address.sin_port);
        close(fd);
    }
    const Case cases[] = {
        {server.url("/status/404"), "nope", "HTTP status 404"},
        {server.url("/status/500"), "nope", "HTTP status 500"},
        {server.url("/status/302"), "nope", "HTTP status 302"},  // a redirect without a target
        {server.url("/big"), "", "larger than the cap"},
        {server.url("/big-chunked"), "<=1000 y", "larger than the cap"},
        {server.url("/drop"), std::string(100, 'd'), ""},
        {"file:///etc/hostname", "", "Protocol"},
        {server.url("/redirect-file"), "", "Protocol"},
        {"http://127.0.0.1:" + std::to_string(closedPort) + "/ok", "", ""},
    };
    RecordingHandler handler;
    for (size_t i = 0; i < sizeof(cases) / sizeof(cases[0]); ++i) {
        SCOPED_TRACE(cases[i].address);
        manager.request(&handler, cases[i].address, (int)i);
        ASSERT_TRUE(handler.waitFor(i + 1));
        Call c = handler.call(i);
        EXPECT_EQ(NetworkNode::RequestFailed, c.state);
        ASSERT_GE(c.body.size(), (size_t)NetworkNode::ErrorBufferSize);
        const size_t received = c.body.size() - NetworkNode::ErrorBufferSize;
        if (cases[i].bodyBefore == "<=1000 y") {
            // Whatever arrived below the cap is kept.
            EXPECT_LE(received, 1000u);
            EXPECT_EQ(std::string(received, 'y'), c.body.substr(0, received));
        } else {
            EXPECT_EQ(cases[i].bodyBefore, c.body.substr(0, received));
        }
        std::string buffer = c.body.substr(received);
        EXPECT_EQ(c.error, std::string(buffer.c_str()));
        EXPECT_FALSE(c.error.empty());
        EXPECT_NE(std::string::npos, c.error.find(cases[i].errorPart)) << c.error;
        // The buffer holds nothing but the message and zeros.
        EXPECT_EQ(std::string(buffer.size() - c.error.size(), '\0'), buffer.substr(c.error.size()));
    }
}

TEST_F(Network, TimeOutIs160SecondsFromTheStartAndAStalledTransferEndsAtItsTimeOut) {
    NetworkManager fresh;
    EXPECT_EQ(160, fresh.timeout());

    manager.setTimeout(1);
    RecordingHandler handler;
    manager.request(&handler, server.url("/stall"), 5);
    ASSERT_TRUE(handler.waitFor(1, 10000ms));
    Call c = handler.call(0);
    EXPECT_EQ(NetworkNode::RequestFailed, c.state);
    EXPECT_NE(std::string::npos, c.error.find("timed out")) << c.error;
    EXPECT_EQ("a", c.body.substr(0, 1));
}

TEST_F(Network, CancellingAStalledTransferReturnsAtOnceAndTheHandlerIsNeverCalled) {
    std::atomic<int> calls{0};
    struct CountingHandler : INetworkHandler {
        explicit CountingHandler(std::atomic<int>& c) : count(c) {}
        void onNetworkNodeDone(NetworkNode*) override { ++count; }
        std::atomic<int>& count;
    };
    CountingHandler* handler = new CountingHandler(calls);
    std::weak_ptr<NetworkNode> weak = manager.request(handler, server.url("/stall"), 1);
    manager.request(handler, server.url("/stall"), 2);
    ASSERT_TRUE(waitUntil([&] { return server.stallHits.load() == 2; }, 10000));

    auto before = std::chrono::steady_clock::now();
    delete handler;  // its destructor cancels
    auto took = std::chrono::steady_clock::now() - before;
    EXPECT_LT(took, 2s);

    // The transfers end well before the server would let go (30 s), and nothing calls the freed handler.
    ASSERT_TRUE(settled());
    EXPECT_TRUE(weak.expired());
    EXPECT_EQ(0, calls.load());
}

TEST_F(Network, CancelWaitsForAHandlerCallInProgressButNotFromInsideIt) {
    struct SlowHandler : INetworkHandler {
        ~SlowHandler() override { NetworkManager::cancelEverywhere(this); }
        void onNetworkNodeDone(NetworkNode*) override {
            inside = true;
            std::this_thread::sleep_for(300ms);
            finished = true;
        }
        std::atomic<bool> inside{false}, finished{false};
    };
    SlowHandler slow;
    manager.request(&slow, server.url("/ok"), 1);
    ASSERT_TRUE(waitUntil([&] { return slow.inside.load(); }, 10000));
    manager.cancelRequests(&slow);
    EXPECT_TRUE(slow.finished.load());

    // A handler that lets go of itself inside its own call (cancelling there) does not hang.
    struct SelfDeleting : INetworkHandler {
        explicit SelfDeleting(std::atomic<bool>& d) : deleted(d) {}
        void onNetworkNodeDone(NetworkNode*) override {
            std::atomic<bool>& flag = deleted;
            delete this;
            flag = true;
        }
        std::atomic<bool>& deleted;
    };
    std::atomic<bool> deleted{false};
    manager.request(new SelfDeleting(deleted), server.url("/ok"), 2);
    EXPECT_TRUE(waitUntil([&] { return deleted.load(); }, 10000));
    EXPECT_TRUE(settled());
}

TEST_F(Network, ManyRequestsShareABoundedPoolOfWorkers) {
    manager.setMaxWorkers(3);
    RecordingHandler handler;
    std::atomic<bool> stop{false};
    std::atomic<int> most{0};
    std::thread watcher([&] {
        while (!stop) {
            most = std::max(most.load(), manager.workerCount());
            std::this_thread::sleep_for(1ms);
        }
    });
    for (int i = 0; i < 40; ++i)
        manager.request(&handler, server.url("/slow"), i);
    EXPECT_TRUE(handler.waitFor(40, 30000ms));
    stop = true;
    watcher.join();
    EXPECT_LE(most.load(), 3);
    EXPECT_GE(most.load(), 1);
    for (size_t i = 0; i < 40; ++i)
        EXPECT_EQ(NetworkNode::RequestFinished, handler.call(i).state);
    EXPECT_TRUE(settled());
}

TEST_F(Network, ARequestThatGetsNoWorkerFailsAtOnce) {
    NetworkManager fresh;
    fresh.init();
    RecordingHandler handler;
    NetworkManager::failThreadStartsForTests(true);
    std::shared_ptr<NetworkNode> node = fresh.request(&handler, server.url("/ok"), 1);
    std::shared_ptr<NetworkNode> file = fresh.download(&handler, server.url("/picture"), 2, dir.file("p.jpg"));
    NetworkManager::failThreadStartsForTests(false);
    EXPECT_EQ(NetworkNode::RequestFailed, node->state());
    EXPECT_EQ(NetworkNode::DownloadFailed, file->state());
    EXPECT_TRUE(node->done());
    EXPECT_FALSE(node->errorText().empty());
    EXPECT_EQ(0u, fresh.activeCount());
    EXPECT_EQ(0u, handler.count());
}

TEST_F(Network, ShutdownStopsTransfersInTimeAndRefusesNewRequestsUntilInit) {
    std::atomic<int> calls{0};
    struct CountingHandler : INetworkHandler {
        explicit CountingHandler(std::atomic<int>& c) : count(c) {}
        void onNetworkNodeDone(NetworkNode*) override { ++count; }
        std::atomic<int>& count;
    } handler(calls);
    manager.request(&handler, server.url("/stall"), 1);
    ASSERT_TRUE(waitUntil([&] { return server.stallHits.load() == 1; }, 10000));
    EXPECT_TRUE(manager.shutdown(5000));
    EXPECT_EQ(0, manager.workerCount());
    EXPECT_EQ(0, calls.load());

    std::shared_ptr<NetworkNode> refused = manager.request(&handler, server.url("/ok"), 2);
    EXPECT_EQ(NetworkNode::RequestFailed, refused->state());
    EXPECT_TRUE(refused->done());

    manager.init();
    RecordingHandler again;
    manager.request(&again, server.url("/ok"), 3);
    ASSERT_TRUE(again.waitFor(1));
    EXPECT_EQ(NetworkNode::RequestFinished, again.call(0).state);
}

TEST_F(Network, DownloadReplacesTheFileOnlyWhenItSucceeds) {
    const std::string target = dir.file("pic.1234.jpg");
    writeFile(target, std::string("old picture"));
    RecordingHandler handler;

    // Headers of the size query never reach standard output.
    std::fflush(stdout);
    int saved = dup(1);
    const std::string captured = dir.file("stdout.txt");
    int out = open(captured.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    dup2(out, 1);
    close(out);
    manager.download(&handler, server.url("/picture"), 42564, target);
    bool answered = handler.waitFor(1);
    std::fflush(stdout);
    dup2(saved, 1);
    close(saved);
    ASSERT_TRUE(answered);
    EXPECT_EQ("", readFile(captured));

    Call c = handler.call(0);
    EXPECT_EQ(NetworkNode::DownloadFinished, c.state);
    EXPECT_EQ(target, c.path);
    EXPECT_EQ(pictureBytes().size(), c.contentLength);
    EXPECT_EQ(pictureBytes(), readFile(target));

    // Failures leave the file that was there, and no partial file.
    manager.setMaxDownloadSize(100);
    manager.download(&handler, server.url("/picture"), 1, target);
    manager.setMaxDownloadSize(NetworkManager::DefaultMaxDownloadSize);
    ASSERT_TRUE(handler.waitFor(2));
    manager.download(&handler, server.url("/status/404"), 2, target);
    ASSERT_TRUE(handler.waitFor(3));
    manager.download(&handler, server.url("/drop"), 3, target);
    ASSERT_TRUE(handler.waitFor(4));
    for (size_t i = 1; i < 4; ++i) {
        EXPECT_EQ(NetworkNode::DownloadFailed, handler.call(i).state) << i;
        EXPECT_FALSE(handler.call(i).error.empty());
    }
    EXPECT_EQ(pictureBytes(), readFile(target));
    EXPECT_FALSE(std::ifstream(target + ".part").good());

    // An empty answer replaces the file with an empty one.
    manager.download(&handler, server.url("/empty"), 4, target);
    ASSERT_TRUE(handler.waitFor(5));
    EXPECT_EQ(NetworkNode::DownloadFinished, handler.call(4).state);
    EXPECT_EQ("", readFile(target));
}

TEST(QueryUrl, KeysSortedValuesPercentEncodedAndTheSignature) {
    NetworkManager manager;
    const std::string emptyMd5 = md5Hex("");
    EXPECT_EQ("d41d8cd98f00b204e9800998ecf8427e", emptyMd5);
    struct Case {
        std::map<std::string, std::string> parameters;
        int sign;
        std::string expected;
    };
    const Case cases[] = {
        {{{"b", "x y"}, {"a", "1/2"}}, 1, "u?a=1%2F2&b=x%20y&md5=" + emptyMd5},
        {{}, 1, "u?md5=" + emptyMd5},
        {{}, 0, "u"},
        {{{"v", "\xC3-._~ +"}}, 0, "u?v=%C3-._~%20%2B"},
        {{{"a key", "AZaz09"}}, 0, "u?a key=AZaz09"},
        {{{"B", "1"}, {"a", "2"}, {"\xC3", "3"}}, 0, "u?B=1&a=2&\xC3=3"},
    };
    for (const Case& c : cases) {
        std::string out = "stale";
        buildQueryUrl(out, manager, "u", c.parameters, c.sign);
        EXPECT_EQ(c.expected, out);
    }

    // With a signing hook, the signature covers keys and raw values in key order.
    std::vector<std::string> seen;
    manager.setSigningHook([&](const std::vector<std::string>& parts) {
        seen = parts;
        return std::string("secret");
    });
    std::string out;
    buildQueryUrl(out, manager, "u", {{"b", "x y"}, {"a", "1/2"}}, 1);
    EXPECT_EQ((std::vector<std::string>{"a", "1/2", "b", "x y"}), seen);
    EXPECT_EQ("u?a=1%2F2&b=x%20y&md5=" + md5Hex("secret"), out);
}

TEST(SafeFileId, OnlyPlainIdsPass) {
    for (const char* good : {"1234567890", "G:1234", "a_b-c.d", "AbC"})
        EXPECT_TRUE(isSafeFileId(good)) << good;
    for (const char* bad : {"", "..", "a..b", "../x", "a/b", "a\\b", "a b", "a\n", "\xC3\xA9", "a%2F"})
        EXPECT_FALSE(isSafeFileId(bad)) << bad;
    EXPECT_FALSE(isSafeFileId(std::string("a\0b", 3)));
}

}  // namespace
