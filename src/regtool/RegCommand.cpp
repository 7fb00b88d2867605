#include "RegCommand.h"

#include "AtomicFile.h"

#include <sys/stat.h>
#include <algorithm>
#include <cctype>
#include <cstring>
#include <iomanip>
#include <istream>
#include <optional>
#include <ostream>
#include <sstream>

namespace orvelle::regtool {

using namespace os;
using namespace store;

namespace {

constexpr const char* kNotFound =
    "ERROR: The system was unable to find the specified registry key or value.";
constexpr const char* kDone = "The operation completed successfully.";

std::string Upper(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    return text;
}

struct Options {
    std::vector<std::string> positional;
    std::optional<std::string> valueName;  // /v NAME, or "" for /ve
    bool allValues = false;                // /va
    std::optional<std::string> type;       // /t
    std::optional<std::string> data;       // /d
    std::optional<std::string> separator;  // /se
    bool force = false;                    // /f (and /y for export)
    bool recursive = false;                // /s
    bool help = false;
};

bool IsSwitch(const std::string& argument, const char* name) {
    return Upper(argument) == name ||
           (argument.size() > 1 && argument[0] == '-' && Upper("/" + argument.substr(1)) == name);
}

// Parses the switches; false (with a message) on a syntax error.
bool ParseOptions(const std::vector<std::string>& arguments, Options& options, std::string& error) {
    for (std::size_t i = 1; i < arguments.size(); ++i) {
        const std::string& argument = arguments[i];
        auto takeValue = [&](std::optional<std::string>& target) {
            if (i + 1 >= arguments.size() || target) {
                return false;
            }
            target = arguments[++i];
            return true;
        };
        if (IsSwitch(argument, "/?") || IsSwitch(argument, "/H")) {
            options.help = true;
        } else if (IsSwitch(argument, "/V")) {
            if (!takeValue(options.valueName)) {
                error = "ERROR: /v needs a value name.";
                return false;
            }
        } else if (IsSwitch(argument, "/VE")) {
            if (options.valueName) {
                error = "ERROR: Invalid syntax.";
                return false;
            }
            options.valueName = std::string{};
        } else if (IsSwitch(argument, "/VA")) {
            options.allValues = true;
        } else if (IsSwitch(argument, "/T")) {
            if (!takeValue(options.type)) {
                error = "ERROR: /t needs a type.";
                return false;
            }
        } else if (IsSwitch(argument, "/D")) {
            if (!takeValue(options.data)) {
                error = "ERROR: /d needs data.";
                return false;
            }
        } else if (IsSwitch(argument, "/SE")) {
            if (!takeValue(options.separator)) {
                error = "ERROR: /se needs a separator.";
                return false;
            }
        } else if (IsSwitch(argument, "/F") || IsSwitch(argument, "/Y")) {
            options.force = true;
        } else if (IsSwitch(argument, "/S")) {
            options.recursive = true;
        } else if (!argument.empty() && argument[0] == '/' && argument.size() <= 4 &&
                   argument.find('\\') == std::string::npos) {
            error = "ERROR: Invalid syntax: unknown switch " + argument + ".";
            return false;
        } else {
            options.positional.push_back(argument);
        }
    }
    return true;
}

std::string TypeName(std::uint32_t type) {
    switch (type) {
    case REG_NONE:
        return "REG_NONE";
    case REG_SZ:
        return "REG_SZ";
    case REG_EXPAND_SZ:
        return "REG_EXPAND_SZ";
    case REG_BINARY:
        return "REG_BINARY";
    case REG_DWORD:
        return "REG_DWORD";
    case REG_MULTI_SZ:
        return "REG_MULTI_SZ";
    default:
        return "REG_" + std::to_string(type);
    }
}

std::optional<std::uint32_t> ParseType(const std::string& name) {
    const std::string upper = Upper(name);
    for (const std::uint32_t type :
         {REG_NONE, REG_SZ, REG_EXPAND_SZ, REG_BINARY, REG_DWORD, REG_MULTI_SZ}) {
        if (TypeName(type) == upper) {
            return type;
        }
    }
    return std::nullopt;
}

std::string StringData(const std::vector<unsigned char>& data) {
    std::string text(data.begin(), data.end());
    const auto zero = text.find('\0');
    return zero == std::string::npos ? text : text.substr(0, zero);
}

std::string HexBytes(const std::vector<unsigned char>& data, const char* separator, bool upper) {
    std::ostringstream text;
    for (std::size_t i = 0; i < data.size(); ++i) {
        if (i != 0) {
            text << separator;
        }
        text << std::hex << std::setw(2) << std::setfill('0')
             << (upper ? std::uppercase : std::nouppercase) << static_cast<unsigned>(data[i]);
    }
    return text.str();
}

std::uint32_t DwordData(const std::vector<unsigned char>& data) {
    std::uint32_t number = 0;
    std::memcpy(&number, data.data(), std::min<std::size_t>(data.size(), sizeof number));
    return number;
}

// The value as the query listing shows it.
std::string DisplayData(std::uint32_t type, const std::vector<unsigned char>& data) {
    switch (type) {
    case REG_SZ:
    case REG_EXPAND_SZ:
        return StringData(data);
    case REG_DWORD: {
        std::ostringstream text;
        text << "0x" << std::hex << DwordData(data);
        return text.str();
    }
    case REG_MULTI_SZ: {
        std::string text;
        std::string current;
        bool first = true;
        for (std::size_t i = 0; i < data.size(); ++i) {
            if (data[i] == 0) {
                if (current.empty()) {
                    break;
                }
                text += (first ? "" : "\\0") + current;
                first = false;
                current.clear();
            } else {
                current += static_cast<char>(data[i]);
            }
        }
        return text;
    }
    default:
        return HexBytes(data, "", true);
    }
}

// Builds the bytes for `add`; false with a message when the data does not fit the type.
bool EncodeData(std::uint32_t type, const std::string& text, const std::string& separator,
                std::vector<unsigned char>& data, std::string& error) {
    data.clear();
    switch (type) {
    case REG_SZ:
    case REG_EXPAND_SZ:
        data.assign(text.begin(), text.end());
        data.push_back(0);
        return true;
    case REG_DWORD: {
        if (text.empty()) {
            data.assign(4, 0);
            return true;
        }
        const bool hex = text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X');
        const std::string digits = hex ? text.substr(2) : text;
        if (digits.empty() || digits.size() > (hex ? 8U : 10U) ||
            !std::all_of(digits.begin(), digits.end(), [hex](unsigned char c) {
                return hex ? std::isxdigit(c) != 0 : std::isdigit(c) != 0;
            })) {
            error = "ERROR: Invalid DWORD data \"" + text + "\".";
            return false;
        }
        const unsigned long long number = std::stoull(digits, nullptr, hex ? 16 : 10);
        if (number > 0xFFFFFFFFull) {
            error = "ERROR: Invalid DWORD data \"" + text + "\" (more than 32 bits).";
            return false;
        }
        const auto value = static_cast<std::uint32_t>(number);
        data.resize(4);
        std::memcpy(data.data(), &value, 4);
        return true;
    }
    case REG_MULTI_SZ: {
        std::string::size_type start = 0;
        while (!text.empty()) {
            const auto end = text.find(separator, start);
            const std::string part =
                text.substr(start, end == std::string::npos ? std::string::npos : end - start);
            data.insert(data.end(), part.begin(), part.end());
            data.push_back(0);
            if (end == std::string::npos) {
                break;
            }
            start = end + separator.size();
        }
        data.push_back(0);
        return true;
    }
    default: {
        if (text.size() % 2 != 0 || !std::all_of(text.begin(), text.end(), [](unsigned char c) {
                return std::isxdigit(c) != 0;
            })) {
            error = "ERROR: Binary data must be an even number of hexadecimal digits.";
            return false;
        }
        for (std::size_t i = 0; i < text.size(); i += 2) {
            data.push_back(static_cast<unsigned char>(std::stoul(text.substr(i, 2), nullptr, 16)));
        }
        return true;
    }
    }
}

bool Confirm(const std::string& question, std::istream& in, std::ostream& out) {
    out << question << " (Yes/No)? " << std::flush;
    std::string answer;
    if (!std::getline(in, answer)) {
        out << "\n";
        return false;
    }
    const std::string upper = Upper(answer);
    return upper == "Y" || upper == "YES";
}

class KeyLister {
public:
    KeyLister(IRegistry& registry, std::ostream& out) : registry_(registry), out_(out) {}

