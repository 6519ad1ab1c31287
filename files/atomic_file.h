// Saving files (PCX frames, previews, settings) so that a failure never
// leaves a partial file under the real name: the bytes go to a temporary
// file in the same folder, created only where no file is (with a random
// name, so writers that share a folder never share one), and renamed into
// place once complete. A symlink is written through: the temporary file is
// made beside its target and replaces the target, and the link stays. A
// device or a pipe at the path is written in place instead.
#pragma once

#include <cstdio>
#include <functional>
#include <string>

namespace selvo {

// `write` fills the open file and returns "" or the problem, without the
// file name. Returns "" or a one-line error naming `path`; on error nothing
// is left behind and any earlier file at `path` is untouched.
std::string WriteFileAtomically(const std::string& path,
                                const std::function<std::string(std::FILE*)>& write);

// Removes every temporary file that a write of this process has under way.
// Safe to call from a signal handler: a process that is ending at once
// calls it so that no half-written file is left beside an output.
void RemoveTemporaryFilesNow();

}  // namespace selvo
