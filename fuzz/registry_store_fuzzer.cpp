// Feeds arbitrary store files and arbitrary operations to the registry store: the
// file lies in the user's configuration folder, where a crash, a full disk, a sync
// tool or another program may leave any bytes. The input is a two-byte length, that
// many bytes of operations, and the store file's bytes.
//
// Besides the sanitizers it checks what must hold for any input: looking at a store
// never changes it; a damaged store is moved aside whole, one that is only unusable
// stays as it is; a sound one opens, and every change it reports as made
// reads back as made: a value written is read back with its type and bytes, a key
// created opens, a tree deleted is gone.

#include "FuzzRequire.h"
#include "RegistryStoreCheck.h"
#include "SqliteRegistry.h"

#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

using orvelle::fuzz::Require;
using namespace orvelle::store;
using namespace orvelle::store;

std::string ReadBytes(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

// Reads the operations' bytes; past their end every read gives zeros.
class Reader {
public:
    Reader(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}
    [[nodiscard]] bool More() const { return at_ < size_; }
    std::uint8_t Byte() { return at_ < size_ ? data_[at_++] : 0; }
    std::string Text() {
        const std::size_t length = Byte() % 24;
        std::string text;
        for (std::size_t i = 0; i < length && More(); ++i) {
            text += static_cast<char>(Byte());
        }
        return text;
    }

private:
    const std::uint8_t* data_;
    std::size_t size_;
    std::size_t at_ = 0;
};

void RunOperations(SqliteRegistry& store, Reader& ops) {
    HKEY key = kNullKey;
    Require(store.RegCreateKeyExA(HKEY_CURRENT_USER, "Software\\Fuzz", KEY_READ | KEY_WRITE, key) ==
                ERROR_SUCCESS ||
            key == kNullKey);
    if (key == kNullKey) {
        return;
    }
    for (int count = 0; ops.More() && count < 64; ++count) {
        const std::uint8_t op = ops.Byte() % 5;
        const std::string name = ops.Text();
        if (op == 0) {  // a value written reads back
            const std::uint32_t type = ops.Byte() % 8;
            const std::string bytes = ops.Text();
            const auto* data = reinterpret_cast<const unsigned char*>(bytes.data());
            if (store.RegSetValueExA(key, name, type, data,
                                     static_cast<std::uint32_t>(bytes.size())) == ERROR_SUCCESS) {
                std::uint32_t readType = 0;
                std::vector<unsigned char> read(bytes.size() + 1);
                auto readSize = static_cast<std::uint32_t>(read.size());
                Require(store.RegQueryValueExA(key, name, &readType, read.data(), &readSize) ==
                        ERROR_SUCCESS);
                Require(readType == type && readSize == bytes.size() &&
                        std::string(read.begin(), read.begin() + readSize) == bytes);
            }
        } else if (op == 1) {  // a value deleted is gone
            if (store.RegDeleteValueA(key, name) == ERROR_SUCCESS) {
                std::uint32_t size = 0;
                Require(store.RegQueryValueExA(key, name, nullptr, nullptr, &size) ==
                        ERROR_FILE_NOT_FOUND);
            }
        } else if (op == 2) {  // a key created opens
            HKEY created = kNullKey;
            if (store.RegCreateKeyExA(key, name, KEY_READ, created) == ERROR_SUCCESS) {
                store.RegCloseKey(created);
                HKEY opened = kNullKey;
                Require(store.RegOpenKeyExA(key, name, KEY_READ, opened) == ERROR_SUCCESS);
                store.RegCloseKey(opened);
            }
        } else if (op == 3) {  // a tree deleted is gone
            if (!SplitKeyPath(name).empty() && store.RegDeleteTreeA(key, name) == ERROR_SUCCESS) {
                HKEY opened = kNullKey;
                Require(store.RegOpenKeyExA(key, name, KEY_READ, opened) != ERROR_SUCCESS);
            }
        } else {  // every key and value can be listed
            std::string item;
            std::uint32_t type = 0;
            std::vector<unsigned char> data;
            for (std::uint32_t i = 0; i < 256 && store.RegEnumKeyExA(key, i, item) == ERROR_SUCCESS;
                 ++i) {
            }
            for (std::uint32_t i = 0;
                 i < 256 && store.RegEnumValueA(key, i, item, type, data) == ERROR_SUCCESS; ++i) {
            }
        }
    }
    store.RegCloseKey(key);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const std::string folder = [] {
        char pattern[] = "/tmp/registry-store-fuzz-XXXXXX";
        Require(::mkdtemp(pattern) != nullptr);
        return std::string(pattern);
    }();
    if (size < 2) {
        return 0;
    }
    const std::size_t opsSize =
        std::min<std::size_t>(data[0] + (std::size_t{data[1]} << 8U), size - 2);
    Reader ops(data + 2, opsSize);
    const std::string bytes(reinterpret_cast<const char*>(data + 2 + opsSize), size - 2 - opsSize);

    std::filesystem::remove_all(folder);
    std::filesystem::create_directory(folder);
    const std::string path = folder + "/registry.db";
    std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;

    const RegistryStoreStatus status = InspectRegistryStore(path);
    Require(ReadBytes(path) == bytes);
    Require(status.state != RegistryStoreState::Missing);
    if (status.state == RegistryStoreState::Unusable) {
        // Never moved aside, never changed.
        Require(!SetAsideDamagedRegistryStore(path).has_value() && ReadBytes(path) == bytes);
        return 0;
    }
    if (status.state == RegistryStoreState::Damaged) {
        const auto damaged = SetAsideDamagedRegistryStore(path);
        Require(damaged.has_value() && !damaged->copy.empty());
        Require(!std::filesystem::exists(path) && ReadBytes(damaged->copy) == bytes);
        return 0;
    }
    SqliteRegistry store(path);
    if (store.IsOpen()) {
        RunOperations(store, ops);
    }
    return 0;
}
