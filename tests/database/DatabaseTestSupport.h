#pragma once
// Shared by the database tests: stored-tune archives made on the spot and a quick way to fill
// a database.

#include "base/ScriptedHost.h"
#include "database/TitleRecord.h"

#include <filesystem>
#include <string>
#include <vector>

namespace tunquil::test {

// A one-entry ZIP archive ("AAATune.TTT" holding `content`) written to `path`.
void WriteStoredArchive(const std::filesystem::path& path, const std::string& content);

// The raw bytes of a file, or "" when it does not exist.
std::string FileBytes(const std::filesystem::path& path);

// A title record with the texts most tests need.
TitleRecord SampleTitle(const std::string& title, int32_t ck = 1, int32_t pk = 1);

} // namespace tunquil::test