    // Lists a key's values (all, or the one named), then its subkeys; true when
    // something was found.
    bool List(HKEY key, const std::string& displayName, const std::optional<std::string>& only,
              bool recursive) {
        bool found = false;
        bool headerWritten = false;
        auto header = [&] {
            if (!headerWritten) {
                out_ << "\n" << displayName << "\n";
                headerWritten = true;
            }
        };
        std::string name;
        std::uint32_t type = 0;
        std::vector<unsigned char> data;
        for (std::uint32_t i = 0;
             registry_.RegEnumValueA(key, i, name, type, data) == ERROR_SUCCESS; ++i) {
            if (only && Upper(*only) != Upper(name)) {
                continue;
            }
            header();
            out_ << "    " << (name.empty() ? "(Default)" : name) << "    " << TypeName(type)
                 << "    " << DisplayData(type, data) << "\n";
            found = true;
        }
        if (!only && !headerWritten) {
            header();
            found = true;
        }
        std::vector<std::string> subKeys;
        for (std::uint32_t i = 0; registry_.RegEnumKeyExA(key, i, name) == ERROR_SUCCESS; ++i) {
            subKeys.push_back(name);
        }
        if (!recursive) {
            if (!only) {
                if (!subKeys.empty()) {
                    out_ << "\n";
                }
                for (const auto& sub : subKeys) {
                    out_ << displayName << "\\" << sub << "\n";
                }
            }
            return found;
        }
        for (const auto& sub : subKeys) {
            HKEY child = kNullKey;
            if (registry_.RegOpenKeyExA(key, sub, KEY_READ, child) == ERROR_SUCCESS) {
                const RegistryKey open(registry_, child);
                found = List(open.get(), displayName + "\\" + sub, only, true) || found;
            }
        }
        return found;
    }

private:
    IRegistry& registry_;
    std::ostream& out_;
};

std::string Escape(const std::string& text) {
    std::string escaped;
    for (const char c : text) {
        if (c == '\\' || c == '"') {
            escaped += '\\';
        }
        escaped += c;
    }
    return escaped;
}

void ExportKey(IRegistry& registry, HKEY key, const std::string& displayName, std::ostream& file) {
    file << "[" << displayName << "]\r\n";
    std::string name;
    std::uint32_t type = 0;
    std::vector<unsigned char> data;
    for (std::uint32_t i = 0; registry.RegEnumValueA(key, i, name, type, data) == ERROR_SUCCESS;
         ++i) {
        file << (name.empty() ? std::string("@") : "\"" + Escape(name) + "\"") << "=";
        if (type == REG_SZ) {
            file << "\"" << Escape(StringData(data)) << "\"";
        } else if (type == REG_DWORD && data.size() == 4) {
            std::ostringstream number;
            number << std::hex << std::setw(8) << std::setfill('0') << DwordData(data);
            file << "dword:" << number.str();
        } else if (type == REG_BINARY) {
            file << "hex:" << HexBytes(data, ",", false);
        } else {
            file << "hex(" << std::hex << type << std::dec << "):" << HexBytes(data, ",", false);
        }
        file << "\r\n";
    }
    file << "\r\n";
    std::vector<std::string> subKeys;
    for (std::uint32_t i = 0; registry.RegEnumKeyExA(key, i, name) == ERROR_SUCCESS; ++i) {
        subKeys.push_back(name);
    }
    for (const auto& sub : subKeys) {
        HKEY child = kNullKey;
        if (registry.RegOpenKeyExA(key, sub, KEY_READ, child) == ERROR_SUCCESS) {
            const RegistryKey open(registry, child);
            ExportKey(registry, open.get(), displayName + "\\" + sub, file);
        }
    }
}

void Usage(std::ostream& out) {
    out << "orvelle-reg: reads and edits Orvelle's registry store.\n\n"
           "  orvelle-reg query KEY [/v NAME | /ve] [/s]\n"
           "  orvelle-reg add KEY [/v NAME | /ve] [/t TYPE] [/d DATA] [/se SEPARATOR] [/f]\n"
           "  orvelle-reg delete KEY [/v NAME | /ve | /va] [/f]\n"
           "  orvelle-reg export KEY FILE [/y]\n\n"
           "KEY starts with HKCU, HKLM, HKCR or their long names, e.g.\n"
           "  \"HKCU\\Software\\Microsoft\\Internet Explorer\\Main\"\n"
           "TYPE is REG_SZ (default), REG_DWORD, REG_EXPAND_SZ, REG_MULTI_SZ, REG_BINARY or "
           "REG_NONE.\n"
           "/f and /y answer every question with Yes; otherwise questions are read from\n"
           "standard input. The store is $XDG_CONFIG_HOME/orvelle/registry.db.\n"
           "Exit code: 0 on success, 1 on failure.\n";
}

int Fail(std::ostream& err, const std::string& message) {
    err << message << "\n";
    return 1;
}

}  // namespace

std::string HiveName(HKEY hive) {
    switch (hive) {
    case HKEY_CLASSES_ROOT:
        return "HKEY_CLASSES_ROOT";
    case HKEY_CURRENT_USER:
        return "HKEY_CURRENT_USER";
    case HKEY_LOCAL_MACHINE:
        return "HKEY_LOCAL_MACHINE";
    default:
        return "?";
    }
}

bool ParseKeyName(const std::string& keyName, HKEY& hive, std::string& path) {
    const auto slash = keyName.find('\\');
    const std::string root = Upper(keyName.substr(0, slash));
    path = slash == std::string::npos ? std::string{} : keyName.substr(slash + 1);
    if (root == "HKCU" || root == "HKEY_CURRENT_USER") {
        hive = HKEY_CURRENT_USER;
    } else if (root == "HKLM" || root == "HKEY_LOCAL_MACHINE") {
        hive = HKEY_LOCAL_MACHINE;
    } else if (root == "HKCR" || root == "HKEY_CLASSES_ROOT") {
        hive = HKEY_CLASSES_ROOT;
    } else {
        return false;
    }
    while (!path.empty() && path.back() == '\\') {
        path.pop_back();
    }
    return true;
}

namespace {

// What a verb works on once the command line has been read and the key named.
struct Request {
    IRegistry& registry;
    Options& options;
    HKEY hive;
    std::string path;
    std::string displayName;
    std::istream& in;
    std::ostream& out;
    std::ostream& err;
};

int Done(std::ostream& out) {
    out << kDone << "\n";
    return 0;
}

// One verb of orvelle-reg: how many positional arguments it takes and what it does.
class RegVerb {
public:
    RegVerb() = default;
    RegVerb(const RegVerb&) = delete;
    RegVerb& operator=(const RegVerb&) = delete;
    RegVerb(RegVerb&&) = delete;
    RegVerb& operator=(RegVerb&&) = delete;
    virtual ~RegVerb() = default;

