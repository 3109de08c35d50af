// A script that steers the plug-in's dialog while the host's start call runs
// it (pihost --dialog-script FILE), the way a person at the screen would:
// from a thread of the host, with synchronous messages to the dialog, and
// checks of the controls, the parameter block and what the host saw.
// Windows only; the POSIX form reports that it cannot run.
#pragma once

#include <memory>
#include <string>

#include "PITypes.h"

namespace refhost {

class Host;

class DialogScript {
public:
    // Reads the script; throws std::runtime_error naming the line of a bad one.
    DialogScript(const std::string& path, Host& host, const std::string& shotPrefix);
    ~DialogScript();
    // Starts the steering thread: it waits for the dialog of the calling
    // thread, runs the commands up to Enter or Escape and ends with the dialog.
    void start();
    // After the start call returned startResult: ends the thread and runs the
    // checks that follow the dialog.  The number of failed checks.
    int finish(int16 startResult);

    struct Impl;

private:
    std::unique_ptr<Impl> impl_;
};

}  // namespace refhost
