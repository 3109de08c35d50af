// The few operating-system services the reference host needs, behind one
// small interface: module loading, file replacement, answering alerts and
// the memory a host keeps.
// platform_posix.cpp and platform_win.cpp implement it; nothing else in
// refhost is platform-specific.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "PITypes.h"

namespace refhost {

class Host;
struct DisplayCall;

namespace platform {

// Alerts the plug-in shows on the calling thread during one plug-in call are
// answered at once and recorded into host (Host::recordAlert), so that a run
// without anybody at the screen never blocks.  Returns a token for
// endAlertCapture; calls nest.  The POSIX form does nothing: there the Carbon
// stand-in hands alerts to the host.
void* beginAlertCapture(Host& host);
void endAlertCapture(void* token);

// Draws the pixels of a display call into its platform context, at the
// call's row and column: a device context on Windows, the port of a window
// of the Carbon stand-in on POSIX (a null context draws nothing).  False
// when the context is none of these.
bool drawDisplayCall(const DisplayCall& call);

// Windows: the owner window of each alert answered, in order (null for an
// alert without owner), and where on the screen each one was.  The POSIX
// form records none.
const std::vector<void*>& alertOwners();
const std::vector<VRect>& alertScreenRects();

// Loads a shared module; null with a message in error on failure.
void* openModule(const std::string& path, std::string& error);
void* findSymbol(void* module, const char* name);
void closeModule(void* module);

// Copies path into a new private temporary directory (keeping the file's
// name); the returned path is empty on failure, with a message in error.
std::string copyToTempDirectory(const std::string& path, std::string& error);
// Removes a file made by copyToTempDirectory and its directory.
void removeTempCopy(const std::string& copyPath);

// Creates a new file beside target that did not exist before, opened for
// binary writing; null with a message in error on failure.  On POSIX a
// target that is a symbolic link is written through (the new file goes
// beside the file it leads to), and a file to be replaced lends the new one
// its permissions.
std::FILE* createFileBeside(const std::string& target, std::string& tempPath, std::string& error);
// Moves from over to, replacing to at once (never a half-written target),
// after from's bytes have reached the disk, so that a crash of the system
// right after cannot leave an empty or shortened file in to's place.
bool replaceFile(const std::string& from, const std::string& to, std::string& error);
void removeFile(const std::string& path);
// The size of an open file in bytes; -1 when it cannot be told.
int64_t fileSize(std::FILE* f);
// From now on every signal that would end the process and can be caught
// (on POSIX: interrupt, termination, hang-up, the file-size and CPU limits,
// a broken pipe, the user and real-time signals, the faults; on Windows:
// Ctrl-C, Ctrl-Break, termination, abort, closing the console and a crash)
// first removes the file that createFileBeside made and neither
// replaceFile nor removeFile has taken yet, then ends the process as it
// would have.  The file-size limit is also told on standard error.  A
// signal the process ignores stays ignored; a crash still reaches the
// handler that was there before (a sanitizer's).
void removePartialFileOnSignals();

// An exclusive lock that every process naming the same target shares, held
// on a file beside target (its name with ".lock", made when missing and
// left in place, since removing it would let two processes hold locks on
// two different files).  Waits while another process holds it, first
// calling beforeWaiting.  Null with a message in error when the lock file
// cannot be made or locked.
void* lockBeside(const std::string& target, const std::function<void()>& beforeWaiting, std::string& error);
void unlockBeside(void* lock);

// For the platform files (partial_file.cpp): the partial file being written.
void notePartialFile(const std::string& path);
void forgetPartialFile(const std::string& path);
// Its path, or null; a signal handler may call this.
const char* pendingPartialFile();

// Whole pages of zeroed memory straight from the system, as a host's memory
// manager takes them (with huge pages where the system grants them, so that
// first touching them costs few page faults); null when refused.
void* allocatePages(size_t bytes);
void freePages(void* pages, size_t bytes);
// Processors the process may run on (its affinity); at least 1.
int processorCount();
// Keeps the calling thread, and the threads it starts from then on, on the
// first processor it may use for as long as it lives: the one-thread runs
// of the tests and benchmarks (the Mac form of the engine, which is the
// native build's, counts the processors it may use).
class OneProcessor {
public:
    OneProcessor();
    ~OneProcessor();
    OneProcessor(const OneProcessor&) = delete;
    OneProcessor& operator=(const OneProcessor&) = delete;

private:
    alignas(16) unsigned char saved_[128];  // the affinity it had
};
// Installed physical memory in bytes; 0 when unknown.
uint64_t physicalMemoryBytes();

}  // namespace platform
}  // namespace refhost
