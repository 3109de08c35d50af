// Windows form of the reference host's platform services.
#include <windows.h>

#include <atomic>
#include <cstdio>
#include <string>

#include "refhost/platform.h"

namespace refhost {
namespace platform {

namespace {
std::string lastError() {
    DWORD code = GetLastError();
    char* text = nullptr;
    FormatMessageA(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                   nullptr, code, 0, reinterpret_cast<char*>(&text), 0, nullptr);
    std::string s = text ? text : ("error " + std::to_string(code));
    if (text) LocalFree(text);
    while (!s.empty() && (s.back() == '\n' || s.back() == '\r')) s.pop_back();
    return s;
}

std::string baseName(const std::string& path) {
    size_t slash = path.find_last_of("/\\");
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string directoryOf(const std::string& path) {
    size_t slash = path.find_last_of("/\\");
    return slash == std::string::npos ? "." : path.substr(0, slash);
}
}  // namespace

void* openModule(const std::string& path, std::string& error) {
    HMODULE m = LoadLibraryA(path.c_str());
    if (!m) error = "cannot load " + path + ": " + lastError();
    return reinterpret_cast<void*>(m);
}

void* findSymbol(void* module, const char* name) {
    if (!module) return nullptr;
    return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(module), name));
}

void closeModule(void* module) {
    if (module) FreeLibrary(static_cast<HMODULE>(module));
}

std::string copyToTempDirectory(const std::string& path, std::string& error) {
    static std::atomic<unsigned> counter{0};
    char tmp[MAX_PATH + 1];
    DWORD n = GetTempPathA(sizeof tmp, tmp);
    if (n == 0 || n > MAX_PATH) {
        error = "cannot find the temporary folder: " + lastError();
        return std::string();
    }
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::string dir = std::string(tmp) + "refhost-" + std::to_string(GetCurrentProcessId()) + "-" +
                          std::to_string(counter++);
        if (!CreateDirectoryA(dir.c_str(), nullptr)) {
            if (GetLastError() == ERROR_ALREADY_EXISTS) continue;
            error = "cannot create " + dir + ": " + lastError();
            return std::string();
        }
        std::string target = dir + "\\" + baseName(path);
        if (!CopyFileA(path.c_str(), target.c_str(), TRUE)) {
            error = "cannot copy " + path + " to " + target + ": " + lastError();
            RemoveDirectoryA(dir.c_str());
            return std::string();
        }
        return target;
    }
    error = "cannot create a temporary folder";
    return std::string();
}

void removeTempCopy(const std::string& copyPath) {
    if (copyPath.empty()) return;
    DeleteFileA(copyPath.c_str());
    RemoveDirectoryA(directoryOf(copyPath).c_str());
}

std::FILE* createFileBeside(const std::string& target, std::string& tempPath, std::string& error) {
    static std::atomic<unsigned> counter{0};
    for (int attempt = 0; attempt < 100; ++attempt) {
        tempPath = target + ".partial-" + std::to_string(GetCurrentProcessId()) + "-" + std::to_string(counter++);
        HANDLE h = CreateFileA(tempPath.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL,
                               nullptr);
        if (h == INVALID_HANDLE_VALUE) {
            if (GetLastError() == ERROR_FILE_EXISTS) continue;
            break;
        }
        CloseHandle(h);
        std::FILE* f = std::fopen(tempPath.c_str(), "wb");
        if (f) return f;
        DeleteFileA(tempPath.c_str());
        break;
    }
    error = "cannot create a file beside " + target + ": " + lastError();
    tempPath.clear();
    return nullptr;
}

bool replaceFile(const std::string& from, const std::string& to, std::string& error) {
    if (MoveFileExA(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) return true;
    error = "cannot move " + from + " to " + to + ": " + lastError();
    return false;
}

void removeFile(const std::string& path) {
    if (!path.empty()) DeleteFileA(path.c_str());
}

}  // namespace platform
}  // namespace refhost
