// A fixture with a fresh folder of its own, removed after the test.
#pragma once

#include <dirent.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <set>
#include <string>

#include <gtest/gtest.h>

namespace refhost_test {

class ScratchDir : public ::testing::Test {
protected:
    void SetUp() override {
        char tmpl[] = "/tmp/refhost-scratch-XXXXXX";
        ASSERT_NE(mkdtemp(tmpl), nullptr);
        dir_ = tmpl;
    }
    void TearDown() override { std::system(("rm -rf '" + dir_ + "'").c_str()); }
    std::string path(const std::string& name) const { return dir_ + "/" + name; }
    std::string put(const std::string& name, const std::string& bytes) const {
        std::ofstream(path(name), std::ios::binary) << bytes;
        return path(name);
    }
    static std::string slurp(const std::string& p) {
        std::ifstream f(p, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>());
    }
    static std::set<std::string> namesIn(const std::string& dir) {
        std::set<std::string> names;
        if (DIR* d = opendir(dir.c_str())) {
            while (const dirent* e = readdir(d))
                if (std::strcmp(e->d_name, ".") != 0 && std::strcmp(e->d_name, "..") != 0) names.insert(e->d_name);
            closedir(d);
        }
        return names;
    }
    int filesIn() const { return int(namesIn(dir_).size()); }
    std::string dir_;
};

}  // namespace refhost_test
