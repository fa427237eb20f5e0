// Replacing a file only once its successor is complete, and the POSIX side of it.
#include "scene/file_replace.h"

#include <fstream>
#include <system_error>

#ifndef _WIN32
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <fcntl.h>
#include <unistd.h>
#endif

static std::optional<uint64_t> gWriteLimit;  // set by tests only

void LimitReplaceWritesForTesting(std::optional<uint64_t> bytes) { gWriteLimit = bytes; }

bool ReplaceFileWith(const std::filesystem::path& target, const FileContentWriter& write)
{
    std::optional<std::filesystem::path> partial = CreateFileBeside(target);
    if (!partial)
        return false;
    bool done = false;
    try {
        done = write(*partial) && MoveFileOver(*partial, target);
    } catch (...) {
        std::error_code ec;
        std::filesystem::remove(*partial, ec);
        throw;
    }
    if (!done) {
        std::error_code ec;
        std::filesystem::remove(*partial, ec);
    }
    return done;
}

bool ReplaceFileWithBytes(const std::filesystem::path& target, const void* bytes, size_t size)
{
    return ReplaceFileWith(target, [&](const std::filesystem::path& partial) {
        std::ofstream out(partial, std::ios::binary | std::ios::trunc);
        if (!out)
            return false;
        size_t allowed = size;
        if (gWriteLimit && *gWriteLimit < size)
            allowed = static_cast<size_t>(*gWriteLimit);
        out.write(static_cast<const char*>(bytes), std::streamsize(allowed));
        out.close();  // a full disk may show only when the last bytes are flushed
        return !out.fail() && allowed == size;
    });
}

#ifndef _WIN32

std::optional<std::filesystem::path> CreateFileBeside(const std::filesystem::path& target)
{
    std::filesystem::path folder = target.parent_path();
    if (folder.empty())
        folder = ".";
    // Names are tried until one is new; O_EXCL makes taking one atomic. The mode is that of
    // any new file, so the replaced file ends with the permissions a plain write gives.
    static uint32_t serial = 0;
    const auto now = uint64_t(std::chrono::steady_clock::now().time_since_epoch().count());
    for (int attempt = 0; attempt < 100; ++attempt) {
        const uint32_t tag =
            uint32_t(now ^ (now >> 32)) ^ (uint32_t(getpid()) * 2654435761u) ^ (++serial * 40503u);
        char name[24];
        std::snprintf(name, sizeof name, ".vor%08x.tmp", tag);
        std::filesystem::path candidate = folder / name;
        int fd = open(candidate.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0) {
            close(fd);
            return candidate;
        }
        if (errno != EEXIST)
            return std::nullopt;
    }
    return std::nullopt;
}

bool MoveFileOver(const std::filesystem::path& from, const std::filesystem::path& to)
{
    return std::rename(from.c_str(), to.c_str()) == 0;
}

#endif
