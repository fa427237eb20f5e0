// The Windows side of file replacement: a unique file made by GetTempFileNameW in the
// target's folder, moved over the target by MoveFileExW.
#include "scene/file_replace.h"
#include "scene/file_replace_win.h"

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <cwchar>

std::wstring LongPathForm(const std::wstring& path)
{
    if (path.size() < MAX_PATH || path.rfind(L"\\\\?\\", 0) == 0)
        return path;
    DWORD length = GetFullPathNameW(path.c_str(), 0, nullptr, nullptr);
    if (length == 0)
        return path;
    std::wstring full(length, L'\0');
    length = GetFullPathNameW(path.c_str(), length, full.data(), nullptr);
    if (length == 0 || length >= full.size())
        return path;
    full.resize(length);
    if (full.rfind(L"\\\\.\\", 0) == 0)
        return full;  // a device name: no prefix applies
    if (full.rfind(L"\\\\", 0) == 0)
        return L"\\\\?\\UNC\\" + full.substr(2);
    return L"\\\\?\\" + full;
}

// GetTempFileNameW takes folders of up to MAX_PATH - 14 characters; in a longer one the
// names are made here, each tried until one is new.
static std::optional<std::filesystem::path> CreateFileInLongFolder(const std::wstring& folder)
{
    const std::wstring base = LongPathForm(folder);
    for (DWORD attempt = 0; attempt < 100; ++attempt) {
        wchar_t name[24];
        std::swprintf(name, 24, L"\\vor%08lx.tmp",
                      GetTickCount() ^ (GetCurrentProcessId() * 2654435761u) ^ (attempt * 40503u));
        std::wstring candidate = base + name;
        HANDLE file = CreateFileW(candidate.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file != INVALID_HANDLE_VALUE) {
            CloseHandle(file);
            return std::filesystem::path(candidate);
        }
        if (GetLastError() != ERROR_FILE_EXISTS)
            return std::nullopt;
    }
    return std::nullopt;
}

std::optional<std::filesystem::path> CreateFileBeside(const std::filesystem::path& target)
{
    std::wstring folder = target.parent_path().wstring();
    if (folder.empty())
        folder = L".";
    wchar_t name[MAX_PATH];
    if (folder.size() <= MAX_PATH - 14) {
        // unique 0: the function makes a name that is new and creates the file
        if (GetTempFileNameW(folder.c_str(), L"vor", 0, name) != 0)
            return std::filesystem::path(name);
        return std::nullopt;
    }
    return CreateFileInLongFolder(folder);
}

bool MoveFileOver(const std::filesystem::path& from, const std::filesystem::path& to)
{
    return MoveFileExW(LongPathForm(from.wstring()).c_str(), LongPathForm(to.wstring()).c_str(),
                       MOVEFILE_REPLACE_EXISTING) != FALSE;
}
