#include "control_channel.h"

#include <sandbox_path.h>

#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <map>
#include <stdexcept>

namespace qv::sim {

namespace {
using json = nlohmann::json;
constexpr size_t kMaxRequestLine = 1 << 20;

template <typename Fault>
Fault byName(const std::map<std::string, Fault>& names, const std::string& name) {
    auto it = names.find(name);
    if (it == names.end())
        throw std::invalid_argument("unknown fault " + name);
    return it->second;
}

AnswerFault faultByName(const std::string& name) {
    static const std::map<std::string, AnswerFault> names{{"none", AnswerFault::None},
                                                          {"wrongNetFn", AnswerFault::WrongNetFn},
                                                          {"wrongCommand", AnswerFault::WrongCommand},
                                                          {"tooShort", AnswerFault::TooShort},
                                                          {"tooLong", AnswerFault::TooLong}};
    return byName(names, name);
}

IpmbFault ipmbFaultByName(const std::string& name) {
    static const std::map<std::string, IpmbFault> names{{"none", IpmbFault::None},
                                                        {"wrongSequence", IpmbFault::WrongSequence},
                                                        {"badHeaderChecksum", IpmbFault::BadHeaderChecksum},
                                                        {"badDataChecksum", IpmbFault::BadDataChecksum}};
    return byName(names, name);
}

json journalJson(const std::vector<JournalEntry>& entries) {
    json out = json::array();
    for (const auto& e : entries)
        out.push_back({{"timeMs", e.timeMs}, {"code", e.requestCode}, {"request", e.request}, {"answer", e.answer}});
    return out;
}

json watchdogJson(const ControllerSimulator& sim) {
    const WatchdogState s = sim.watchdog();
    json actions = json::array();
    for (const WatchdogAction& a : sim.watchdogActions())
        actions.push_back({{"timeMs", a.timeMs}, {"action", a.action}});
    return {{"ok", true},
            {"use", s.use}, {"actions", s.actions}, {"preTimeoutInterval", s.preTimeoutInterval},
            {"expirationFlags", s.expirationFlags}, {"initialCountdown", s.initialCountdown},
            {"presentCountdown", s.presentCountdown}, {"running", s.running}, {"expired", s.expired},
            {"taken", actions}};
}

void writeLine(int fd, const std::string& line) {
    std::string text = line + "\n";
    size_t done = 0;
    while (done < text.size()) {
        ssize_t n = ::send(fd, text.data() + done, text.size() - done, MSG_NOSIGNAL);
        if (n <= 0 && errno != EINTR)
            return;
        if (n > 0)
            done += static_cast<size_t>(n);
    }
}
} // namespace

json handleControlRequest(SimulatedDevices devices, const json& rq) {
    try {
        ControllerSimulator& sim = devices.controller;
        json scsiAnswer;
        if (devices.scsi.handleControl(rq, scsiAnswer))
            return scsiAnswer;
        std::string op = rq.at("op").get<std::string>();
        auto count = [&](const char* key) { return rq.value(key, 1); };
        if (op == "loadScenario") {
            const json scenario = rq.contains("file") ? readScenarioFile(rq["file"].get<std::string>())
                                                      : rq.at("scenario");
            sim.loadScenario(scenario);
            devices.scsi.loadScenario(scenario);
        } else if (op == "setClock") {
            sim.setClock(rq.at("seconds").get<uint32_t>());
        } else if (op == "advanceClock") {
            sim.advanceClock(rq.at("ms").get<uint32_t>());
        } else if (op == "failOpens") {
            sim.failNextOpens(count("count"), rq.at("errno").get<int>());
        } else if (op == "failExchanges") {
            sim.failNextExchanges(count("count"), rq.at("retcode").get<uint16_t>());
        } else if (op == "failIoctls") {
            sim.failNextIoctls(count("count"), rq.at("errno").get<int>());
        } else if (op == "completionCode") {
            sim.injectCompletionCode(rq.at("netfn").get<uint8_t>(), rq.at("cmd").get<uint8_t>(),
                                     rq.at("code").get<uint8_t>(), count("times"));
        } else if (op == "answerFault") {
            sim.injectAnswerFault(faultByName(rq.at("fault").get<std::string>()), count("times"));
        } else if (op == "silenceSatellite") {
            sim.silenceSatellite(rq.at("address").get<uint8_t>(), rq.value("times", -1));
        } else if (op == "ipmbFault") {
            sim.injectIpmbFault(ipmbFaultByName(rq.at("fault").get<std::string>()), count("times"));
        } else if (op == "satelliteCompletionCode") {
            sim.injectSatelliteCompletionCode(rq.at("address").get<uint8_t>(), rq.at("netfn").get<uint8_t>(),
                                              rq.at("cmd").get<uint8_t>(), rq.at("code").get<uint8_t>(),
                                              count("times"));
        } else if (op == "clearFaults") {
            sim.clearFaults();
        } else if (op == "journal") {
            return {{"ok", true}, {"journal", journalJson(sim.journal())}};
        } else if (op == "watchdog") {
            return watchdogJson(sim);
        } else if (op == "setWatchdogFlags") {
            sim.setWatchdogFlags(rq.at("flags").get<uint8_t>());
        } else if (op == "clearJournal") {
            sim.clearJournal();
        } else {
            return {{"ok", false}, {"error", "unknown op " + op}};
        }
        return {{"ok", true}};
    } catch (const std::exception& e) {
        return {{"ok", false}, {"error", e.what()}};
    }
}

void serveControlChannel(SimulatedDevices devices, const std::string& socketPath, int stopFd,
                         const std::function<void()>& listening) {
    sockaddr_un address{};
    if (!qv::makeUnixAddress(socketPath, address))
        throw std::runtime_error("control socket path too long");
    ::unlink(socketPath.c_str());
    int listener = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (listener < 0 || ::bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        ::listen(listener, 16) != 0) {
        if (listener >= 0)
            ::close(listener);
        throw std::runtime_error("cannot serve " + socketPath + ": " + strerror(errno));
    }
    listening();
    std::map<int, std::string> clients;
    for (;;) {
        std::vector<pollfd> fds{{stopFd, POLLIN, 0}, {listener, POLLIN, 0}};
        for (const auto& [fd, buffer] : clients)
            fds.push_back({fd, POLLIN, 0});
        if (::poll(fds.data(), fds.size(), -1) < 0) {
            if (errno == EINTR)
                continue;
            break;
        }
        if (fds[0].revents)
            break;
        if (fds[1].revents) {
            int fd = ::accept4(listener, nullptr, nullptr, SOCK_CLOEXEC);
            if (fd >= 0)
                clients[fd];
        }
        for (size_t i = 2; i < fds.size(); ++i) {
            if (!fds[i].revents)
                continue;
            int fd = fds[i].fd;
            char chunk[4096];
            ssize_t n = ::recv(fd, chunk, sizeof chunk, 0);
            std::string& buffer = clients[fd];
            if (n > 0)
                buffer.append(chunk, static_cast<size_t>(n));
            size_t eol;
            while ((eol = buffer.find('\n')) != std::string::npos) {
                std::string line = buffer.substr(0, eol);
                buffer.erase(0, eol + 1);
                json answer;
                try {
                    answer = handleControlRequest(devices, json::parse(line));
                } catch (const std::exception& e) {
                    answer = {{"ok", false}, {"error", e.what()}};
                }
                writeLine(fd, answer.dump());
            }
            if (n <= 0 || buffer.size() > kMaxRequestLine) {
                ::close(fd);
                clients.erase(fd);
            }
        }
    }
    for (const auto& [fd, buffer] : clients)
        ::close(fd);
    ::close(listener);
    ::unlink(socketPath.c_str());
}

} // namespace qv::sim
