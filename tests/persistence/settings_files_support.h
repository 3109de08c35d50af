// What the settings-file tests share: a private folder that goes away with
// the test, and whole files read and written as bytes.
#pragma once

#include <dirent.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace settings_test {

inline std::string slurp(const std::string& path) {
    std::ifstream f(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>());
}

inline void put(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}

class TempFolder {
public:
    TempFolder() {
        char tmpl[] = "/tmp/settings-test-XXXXXX";
        if (mkdtemp(tmpl)) dir_ = tmpl;
    }
    // Read-only files and folders go too.
    ~TempFolder() { std::system(("chmod -R u+w '" + dir_ + "'; rm -rf '" + dir_ + "'").c_str()); }
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    const std::string& dir() const { return dir_; }
    std::string path(const std::string& name) const { return dir_ + "/" + name; }
    std::vector<std::string> files() const {
        std::vector<std::string> names;
        if (DIR* d = opendir(dir_.c_str())) {
            while (dirent* e = readdir(d))
                if (std::strcmp(e->d_name, ".") && std::strcmp(e->d_name, "..")) names.push_back(e->d_name);
            closedir(d);
        }
        return names;
    }

private:
    std::string dir_;
};

}  // namespace settings_test
