#include "frontends/web/web_run.h"

#include <iostream>

#include "frontends/common/signals.h"
#include "frontends/web/web_board.h"
#include "frontends/web/web_server.h"

namespace boardsim {

bool webSupported()
{
    return true;
}

int serveWeb(const ElfImage& image, const Options& options)
{
    const WebAddress& address = *options.web;
    EventStream stream;
    WebBoard board(image, options, stream);
    WebServer server(board, stream, address, address.loopback() ? std::string() : randomToken());
    server.start();
    std::cerr << "boardsim: the board is at " << server.url() << std::endl;
    if (!address.loopback()) {
        std::cerr << "boardsim: listening beyond this machine: every request needs the token in that address"
                  << std::endl;
    }
    board.run([] { return pendingSignal() != 0; });
    server.stop();
    std::cerr << "boardsim: stopped serving (" << signalName(pendingSignal()) << ")" << std::endl;
    return 0;
}

}  // namespace boardsim
