// The host's registry kept in a file between runs of pihost: a line per
// entry, "ID<tab>KEY TYPE VALUE", KEY four printable characters, TYPE doub
// (a finite number, written with 17 significant digits), long (a 32-bit
// whole number) or bool (0 or 1; true and false are read too).  Empty lines
// and lines that begin with '#' are skipped; a rewrite keeps neither.
#pragma once

#include <functional>
#include <map>
#include <stdexcept>
#include <string>

#include "refhost/refhost.h"

namespace refhost {

using Registry = std::map<std::string, Descriptor>;

struct RegistryFileError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// The entries of a registry text; anything it cannot read exactly is
// refused with "NAME:LINE: " and the reason.
Registry parseRegistry(const std::string& text, const std::string& name);
// The registry in path; a file that does not exist is an empty registry.
Registry readRegistryFile(const std::string& path);
// Writes the registry beside path and moves it into place (keeping the old
// file's permissions) once all of it is on the disk; on any failure the old
// file stays as it was.  Refuses entries it could not read back.
void writeRegistryFile(const Registry& registry, const std::string& path);

// Runs that share a registry file take turns with it for as long as this
// lives: the read, the run and the write of one are not mixed with
// another's.  Throws RegistryFileError when the lock cannot be had.
class RegistryLock {
public:
    explicit RegistryLock(const std::string& path, const std::function<void()>& beforeWaiting = nullptr);
    ~RegistryLock();
    RegistryLock(const RegistryLock&) = delete;
    RegistryLock& operator=(const RegistryLock&) = delete;

private:
    void* lock_;
};

}  // namespace refhost
