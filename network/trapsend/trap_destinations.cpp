// Reading the trap destination file.
#include "trap_sender.h"
#include "trap_host.h"
#include "trap_sender_internal.h"

#include "sandbox_path.h"
#include "snmp_log.h"

#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <fstream>
#include <sstream>

NotifyList notifies;
volatile sig_atomic_t notifyListInUse = 0;
volatile sig_atomic_t notifyListNeedUpdate = 0;

namespace trapsend {

bool validCommunity(const std::string& community)
{
    if (community.empty() || community.size() > 255) return false;
    for (unsigned char c : community)
        if (c <= ' ' || c == 0x7F) return false;
    return true;
}

bool validPort(const std::string& port)
{
    if (port.empty() || port.size() > 5) return false;
    for (unsigned char c : port)
        if (!std::isdigit(c)) return false;
    const long value = std::strtol(port.c_str(), nullptr, 10);
    return value >= 1 && value <= 65535;
}

} // namespace trapsend

void parse_trap_notification_file()
{
    if (trapsend::profile().announceParsing) log(LOG_INFO, "Parsing trap notification file");
    notifies.clear();
    std::ifstream in(qv::sandboxPath("/usr/qvserver/etc/qvtraps.cfg"));
    if (!in) {
        log(LOG_WARNING, "Error opening /usr/qvserver/etc/qvtraps.cfg (%d)", errno);
        return;
    }
    std::string line;
    for (int number = 1; std::getline(in, line); ++number) {
        if (!line.empty() && line[0] == '#') continue;
        std::istringstream words(line);
        NotifyEntry entry{"", "mantle", "162"};
        if (!(words >> entry.host)) {
            log(LOG_WARNING, "Parser error in configuration file (line %d)", number);
            continue;
        }
        words >> entry.community >> entry.port;
        if (!trapsend::isTrapHost(entry.host) || !trapsend::validCommunity(entry.community) ||
            !trapsend::validPort(entry.port)) {
            log(LOG_WARNING, "Invalid trap destination in configuration file (line %d)", number);
            continue;
        }
        notifies.push_back(entry);
    }
}

void request_trap_notification_reread()
{
    if (notifyListInUse)
        notifyListNeedUpdate = 1;
    else
        parse_trap_notification_file();
}
