// Settings files on the Windows form: the file calls of kernel32, and the
// writer's and reader's own messages when a file cannot be opened.
#include <windows.h>

#include <atomic>
#include <string>

#include "entry/settings_file.h"

const char* const kSettingsCannotCreateText =
    "Could not open file for writing.  Note that Unicode characters in the file name are not supported and "
    "read-only files cannot be overwritten.";
const char* const kSettingsCannotOpenText = "Could not open file.  Note that Unicode characters are not supported.";
const char* const kSettingsNotValidText =
    "Not a valid Vexlor settings file.  No settings/parameters will be loaded.";

namespace {

void* createBesideWin(const std::string& target, std::string& tempPath) {
    const DWORD attributes = GetFileAttributesA(target.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES &&
        (attributes & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_DEVICE)))
        return nullptr;
    static std::atomic<unsigned> counter{0};
    for (int attempt = 0; attempt < 100; ++attempt) {
        tempPath = target + ".saving-" + std::to_string(GetCurrentProcessId()) + "-" + std::to_string(counter++);
        HANDLE h = CreateFileA(tempPath.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL,
                               nullptr);
        if (h != INVALID_HANDLE_VALUE) return h;
        if (GetLastError() != ERROR_FILE_EXISTS) break;
    }
    tempPath.clear();
    return nullptr;
}

bool writeWin(void* file, const void* bytes, size_t size) {
    const char* p = static_cast<const char*>(bytes);
    while (size > 0) {
        DWORD written = 0;
        if (!WriteFile(static_cast<HANDLE>(file), p, DWORD(size), &written, nullptr) || written == 0) return false;
        p += written;
        size -= written;
    }
    return true;
}

bool closeWin(void* file) {
    bool ok = FlushFileBuffers(static_cast<HANDLE>(file)) != 0;
    return CloseHandle(static_cast<HANDLE>(file)) != 0 && ok;
}

bool replaceWin(const std::string& tempPath, const std::string& target) {
    return MoveFileExA(tempPath.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
}

void removeWin(const std::string& tempPath) {
    if (!tempPath.empty()) DeleteFileA(tempPath.c_str());
}

}  // namespace

SettingsFileOps gSettingsFileOps = {createBesideWin, writeWin, closeWin, replaceWin, removeWin};