    [[nodiscard]] virtual std::size_t Positionals() const { return 1; }
    virtual int Run(Request& request) const = 0;
};

class QueryVerb final : public RegVerb {
public:
    int Run(Request& request) const override {
        HKEY key = kNullKey;
        if (request.registry.RegOpenKeyExA(request.hive, request.path, KEY_READ, key) !=
            ERROR_SUCCESS) {
            return Fail(request.err, kNotFound);
        }
        const RegistryKey open(request.registry, key);
        KeyLister lister(request.registry, request.out);
        if (!lister.List(open.get(), request.displayName, request.options.valueName,
                         request.options.recursive)) {
            return Fail(request.err, kNotFound);
        }
        request.out << "\n";
        return 0;
    }
};

class AddVerb final : public RegVerb {
public:
    int Run(Request& request) const override {
        Options& options = request.options;
        std::uint32_t type = REG_SZ;
        if (options.type) {
            const auto parsed = ParseType(*options.type);
            if (!parsed) {
                return Fail(request.err, "ERROR: Invalid type \"" + *options.type + "\".");
            }
            type = *parsed;
        }
        std::vector<unsigned char> data;
        std::string error;
        if (!EncodeData(type, options.data.value_or(""), options.separator.value_or("\\0"), data,
                        error)) {
            return Fail(request.err, error);
        }
        HKEY key = kNullKey;
        if (request.registry.RegCreateKeyExA(request.hive, request.path, KEY_SIX_SPECIFIC_RIGHTS,
                                             key) != ERROR_SUCCESS) {
            return Fail(request.err, "ERROR: The key could not be created.");
        }
        const RegistryKey open(request.registry, key);
        if (!options.valueName) {
            if (!options.data && !options.type) {
                return Done(request.out);
            }
            options.valueName = std::string{};  // data without /v goes to the default value
        }
        if (!MayOverwrite(request, open.get())) {
            return Fail(request.err, "The operation was cancelled.");
        }
        if (request.registry.RegSetValueExA(open.get(), *options.valueName, type, data.data(),
                                            static_cast<std::uint32_t>(data.size())) !=
            ERROR_SUCCESS) {
            return Fail(request.err, "ERROR: The value could not be written.");
        }
        return Done(request.out);
    }

private:
    // True when the value is new, /f was given, or the user agrees to replace it.
    static bool MayOverwrite(Request& request, HKEY key) {
        const Options& options = request.options;
        std::uint32_t size = 0;
        return options.force ||
               request.registry.RegQueryValueExA(key, *options.valueName, nullptr, nullptr,
                                                 &size) != ERROR_SUCCESS ||
               Confirm("Value " +
                           (options.valueName->empty() ? std::string("(Default)")
                                                       : *options.valueName) +
                           " exists, overwrite",
                       request.in, request.out);
    }
};

class DeleteVerb final : public RegVerb {
public:
    int Run(Request& request) const override {
        if (!request.options.valueName && !request.options.allValues) {
            return DeleteKey(request);
        }
        return DeleteValues(request);
    }

private:
    static int DeleteKey(Request& request) {
        if (request.path.empty()) {
            return Fail(request.err, "ERROR: A whole hive cannot be deleted.");
        }
        HKEY probe = kNullKey;
        if (request.registry.RegOpenKeyExA(request.hive, request.path, KEY_READ, probe) !=
            ERROR_SUCCESS) {
            return Fail(request.err, kNotFound);
        }
        request.registry.RegCloseKey(probe);
        if (!request.options.force &&
            !Confirm("Permanently delete the registry key " + request.displayName, request.in,
                     request.out)) {
            return Fail(request.err, "The operation was cancelled.");
        }
        if (request.registry.RegDeleteTreeA(request.hive, request.path) != ERROR_SUCCESS) {
            return Fail(request.err, "ERROR: The key could not be deleted.");
        }
        return Done(request.out);
    }

