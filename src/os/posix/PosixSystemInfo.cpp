#include "PosixSystemInfo.h"

#include <arpa/inet.h>
#include <ifaddrs.h>
#include <net/if.h>
#include <netinet/in.h>
#include <sys/utsname.h>
#include <unistd.h>

#include <array>
#include <cstring>
#include <fstream>
#include <map>
#include <memory>
#include <sstream>

namespace orvelle::os::posix {
namespace {

// A value of os-release: shell-style quoting without expansion.
std::string UnquoteValue(const std::string& raw) {
    std::string value;
    char quote = 0;
    for (std::size_t i = 0; i < raw.size(); ++i) {
        const char c = raw[i];
        if (quote == 0 && (c == '"' || c == '\'')) {
            quote = c;
        } else if (quote != 0 && c == quote) {
            quote = 0;
        } else if (quote != '\'' && c == '\\' && i + 1 < raw.size()) {
            value += raw[++i];
        } else if (quote == 0 && (c == '#' || c == ' ' || c == '\t')) {
            break;  // an unquoted value ends at blanks and comments
        } else {
            value += c;
        }
    }
    return value;
}

struct IfAddrsDeleter {
    void operator()(ifaddrs* list) const noexcept { ::freeifaddrs(list); }
};

}  // namespace

std::string OsReleaseName(const std::string& content) {
    std::map<std::string, std::string> fields;
    std::size_t start = 0;
    while (start < content.size()) {
        std::size_t end = content.find('\n', start);
        if (end == std::string::npos) {
            end = content.size();
        }
        std::string line = content.substr(start, end - start);
        start = end + 1;
        const auto first = line.find_first_not_of(" \t");
        if (first == std::string::npos || line[first] == '#') {
            continue;
        }
        const auto equals = line.find('=', first);
        if (equals == std::string::npos) {
            continue;
        }
        fields[line.substr(first, equals - first)] = UnquoteValue(line.substr(equals + 1));
    }
    if (!fields["PRETTY_NAME"].empty()) {
        return fields["PRETTY_NAME"];
    }
    std::string name = fields["NAME"];
    if (!name.empty() && !fields["VERSION"].empty()) {
        name += ' ' + fields["VERSION"];
    }
    return name;
}

std::string ChooseLocalIp(const std::vector<InterfaceAddress>& addresses) {
    for (const auto& entry : addresses) {
        if (entry.up && !entry.loopback) {
            return entry.address;
        }
    }
    for (const auto& entry : addresses) {
        if (entry.loopback) {
            return entry.address;
        }
    }
    return "0.0.0.0";
}

PosixSystemInfo::PosixSystemInfo(std::vector<std::string> osReleaseFiles)
    : osReleaseFiles_(std::move(osReleaseFiles)) {
}

std::string PosixSystemInfo::GetComputerNameA() {
    std::array<char, 256> buffer{};
    if (::gethostname(buffer.data(), buffer.size() - 1) != 0) {
        return {};
    }
    return buffer.data();
}

std::string PosixSystemInfo::OsName() {
    for (const auto& path : osReleaseFiles_) {
        // /etc/os-release is normally a link into /usr/lib: follow it.
        std::ifstream file(path);
        if (file) {
            std::ostringstream content;
            content << file.rdbuf();
            std::string name = OsReleaseName(content.str());
            if (!name.empty()) {
                return name;
            }
        }
    }
    utsname system{};
    if (::uname(&system) == 0) {
        return std::string(system.sysname) + ' ' + system.release;
    }
    return "Linux";
}

std::string PosixSystemInfo::LocalIp() {
    ifaddrs* raw = nullptr;
    if (::getifaddrs(&raw) != 0) {
        return ChooseLocalIp({});
    }
    const std::unique_ptr<ifaddrs, IfAddrsDeleter> list(raw);
    std::vector<InterfaceAddress> addresses;
    for (const ifaddrs* entry = list.get(); entry != nullptr; entry = entry->ifa_next) {
        if (entry->ifa_addr == nullptr || entry->ifa_addr->sa_family != AF_INET) {
            continue;
        }
        sockaddr_in address{};
        std::memcpy(&address, entry->ifa_addr, sizeof address);
        std::array<char, INET_ADDRSTRLEN> text{};
        if (::inet_ntop(AF_INET, &address.sin_addr, text.data(), text.size()) == nullptr) {
            continue;
        }
        addresses.push_back({text.data(), (entry->ifa_flags & IFF_UP) != 0,
                             (entry->ifa_flags & IFF_LOOPBACK) != 0});
    }
    return ChooseLocalIp(addresses);
}

}  // namespace orvelle::os::posix
