// Ctrl-C, SIGTERM (what `timeout` and render-farm managers send) and SIGHUP
// ask a run to stop instead of killing it: frames in flight stop between
// rows and leave no files, and the run ends with status 128 + the signal's
// number. A second signal ends the process at once, after removing the
// temporary files of the writes under way.
#pragma once

#include <atomic>

namespace selvo {

// The signal that asked the run to stop, or 0.
std::atomic<int>& StopSignal();

// Installs the handlers for the whole process: a stop signal ends it at
// once, after removing the temporary files of the writes under way, and a
// closed pipe on stdout or stderr (SIGPIPE) becomes an ordinary write error.
void CatchStopSignals();

// From now on the first stop signal only sets StopSignal(), for a run
// whose frames check it between rows; a second one still ends the process.
void StopBetweenRows();

// The exit status of a run stopped by `signal`, and its one-line message.
int StoppedStatus(int signal);
const char* StoppedMessage(int signal);

}  // namespace selvo
