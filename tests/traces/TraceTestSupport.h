#pragma once

// Files of a private home for the trace catalog's tests.

#include "TempEnvironment.h"

#include <map>
#include <string>

namespace orvelle::test {

// Writes `content` to `path`, creating its folders.
void Put(const std::string& path, const std::string& content = "x");
// Every file, link and folder below `root`: path → content ("-> target" for a link,
// "/" for a folder). Two snapshots are equal when nothing changed.
std::map<std::string, std::string> Snapshot(const std::string& root);
// A database at `path` with one table `t` holding `rows` rows.
void MakeDatabase(const std::string& path, int rows = 1);
// Runs SQL statements on the database; fails the test on an error.
void ExecSql(const std::string& database, const std::string& sql);
// The answer of an SQL query with one number.
long long QueryNumber(const std::string& database, const std::string& sql);
// PRAGMA integrity_check of the database ("ok" when sound).
std::string IntegrityCheck(const std::string& database);

}  // namespace orvelle::test
