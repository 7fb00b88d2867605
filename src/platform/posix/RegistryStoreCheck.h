#pragma once

#include <optional>
#include <string>

namespace orvelle::platform::posix {

// Why the registry store at `path` cannot be used: it cannot be opened, is no SQLite
// database, or fails SQLite's integrity check. nullopt for a sound store and for one
// that does not exist yet. Reads only; changes nothing.
std::optional<std::string> CheckRegistryStore(const std::string& path);

// A damaged store that was moved aside.
struct DamagedRegistryStore {
    std::string path;    // where the store was
    std::string copy;    // where it is now: "<path>.damaged-<YYYYMMDD-HHMMSS>"
    std::string reason;  // what CheckRegistryStore found
};

// Checks the store at `path`; a damaged one is renamed to its copy's name, with its
// "-wal" and "-shm" files beside it, so that a new store can start in its place. Nothing
// is ever deleted. nullopt when the store is sound or missing; a store that cannot be
// moved is reported with an empty copy.
std::optional<DamagedRegistryStore> SetAsideDamagedRegistryStore(const std::string& path);

// The one text that tells the user about it.
std::string DamagedRegistryStoreMessage(const DamagedRegistryStore& damaged);

}  // namespace orvelle::platform::posix
