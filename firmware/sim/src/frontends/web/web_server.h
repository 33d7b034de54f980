// The HTTP side of boardsim --web (cpp-httplib): the page's files, the API
// the page itself uses and scripts may use, and the server-sent event
// stream that keeps every open page in step with the board:
//   GET  /api/state         the board now, as JSON
//   GET  /api/lcd.png       the glass, as --lcd draws it
//   GET  /api/events        text/event-stream: state, lcd, uart0, uart1, pins, pinsetup, scope
//   POST /api/press?key=N[&ms=80]   a press of KEY_N
//   POST /api/key?key=N&down=1|0    KEY_N held down, or let go
//   POST /api/uart0, /api/uart1     the body typed to the UART at the line's rate
//   POST /api/reset, /api/pause, /api/run, /api/speed?x=X, /api/pins?list=0,1,4
// Bound to loopback, a request must name this machine in its Host header
// (a page elsewhere cannot reach the board by renaming itself); bound
// elsewhere, every request must carry the token (?token=, a cookie the page
// gets with it, or Authorization: Bearer). A POST from another site's page
// is refused either way.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <thread>

#include "frontends/web/event_stream.h"
#include "frontends/web/web_address.h"
#include "frontends/web/web_board.h"

namespace httplib {
class Server;
}

namespace boardsim {

class WebServer {
public:
    // Binds at once; throws BoardError when the address cannot be had.
    // `token`: required on every request, empty for none.
    WebServer(WebBoard& board, EventStream& stream, const WebAddress& address, std::string token);
    ~WebServer();
    WebServer(const WebServer&) = delete;
    WebServer& operator=(const WebServer&) = delete;

    uint16_t port() const { return port_; }
    // The page's address, with the token where one is needed.
    std::string url() const;

    // Serves on a thread of its own until stop().
    void start();
    void stop();

private:
    void routes();
    void guard();  // the Host, token and Origin checks before any route
    void readRoutes();
    void commandRoutes();
    void pageRoutes();

    WebBoard& board_;
    EventStream& stream_;
    WebAddress address_;
    std::string token_;
    std::unique_ptr<httplib::Server> server_;
    uint16_t port_ = 0;
    std::thread thread_;
};

// 32 hexadecimal digits from the system's random source.
std::string randomToken();

}  // namespace boardsim