    static int DeleteValues(Request& request) {
        const Options& options = request.options;
        HKEY key = kNullKey;
        if (request.registry.RegOpenKeyExA(request.hive, request.path, KEY_SIX_SPECIFIC_RIGHTS,
                                           key) != ERROR_SUCCESS) {
            return Fail(request.err, kNotFound);
        }
        const RegistryKey open(request.registry, key);
        std::vector<std::string> names;
        if (options.allValues) {
            names = ValueNames(request.registry, open.get());
        } else {
            std::uint32_t size = 0;
            if (request.registry.RegQueryValueExA(open.get(), *options.valueName, nullptr, nullptr,
                                                  &size) != ERROR_SUCCESS) {
                return Fail(request.err, kNotFound);
            }
            names.push_back(*options.valueName);
        }
        const std::string question =
            options.allValues
                ? "Delete all values under the registry key " + request.displayName
                : "Delete the registry value " +
                      (names.front().empty() ? std::string("(Default)") : names.front());
        if (!options.force && !Confirm(question, request.in, request.out)) {
            return Fail(request.err, "The operation was cancelled.");
        }
        for (const auto& name : names) {
            if (request.registry.RegDeleteValueA(open.get(), name) != ERROR_SUCCESS) {
                return Fail(request.err, "ERROR: The value could not be deleted.");
            }
        }
        return Done(request.out);
    }

