// Writing a file without ever losing the one it replaces: the new content goes into a file
// of a unique name in the same folder, which takes the old file's place only once it is
// complete. On any failure that file is removed and the old one stays as it was.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>

// Fills the file at `partial` (it exists and is empty) with the whole content; false when
// any of it failed.
using FileContentWriter = std::function<bool(const std::filesystem::path& partial)>;

// Runs `write` on a new file beside `target` and, when it succeeds, moves that file over
// `target` (creating or replacing it). False when the folder takes no new file, `write`
// fails or the move is refused (`target` names a folder, say): `target` is then untouched
// and nothing is left beside it.
bool ReplaceFileWith(const std::filesystem::path& target, const FileContentWriter& write);
// ReplaceFileWith for content held in memory.
bool ReplaceFileWithBytes(const std::filesystem::path& target, const void* bytes, size_t size);

// For tests: ReplaceFileWithBytes writes at most `bytes` bytes and then fails, as on a full
// disk. std::nullopt lifts the limit.
void LimitReplaceWritesForTesting(std::optional<uint64_t> bytes);

// The platform's part: file_replace.cpp holds the POSIX one, file_replace_win.cpp the
// Windows one.
// A new empty file of a unique name in `target`'s folder; none when it cannot be made.
std::optional<std::filesystem::path> CreateFileBeside(const std::filesystem::path& target);
// Puts `from` in the place of `to`, replacing a file there in one step.
bool MoveFileOver(const std::filesystem::path& from, const std::filesystem::path& to);
