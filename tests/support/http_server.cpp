#include "support/http_server.hpp"

#include <algorithm>
#include <fstream>
#include <sstream>
#include <stdexcept>

#include "support/libraries.hpp"

namespace skh::test {

namespace fs = std::filesystem;
namespace net = skh::platform;

namespace {

constexpr std::size_t kMaxRequestBytes = 16 * 1024;
constexpr int kPollMs = 20;

std::string statusLine(int status) {
    switch (status) {
        case 200: return "200 OK";
        case 302: return "302 Found";
        case 404: return "404 Not Found";
        case 405: return "405 Method Not Allowed";
        default: return "500 Internal Server Error";
    }
}

std::string head(int status, std::size_t length, const std::string& extra = {}) {
    std::ostringstream out;
    out << "HTTP/1.1 " << statusLine(status) << "\r\n"
        << "Content-Type: " << (status == 200 ? "application/octet-stream" : "text/html") << "\r\n"
        << "Content-Length: " << length << "\r\n"
        << extra << "Connection: close\r\n\r\n";
    return out.str();
}

void sendText(net::Socket client, const std::string& text) { net::sendAll(client, text.data(), text.size()); }

void sendPage(net::Socket client, int status, const std::string& extra = {}) {
    const std::string body = "<html><body><h1>" + statusLine(status) + "</h1></body></html>\n";
    sendText(client, head(status, body.size(), extra) + body);
}

// Reads the request head; empty when the client sent none.
std::string readRequestHead(net::Socket client) {
    std::string data;
    char buffer[2048];
    while (data.find("\r\n\r\n") == std::string::npos && data.size() < kMaxRequestBytes) {
        if (net::waitReadable(client, 20000) <= 0) return {};
        const long n = net::recvSocket(client, buffer, sizeof buffer);
        if (n <= 0) return {};
        data.append(buffer, static_cast<std::size_t>(n));
    }
    return data;
}

// A file below the root for a request path, or empty when there is none.
fs::path fileFor(const fs::path& root, const std::string& path) {
    if (path.empty() || path[0] != '/' || path.find("..") != std::string::npos) return {};
    const fs::path file = root / path.substr(1);
    std::error_code ec;
    return fs::is_regular_file(file, ec) ? file : fs::path();
}

std::string readAll(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

}  // namespace

HttpServer::HttpServer(fs::path root) : m_root(std::move(root)) {
    initLibraries();
    net::SocketAddress address;
    if (net::resolveAddress("127.0.0.1", "0", net::Family::IPv4, false, address) != 0) {
        throw std::runtime_error("HttpServer: cannot resolve 127.0.0.1");
    }
    m_listener = net::openTcpSocket(net::Family::IPv4);
    if (m_listener == net::kInvalidSocket || net::bindSocket(m_listener, address) != 0 ||
        net::listenSocket(m_listener, 16) != 0) {
        if (m_listener != net::kInvalidSocket) net::closeSocket(m_listener);
        throw std::runtime_error("HttpServer: cannot listen: " + net::wsaErrorText(net::wsaLastError()));
    }
    m_port = net::localPort(m_listener);
    m_thread = std::thread([this] { serve(); });
}

HttpServer::~HttpServer() {
    m_stop = true;
    m_thread.join();
    net::closeSocket(m_listener);
}

std::string HttpServer::url() const { return "http://127.0.0.1:" + std::to_string(m_port) + "/"; }

void HttpServer::setFault(const std::string& path, Fault fault) {
    const std::lock_guard lock(m_mutex);
    m_faults[path] = fault;
}

void HttpServer::clearFaults() {
    const std::lock_guard lock(m_mutex);
    m_faults.clear();
}

std::vector<std::string> HttpServer::requests() const {
    const std::lock_guard lock(m_mutex);
    return m_requests;
}

std::size_t HttpServer::requestCount(const std::string& path) const {
    const std::lock_guard lock(m_mutex);
    return static_cast<std::size_t>(std::count(m_requests.begin(), m_requests.end(), path));
}

HttpServer::Fault HttpServer::faultFor(const std::string& path) const {
    const std::lock_guard lock(m_mutex);
    auto it = m_faults.find(path);
    if (it == m_faults.end()) it = m_faults.find("*");
    return it == m_faults.end() ? Fault::None : it->second;
}

void HttpServer::serve() {
    while (!m_stop) {
        if (net::waitReadable(m_listener, kPollMs) <= 0) continue;
        const net::Socket client = net::acceptSocket(m_listener);
        if (client == net::kInvalidSocket) continue;
        answer(client);
        net::shutdownSocket(client);
        net::closeSocket(client);
    }
}

void HttpServer::holdOpen(net::Socket client) const {
    char buffer[256];
    while (!m_stop) {
        const int ready = net::waitReadable(client, kPollMs);
        if (ready < 0) return;
        if (ready > 0 && net::recvSocket(client, buffer, sizeof buffer) <= 0) return;
    }
}

void HttpServer::answer(net::Socket client) {
    const std::string request = readRequestHead(client);
    if (request.empty()) return;
    std::istringstream line(request.substr(0, request.find("\r\n")));
    std::string method;
    std::string target;
    line >> method >> target;
    const std::string path = target.substr(0, target.find('?'));
    {
        const std::lock_guard lock(m_mutex);
        m_requests.push_back(path);
    }
    const Fault fault = faultFor(path);
    switch (fault) {
        case Fault::ServerError: return sendPage(client, 500);
        case Fault::Redirect: return sendPage(client, 302, "Location: /moved" + path + "\r\n");
        case Fault::Stall: return holdOpen(client);
        default: break;
    }
    if (method != "GET") return sendPage(client, 405);
    const fs::path file = fileFor(m_root, path);
    if (file.empty()) return sendPage(client, 404);
    const std::string body = readAll(file);
    if (fault == Fault::CutBody || fault == Fault::StallBody) {
        sendText(client, head(200, body.size()) + body.substr(0, body.size() / 2));
        if (fault == Fault::StallBody) holdOpen(client);
        return;
    }
    sendText(client, head(200, body.size()) + body);
}

}  // namespace skh::test
