// The registry file: read exactly or refused, written whole or not at all.
#include "refhost/registry_file.h"

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <utility>

#include "refhost/platform.h"

namespace refhost {

namespace {

[[noreturn]] void refuse(const std::string& name, int line, const std::string& why) {
    throw RegistryFileError(name + ":" + std::to_string(line) + ": " + why);
}

bool printable(const std::string& s) {
    for (char c : s)
        if (static_cast<unsigned char>(c) < 32 || static_cast<unsigned char>(c) > 126) return false;
    return true;
}

// The whole text is one finite number, with nothing before or after it.
bool readFinite(const std::string& text, double& v) {
    if (text.empty() || text[0] == ' ' || text[0] == '\t') return false;
    char* end = nullptr;
    v = std::strtod(text.c_str(), &end);
    return end == text.c_str() + text.size() && std::isfinite(v);
}

// The whole text is a decimal whole number that 32 bits hold.
bool readInt32(const std::string& text, int32& v) {
    const size_t digits = !text.empty() && text[0] == '-' ? 1 : 0;
    if (text.size() <= digits || text[digits] < '0' || text[digits] > '9') return false;
    char* end = nullptr;
    errno = 0;
    const long long x = std::strtoll(text.c_str(), &end, 10);
    if (errno || end != text.c_str() + text.size() || x < -2147483647LL - 1 || x > 2147483647LL) return false;
    v = int32(x);
    return true;
}

bool readFlag(const std::string& text, bool& v) {
    if (text == "1" || text == "true") v = true;
    else if (text == "0" || text == "false") v = false;
    else return false;
    return true;
}

// Why an entry cannot be written so that it reads back as it is; empty
// when it can.
std::string unwritable(const std::string& id, const DescriptorEntry& e) {
    if (id.empty() || id[0] == '#' || id.find_first_of("\t\n") != std::string::npos)
        return "the ID '" + id + "' is empty, begins with # or holds a tab or a line break";
    const std::string key = keyName(e.key);
    if (key.size() != 4 || !printable(key)) return "the key " + key + " of " + id + " is not four printable characters";
    if (e.type == typeFloat && !std::isfinite(e.f)) return key + " of " + id + " is not a finite number";
    if (e.type != typeFloat && e.type != typeInteger && e.type != typeBoolean)
        return key + " of " + id + " has the type " + keyName(e.type) + ", which a registry file does not hold";
    return std::string();
}

}  // namespace

Registry parseRegistry(const std::string& text, const std::string& name) {
    Registry registry;
    std::map<std::pair<std::string, DescriptorKeyID>, int> firstLine;
    size_t start = 0;
    for (int n = 1; start < text.size(); ++n) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        std::string line = text.substr(start, end - start);
        start = end + 1;
        if (!line.empty() && line.back() == '\r') line.pop_back();  // a Windows line end
        if (line.find_first_not_of(" \t") == std::string::npos || line[0] == '#') continue;

        if (line.find('\0') != std::string::npos) refuse(name, n, "a NUL byte in the line");
        const size_t tab = line.find('\t');
        if (tab == std::string::npos) refuse(name, n, "no tab: an entry is ID, tab, KEY TYPE VALUE");
        if (tab == 0) refuse(name, n, "no ID before the tab");
        const std::string id = line.substr(0, tab), rest = line.substr(tab + 1);
        if (rest.size() == 4) refuse(name, n, "no type and value after the key '" + rest + "'");
        if (rest.size() < 4 || rest[4] != ' ')
            refuse(name, n, "the key '" + rest.substr(0, rest.find(' ')) + "' is not four characters");
        const std::string keyText = rest.substr(0, 4);
        const DescriptorKeyID key = keyFromName(keyText);
        if (!printable(keyText)) refuse(name, n, "the key " + keyName(key) + " holds a byte that is not a printable character");
        const size_t typeEnd = rest.find(' ', 5);
        const std::string type = rest.substr(5, typeEnd == std::string::npos ? std::string::npos : typeEnd - 5);
        if (type != "doub" && type != "long" && type != "bool")
            refuse(name, n, "unknown type '" + type + "' (doub, long or bool)");
        const std::string value = typeEnd == std::string::npos ? std::string() : rest.substr(typeEnd + 1);
        if (value.empty()) refuse(name, n, "no value after the type " + type);

        DescriptorEntry e;
        if (type == "doub") {
            double v;
            if (!readFinite(value, v)) refuse(name, n, "'" + value + "' is not a finite number (doub)");
            e = DescriptorEntry::Float(key, v);
        } else if (type == "long") {
            int32 v;
            if (!readInt32(value, v))
                refuse(name, n, "'" + value + "' is not a whole number from -2147483648 to 2147483647 (long)");
            e = DescriptorEntry::Integer(key, v);
        } else {
            bool v;
            if (!readFlag(value, v)) refuse(name, n, "'" + value + "' is not a flag (bool: 0, 1, true or false)");
            e = DescriptorEntry::Boolean(key, v);
        }
        const auto first = firstLine.emplace(std::make_pair(id, key), n);
        if (!first.second)
            refuse(name, n,
                   "the key " + keyText + " of " + id + " is given again (first on line " +
                       std::to_string(first.first->second) + ")");
        registry[id].push_back(e);
    }
    return registry;
}

Registry readRegistryFile(const std::string& path) {
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) {
        if (errno == ENOENT) return Registry();  // a first run: nothing remembered yet
        throw RegistryFileError("cannot read the registry " + path + ": " + std::strerror(errno));
    }
    std::string text;
    char buf[1 << 14];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) text.append(buf, n);
    const bool failed = std::ferror(f) != 0;
    const int err = errno;
    std::fclose(f);
    if (failed) throw RegistryFileError("cannot read the registry " + path + ": " + std::strerror(err));
    return parseRegistry(text, path);
}

void writeRegistryFile(const Registry& registry, const std::string& path) {
    std::string text;
    for (const auto& [id, descriptor] : registry)
        for (const DescriptorEntry& e : descriptor) {
            const std::string why = unwritable(id, e);
            if (!why.empty()) throw RegistryFileError("cannot write the registry " + path + ": " + why);
            char value[40];
            if (e.type == typeFloat) std::snprintf(value, sizeof value, "doub %.17g", e.f);
            else if (e.type == typeInteger) std::snprintf(value, sizeof value, "long %d", int(e.i));
            else std::snprintf(value, sizeof value, "bool %d", int(e.b));
            text += id + '\t' + keyName(e.key) + ' ' + value + '\n';
        }

    std::string tempPath, error;
    std::FILE* f = platform::createFileBeside(path, tempPath, error);
    if (!f) throw RegistryFileError("cannot write the registry " + path + ": " + error);
    errno = 0;
    int err = 0;
    if (std::fwrite(text.data(), 1, text.size(), f) != text.size() || std::fflush(f) != 0) err = errno ? errno : EIO;
    if (std::fclose(f) != 0 && !err) err = errno ? errno : EIO;
    if (!err && platform::replaceFile(tempPath, path, error)) return;
    platform::removeFile(tempPath);
    throw RegistryFileError("cannot write the registry " + path + ": " + (err ? std::strerror(err) : error));
}

RegistryLock::RegistryLock(const std::string& path, const std::function<void()>& beforeWaiting) {
    std::string error;
    lock_ = platform::lockBeside(path, beforeWaiting, error);
    if (!lock_) throw RegistryFileError("cannot lock the registry " + path + ": " + error);
}

RegistryLock::~RegistryLock() { platform::unlockBeside(lock_); }

}  // namespace refhost
