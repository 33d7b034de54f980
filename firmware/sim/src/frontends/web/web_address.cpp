#include "frontends/web/web_address.h"

#include <stdexcept>

namespace boardsim {
namespace {

uint16_t portOf(const std::string& text, const std::string& whole)
{
    if (text.empty() || text.size() > 5 || text.find_first_not_of("0123456789") != std::string::npos ||
        std::stoul(text) > 65535) {
        throw std::invalid_argument("--web wants [ADDR:]PORT with a TCP port (0 to 65535), got \"" + whole + "\"");
    }
    return uint16_t(std::stoul(text));
}

}  // namespace

WebAddress parseWebAddress(const std::string& text)
{
    WebAddress address;
    const size_t colon = text.rfind(':');
    if (colon == std::string::npos) {
        address.port = portOf(text, text);
        return address;
    }
    std::string host = text.substr(0, colon);
    if (host.size() >= 2 && host.front() == '[' && host.back() == ']') {
        host = host.substr(1, host.size() - 2);
    } else if (host.find(':') != std::string::npos) {
        throw std::invalid_argument("--web: an IPv6 address goes in brackets, as [::1]:8080, got \"" + text + "\"");
    }
    if (host.empty() || host.find_first_of(" /?#@[]") != std::string::npos) {
        throw std::invalid_argument("--web: no address to listen on in \"" + text + "\"");
    }
    address.host = host;
    address.port = portOf(text.substr(colon + 1), text);
    return address;
}

bool WebAddress::loopback() const
{
    return host == "localhost" || host == "::1" || host.rfind("127.", 0) == 0;
}

std::string WebAddress::hostPort(uint16_t boundPort) const
{
    const std::string name = host.find(':') != std::string::npos ? "[" + host + "]" : host;
    return name + ":" + std::to_string(boundPort);
}

}  // namespace boardsim
