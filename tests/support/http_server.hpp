#pragma once
// A small HTTP/1.1 server on 127.0.0.1 (a free port) for download tests. It
// serves the files below its root folder, answers 404 for anything else and
// can be told to misbehave for one path: answer 500, redirect, stall, or
// cut the body short. One connection at a time, each closed after its
// answer.
#include <atomic>
#include <filesystem>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/net.hpp"

namespace skh::test {

class HttpServer {
public:
    enum class Fault {
        None,
        ServerError,  // 500 with a small HTML body
        Redirect,     // 302 to another path, with a small HTML body
        Stall,        // accepts the request and sends nothing
        StallBody,    // sends the headers and half the body, then nothing
        CutBody,      // sends the headers and half the body, then closes
    };

    explicit HttpServer(std::filesystem::path root);
    ~HttpServer();
    HttpServer(const HttpServer&) = delete;
    HttpServer& operator=(const HttpServer&) = delete;

    // "http://127.0.0.1:<port>/"
    std::string url() const;
    int port() const { return m_port; }

    // Faults per request path ("/11/dbase.enc"); "*" matches every path.
    void setFault(const std::string& path, Fault fault);
    void clearFaults();

    // The paths of all requests so far, in order.
    std::vector<std::string> requests() const;
    std::size_t requestCount(const std::string& path) const;

private:
    void serve();
    void answer(platform::Socket client);
    Fault faultFor(const std::string& path) const;
    // Waits until the client closes or the server stops.
    void holdOpen(platform::Socket client) const;

    std::filesystem::path m_root;
    platform::Socket m_listener = platform::kInvalidSocket;
    int m_port = 0;
    std::atomic<bool> m_stop{false};
    mutable std::mutex m_mutex;
    std::map<std::string, Fault> m_faults;
    std::vector<std::string> m_requests;
    std::thread m_thread;
};

}  // namespace skh::test
