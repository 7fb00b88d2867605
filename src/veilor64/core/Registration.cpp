#include "Registration.h"

#include "veilor64/veilor64.h"

#include <initializer_list>
#include <utility>

namespace orvelle::veilor64 {
namespace {

using namespace store;

std::string ClassKey() {
    return std::string("CLSID\\") + VEILOR64_CLSID_VEILOR;
}
std::string TypeLibKey() {
    return std::string("TypeLib\\") + VEILOR64_LIBID;
}

// Creates `path` under the classes root and sets the given text values on it
// ("" is the key's default value).
LSTATUS WriteKey(IRegistry& registry, const std::string& path,
                 std::initializer_list<std::pair<const char*, std::string>> values) {
    HKEY handle = kNullKey;
    LSTATUS status = registry.RegCreateKeyExA(HKEY_CLASSES_ROOT, path, KEY_WRITE, handle);
    if (status != ERROR_SUCCESS) {
        return status;
    }
    const RegistryKey key(registry, handle);
    for (const auto& [name, text] : values) {
        // Text values are stored with their terminating zero, as the platform does.
        status = registry.RegSetValueExA(key.get(), name, REG_SZ,
                                         reinterpret_cast<const unsigned char*>(text.c_str()),
                                         static_cast<std::uint32_t>(text.size() + 1));
        if (status != ERROR_SUCCESS) {
            return status;
        }
    }
    return ERROR_SUCCESS;
}

LSTATUS DeleteTree(IRegistry& registry, const std::string& path) {
    const LSTATUS status = registry.RegDeleteTreeA(HKEY_CLASSES_ROOT, path);
    return status == ERROR_FILE_NOT_FOUND ? ERROR_SUCCESS : status;
}

}  // namespace

LSTATUS Registration::Register(IRegistry& registry, const std::string& libraryPath) {
    const auto slash = libraryPath.rfind('/');
    const std::string folder = slash == std::string::npos ? std::string(".")
                               : slash == 0               ? std::string("/")
                                                          : libraryPath.substr(0, slash);
    const std::string classKey = ClassKey();
    const std::string typeLibKey = TypeLibKey() + "\\1.0";
    LSTATUS status = WriteKey(registry, kProgId, {{"", kDescription}});
    const auto then = [&](const std::string& path,
                          std::initializer_list<std::pair<const char*, std::string>> values) {
        if (status == ERROR_SUCCESS) {
            status = WriteKey(registry, path, values);
        }
    };
    then(std::string(kProgId) + "\\CLSID", {{"", VEILOR64_CLSID_VEILOR}});
    then(classKey, {{"", kDescription}});
    then(classKey + "\\ProgID", {{"", kProgId}});
    then(classKey + "\\InprocServer32", {{"", libraryPath}, {"ThreadingModel", "Apartment"}});
    then(classKey + "\\TypeLib", {{"", VEILOR64_LIBID}});
    then(classKey + "\\Version", {{"", "1.0"}});
    then(typeLibKey, {{"", "Veilor64"}});
    then(typeLibKey + "\\0\\linux64", {{"", libraryPath}});
    then(typeLibKey + "\\HELPDIR", {{"", folder}});
    if (status != ERROR_SUCCESS) {
        // Half a registration would send hosts to a class that cannot load.
        static_cast<void>(Unregister(registry));
    }
    return status;
}

LSTATUS Registration::Unregister(IRegistry& registry) {
    LSTATUS result = ERROR_SUCCESS;
    for (const std::string& path : {std::string(kProgId), ClassKey(), TypeLibKey()}) {
        const LSTATUS status = DeleteTree(registry, path);
        if (result == ERROR_SUCCESS) {
            result = status;
        }
    }
    return result;
}

}  // namespace orvelle::veilor64