    static std::vector<std::string> ValueNames(IRegistry& registry, HKEY key) {
        std::vector<std::string> names;
        std::string name;
        std::uint32_t type = 0;
        std::vector<unsigned char> data;
        for (std::uint32_t i = 0; registry.RegEnumValueA(key, i, name, type, data) == ERROR_SUCCESS;
             ++i) {
            names.push_back(name);
        }
        return names;
    }
};

class ExportVerb final : public RegVerb {
public:
    [[nodiscard]] std::size_t Positionals() const override { return 2; }

    int Run(Request& request) const override {
        HKEY key = kNullKey;
        if (request.registry.RegOpenKeyExA(request.hive, request.path, KEY_READ, key) !=
            ERROR_SUCCESS) {
            return Fail(request.err, kNotFound);
        }
        const RegistryKey open(request.registry, key);
        const std::string& fileName = request.options.positional[1];
        struct stat info {};
        if (::stat(fileName.c_str(), &info) == 0 && !request.options.force &&
            !Confirm("File " + fileName + " already exists. Overwrite", request.in, request.out)) {
            return Fail(request.err, "The operation was cancelled.");
        }
        std::ostringstream text;
        text << "Windows Registry Editor Version 5.00\r\n\r\n";
        ExportKey(request.registry, open.get(), request.displayName, text);
        if (os::posix::WriteFileAtomically(fileName, text.str(), 0644) != 0) {
            return Fail(request.err, "ERROR: Cannot write the file " + fileName + ".");
        }
        return Done(request.out);
    }
};

// The verb named by the first argument (upper case), or nullptr for an unknown one.
const RegVerb* FindVerb(const std::string& command) {
    static const QueryVerb query;
    static const AddVerb add;
    static const DeleteVerb remove;
    static const ExportVerb exportVerb;
    static const std::pair<const char*, const RegVerb*> verbs[] = {
        {"QUERY", &query}, {"ADD", &add}, {"DELETE", &remove}, {"EXPORT", &exportVerb}};
    for (const auto& [name, verb] : verbs) {
        if (command == name) {
            return verb;
        }
    }
    return nullptr;
}

}  // namespace

int RunRegCommand(const std::vector<std::string>& arguments, IRegistry& registry, std::istream& in,
                  std::ostream& out, std::ostream& err) {
    if (arguments.empty()) {
        Usage(err);
        return 1;
    }
    const std::string command = Upper(arguments[0]);
    if (command == "/?" || command == "-H" || command == "--HELP" || command == "HELP") {
        Usage(out);
        return 0;
    }
    Options options;
    std::string error;
    if (!ParseOptions(arguments, options, error)) {
        return Fail(err, error + "\nType \"orvelle-reg /?\" for usage.");
    }
    if (options.help) {
        Usage(out);
        return 0;
    }
    // An unknown verb is reported only after the rest of the line has been checked.
    const RegVerb* verb = FindVerb(command);
    if (options.positional.size() != (verb != nullptr ? verb->Positionals() : 1)) {
        return Fail(err, "ERROR: Invalid syntax.\nType \"orvelle-reg /?\" for usage.");
    }
    HKEY hive = kNullKey;
    std::string path;
    if (!ParseKeyName(options.positional[0], hive, path)) {
        return Fail(err, "ERROR: Invalid key name \"" + options.positional[0] +
                             "\": it must start with HKCU, HKLM or HKCR.");
    }
    if (verb == nullptr) {
        return Fail(err, "ERROR: Invalid syntax: unknown operation \"" + arguments[0] +
                             "\".\nType \"orvelle-reg /?\" for usage.");
    }
    const std::string displayName = HiveName(hive) + (path.empty() ? "" : "\\" + path);
    Request request{registry, options, hive, path, displayName, in, out, err};
    return verb->Run(request);
}

}  // namespace orvelle::regtool
