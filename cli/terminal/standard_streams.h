// stdout and stderr fail like files do: a full disk behind `> file`, a
// closed pipe behind `| head`. A failed write there is an error of the run,
// never a silent success.
#pragma once

#include <cstdio>
#include <string>

namespace selvo {

// Writes `text` to `stream` and flushes it; false when that failed (the
// reason is kept for FinishStandardStreams).
bool WriteText(std::FILE* stream, const std::string& text);
bool WriteLine(std::FILE* stream, const std::string& line);

// "selvo: MESSAGE" on stderr, every control character in it escaped: names
// in messages come from the command line and from files, and must neither
// break the line nor reach the terminal as commands.
void PrintError(const std::string& message);

// Flushes stdout and stderr at the end of a command. Returns `status`, or 1
// when a write to either failed; a failed stdout is reported on stderr with
// the system's reason.
int FinishStandardStreams(int status);

}  // namespace selvo
