#pragma once

#include "store/Registry.h"

#include <iosfwd>
#include <string>
#include <vector>

namespace orvelle::regtool {

// Runs one command line of orvelle-reg ("query", "add", "delete", "export" with the
// arguments of the platform's reg command) against `registry`. Questions (overwrite,
// delete) are answered from `in`; output goes to `out`, errors to `err`.
// Returns the exit code: 0 success, 1 failure or refusal.
int RunRegCommand(const std::vector<std::string>& arguments, store::IRegistry& registry,
                  std::istream& in, std::ostream& out, std::ostream& err);

// Splits "HKCU\Software\X" into its hive and path; false for an unknown root.
bool ParseKeyName(const std::string& keyName, store::HKEY& hive, std::string& path);

// The hive's long name ("HKEY_CURRENT_USER").
std::string HiveName(store::HKEY hive);

}  // namespace orvelle::regtool
