#include "trap_host.h"

#include <arpa/inet.h>

#include <cctype>

namespace trapsend {

namespace {

bool isIpv6Literal(const std::string& host)
{
    in6_addr address{};
    return host.find(':') != std::string::npos && ::inet_pton(AF_INET6, host.c_str(), &address) == 1;
}

} // namespace

bool isTrapHost(const std::string& host)
{
    if (host.empty() || host.size() > 255) return false;
    if (host.find(':') != std::string::npos) return isIpv6Literal(host);
    if (host[0] == '-' || host[0] == '.') return false;
    for (unsigned char c : host)
        if (!std::isalnum(c) && c != '.' && c != '-' && c != '_') return false;
    return true;
}

std::string snmptrapAddress(const std::string& host, const std::string& port)
{
    if (isIpv6Literal(host)) return "udp6:[" + host + "]:" + port;
    return host + ":" + port;
}

} // namespace trapsend
