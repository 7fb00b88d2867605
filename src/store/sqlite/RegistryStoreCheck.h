#pragma once

#include <optional>
#include <string>

namespace orvelle::store {

// What the registry store at a path is, as far as reading it tells.
enum class RegistryStoreState {
    Missing,   // no file: a first start, a new store is made
    Sound,     // SQLite reads it and finds it whole
    Damaged,   // a file that is no database, an empty one, or one failing SQLite's check
    Unusable,  // it could not be read as it is: rights, a full disk, a read-only folder,
               // a folder or link in its place, a configuration folder that is a file
};

struct RegistryStoreStatus {
    RegistryStoreState state = RegistryStoreState::Missing;
    std::string reason;  // empty for Missing and Sound
};

// Looks at the store at `path` without changing it. Only what SQLite itself reads and
// rejects is damage: every other failure is trouble around a store that may be sound,
// which must never be replaced.
RegistryStoreStatus InspectRegistryStore(const std::string& path);

// A damaged store that was moved aside.
struct DamagedRegistryStore {
    std::string path;    // where the store was
    std::string copy;    // where it is now: "<path>.damaged-<YYYYMMDD-HHMMSS>"
    std::string reason;  // what InspectRegistryStore found
};

// A damaged store at `path` is renamed to its copy's name, with its "-wal" and "-shm"
// files beside it, so that a new store can start in its place. Nothing is ever deleted,
// and a store that is only unusable stays where it is. nullopt unless damaged; a store
// that cannot be moved is reported with an empty copy.
std::optional<DamagedRegistryStore> SetAsideDamagedRegistryStore(const std::string& path);

// The one text that tells the user about it.
std::string DamagedRegistryStoreMessage(const DamagedRegistryStore& damaged);

// The one text for a store that is there but cannot be read as it is.
std::string UnusableRegistryStoreMessage(const std::string& path, const std::string& reason);

}  // namespace orvelle::store
