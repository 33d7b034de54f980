#include "frontends/web/web_server.h"

#include <array>
#include <cstdlib>
#include <random>

#include <httplib.h>

#include "core/board_error.h"
#include "frontends/common/lcd_picture.h"
#include "frontends/web/web_assets.h"

namespace boardsim {
namespace {

constexpr size_t kThreads = 32;           // each open page holds one for its event stream
constexpr size_t kTypedAtOnce = 4096;     // bytes one request may type
constexpr auto kStreamWait = std::chrono::milliseconds(1000);
constexpr double kLongestPress = 10.0;  // seconds
const char* const kTokenCookie = "boardsim_token";

void refuse(httplib::Response& res, int status, const std::string& why)
{
    res.status = status;
    res.set_content(nlohmann::json{{"error", why}}.dump() + "\n", "application/json");
}

// Compares without telling, by its time, how much of a guess was right.
bool sameSecret(const std::string& a, const std::string& b)
{
    if (a.size() != b.size()) {
        return false;
    }
    unsigned char difference = 0;
    for (size_t i = 0; i < a.size(); ++i) {
        difference = static_cast<unsigned char>(difference | (a[i] ^ b[i]));
    }
    return difference == 0;
}

std::string cookie(const httplib::Request& req, const std::string& name)
{
    const std::string all = req.get_header_value("Cookie");
    size_t at = 0;
    while (at < all.size()) {
        const size_t end = std::min(all.find(';', at), all.size());
        std::string pair = all.substr(at, end - at);
        pair.erase(0, pair.find_first_not_of(' '));
        if (pair.compare(0, name.size() + 1, name + "=") == 0) {
            return pair.substr(name.size() + 1);
        }
        at = end + 1;
    }
    return {};
}

std::string bearer(const httplib::Request& req)
{
    const std::string value = req.get_header_value("Authorization");
    const std::string scheme = "Bearer ";
    return value.compare(0, scheme.size(), scheme) == 0 ? value.substr(scheme.size()) : std::string();
}

// A key number from 1 to 4, or 0.
int keyOf(const httplib::Request& req)
{
    const std::string text = req.get_param_value("key");
    return text.size() == 1 && text[0] >= '1' && text[0] <= '4' ? text[0] - '0' : 0;
}

// A plain decimal number in [low, high], or nothing.
std::optional<double> numberIn(const std::string& text, double low, double high)
{
    if (text.empty() || text.find_first_not_of("0123456789.") != std::string::npos) {
        return std::nullopt;
    }
    char* end = nullptr;
    const double value = std::strtod(text.c_str(), &end);
    if (end != text.c_str() + text.size() || !(value >= low) || value > high) {
        return std::nullopt;
    }
    return value;
}

// "0,1,4,31" as a mask of pins.
std::optional<uint32_t> pinList(const std::string& text)
{
    uint32_t mask = 0;
    size_t at = 0;
    while (at <= text.size() && !text.empty()) {
        const size_t comma = std::min(text.find(',', at), text.size());
        const auto pin = numberIn(text.substr(at, comma - at), 0, 31);
        if (!pin || *pin != double(unsigned(*pin))) {
            return std::nullopt;
        }
        mask |= 1u << unsigned(*pin);
        at = comma + 1;
    }
    return mask;
}

}  // namespace

std::string randomToken()
{
    std::random_device source;
    std::string token;
    static constexpr char kDigits[] = "0123456789abcdef";
    for (int i = 0; i < 8; ++i) {
        const unsigned word = source();
        for (int nibble = 0; nibble < 4; ++nibble) {
            token += kDigits[(word >> (4 * nibble)) & 15];
        }
    }
    return token;
}

WebServer::WebServer(WebBoard& board, EventStream& stream, const WebAddress& address, std::string token)
    : board_(board), stream_(stream), address_(address), token_(std::move(token)),
      server_(std::make_unique<httplib::Server>())
{
    server_->new_task_queue = [] { return new httplib::ThreadPool(kThreads); };
    server_->set_payload_max_length(kTypedAtOnce);
    routes();
    if (address.port == 0) {
        const int bound = server_->bind_to_any_port(address.host);
        port_ = bound > 0 ? uint16_t(bound) : 0;
    } else if (server_->bind_to_port(address.host, address.port)) {
        port_ = address.port;
    }
    if (port_ == 0) {
        throw BoardError("--web: cannot listen on " + address.hostPort(address.port) +
                         " (the address is not this machine's, or the port is taken)");
    }
}

WebServer::~WebServer()
{
    stop();
}

std::string WebServer::url() const
{
    return "http://" + address_.hostPort(port_) + "/" + (token_.empty() ? "" : "?token=" + token_);
}

void WebServer::start()
{
    thread_ = std::thread([this] { server_->listen_after_bind(); });
}

void WebServer::stop()
{
    stream_.end();
    if (thread_.joinable()) {
        server_->stop();
        thread_.join();
    }
}

void WebServer::routes()
{
    guard();
    readRoutes();
    commandRoutes();
    pageRoutes();
}

void WebServer::guard()
{
    server_->set_pre_routing_handler([this](const httplib::Request& req, httplib::Response& res) {
        const std::string host = req.get_header_value("Host");
        if (token_.empty()) {
            const std::string port = ":" + std::to_string(port_);
            const std::array<std::string, 4> names = {address_.hostPort(port_), "127.0.0.1" + port, "localhost" + port,
                                                      "[::1]" + port};
            if (std::find(names.begin(), names.end(), host) == names.end()) {
                refuse(res, 403, "this board answers to " + address_.hostPort(port_) + " only");
                return httplib::Server::HandlerResponse::Handled;
            }
        } else {
            const std::string given = req.has_param("token")        ? req.get_param_value("token")
                                      : !bearer(req).empty()        ? bearer(req)
                                                                    : cookie(req, kTokenCookie);
            if (!sameSecret(given, token_)) {
                refuse(res, 403, "this board wants the token boardsim printed: open the address it printed");
                return httplib::Server::HandlerResponse::Handled;
            }
        }
        const std::string origin = req.get_header_value("Origin");
        if (req.method == "POST" && !origin.empty() && origin != "http://" + host) {
            refuse(res, 403, "requests from another site's page are refused");
            return httplib::Server::HandlerResponse::Handled;
        }
        return httplib::Server::HandlerResponse::Unhandled;
    });
}

void WebServer::readRoutes()
{
    httplib::Server& s = *server_;
    s.Get("/api/state", [this](const httplib::Request&, httplib::Response& res) {
        res.set_header("Cache-Control", "no-store");
        res.set_content(stream_.latest("state") + "\n", "application/json");
    });
    s.Get("/api/lcd.png", [this](const httplib::Request&, httplib::Response& res) {
        res.set_header("Cache-Control", "no-store");
        res.set_content(lcdPng(board_.lcdFrame()), "image/png");
    });
    s.Get("/api/events", [this](const httplib::Request&, httplib::Response& res) {
        res.set_header("Cache-Control", "no-store");
        auto cursor = std::make_shared<EventStream::Cursor>();
        res.set_chunked_content_provider("text/event-stream", [this, cursor](size_t, httplib::DataSink& sink) {
            std::string text = stream_.next(*cursor, kStreamWait);
            if (stream_.ended()) {
                sink.done();
                return true;
            }
            if (text.empty()) {
                text = ": still here\n\n";  // tells a closed page from a quiet board
            }
            return sink.write(text.data(), text.size());
        });
    });
}

void WebServer::commandRoutes()
{
    httplib::Server& s = *server_;
    s.Post("/api/press", [this](const httplib::Request& req, httplib::Response& res) {
        const int key = keyOf(req);
        const auto ms = req.has_param("ms") ? numberIn(req.get_param_value("ms"), 1, kLongestPress * 1000)
                                            : std::optional<double>(WebBoard::kDefaultPress * 1000);
        if (key == 0 || !ms) {
            refuse(res, 400, "press wants key=1..4 and, if given, ms=1..10000");
            return;
        }
        board_.press(key, *ms / 1000);
        res.status = 204;
    });
    s.Post("/api/key", [this](const httplib::Request& req, httplib::Response& res) {
        const int key = keyOf(req);
        const std::string down = req.get_param_value("down");
        if (key == 0 || (down != "0" && down != "1")) {
            refuse(res, 400, "key wants key=1..4 and down=1 or down=0");
            return;
        }
        board_.hold(key, down == "1");
        res.status = 204;
    });
    for (int uart = 0; uart < Lpc2294Machine::kUarts; ++uart) {
        s.Post("/api/uart" + std::to_string(uart), [this, uart](const httplib::Request& req, httplib::Response& res) {
            if (board_.plugged(uart)) {
                refuse(res, 409, "UART" + std::to_string(uart) + " has a loopback plug instead of a terminal");
                return;
            }
            board_.type(uart, req.body);
            res.status = 204;
        });
    }
    s.Post("/api/reset", [this](const httplib::Request&, httplib::Response& res) {
        board_.reset();
        res.status = 204;
    });
    s.Post("/api/pause", [this](const httplib::Request&, httplib::Response& res) {
        board_.setRunning(false);
        res.status = 204;
    });
    s.Post("/api/run", [this](const httplib::Request&, httplib::Response& res) {
        board_.setRunning(true);
        res.status = 204;
    });
    s.Post("/api/speed", [this](const httplib::Request& req, httplib::Response& res) {
        const auto speed = numberIn(req.get_param_value("x"), 0.001, 1000);
        if (!speed) {
            refuse(res, 400, "speed wants x=0.001..1000 (times real time)");
            return;
        }
        board_.setSpeed(*speed);
        res.status = 204;
    });
    s.Post("/api/pins", [this](const httplib::Request& req, httplib::Response& res) {
        const auto pins = pinList(req.get_param_value("list"));
        if (!pins) {
            refuse(res, 400, "pins wants list=N,N,... with port 0's pin numbers 0..31");
            return;
        }
        board_.selectPins(*pins);
        res.status = 204;
    });
}

void WebServer::pageRoutes()
{
    httplib::Server& s = *server_;
    s.Get(R"(/([A-Za-z0-9_./-]*))", [this](const httplib::Request& req, httplib::Response& res) {
        const WebAsset* asset = findWebAsset(req.path);
        if (asset == nullptr) {
            refuse(res, 404, "no such page: " + req.path);
            return;
        }
        if (!token_.empty() && req.has_param("token")) {
            // The page's own files and requests then carry the token by themselves.
            res.set_header("Set-Cookie", std::string(kTokenCookie) + "=" + token_ + "; HttpOnly; SameSite=Strict; Path=/");
        }
        res.set_content(reinterpret_cast<const char*>(asset->data), asset->size, asset->type);
    });
    s.set_error_handler([](const httplib::Request&, httplib::Response& res) {
        if (res.body.empty()) {
            refuse(res, res.status, res.status == 413 ? "too much at once" : "cannot serve that");
        }
    });
}

}  // namespace boardsim
