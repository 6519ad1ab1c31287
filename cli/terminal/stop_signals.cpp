#include "cli/terminal/stop_signals.h"

#include <csignal>

#include "files/atomic_file.h"

namespace selvo {
namespace {

#ifdef SIGHUP
constexpr int kStopSignals[] = {SIGINT, SIGTERM, SIGHUP};
#else
constexpr int kStopSignals[] = {SIGINT, SIGTERM};
#endif

std::atomic<bool> g_stopBetweenRows{false};

// Only async-signal-safe work here: atomics, unlink and the signal calls.
void OnStopSignal(int signal) {
  int none = 0;
  if (g_stopBetweenRows.load() && StopSignal().compare_exchange_strong(none, signal)) return;
  RemoveTemporaryFilesNow();
  std::signal(signal, SIG_DFL);
  std::raise(signal);
}

}  // namespace

std::atomic<int>& StopSignal() {
  static std::atomic<int> signal{0};
  return signal;
}

void CatchStopSignals() {
  StopSignal();  // constructed before any signal can arrive
#ifdef SIGPIPE
  std::signal(SIGPIPE, SIG_IGN);
#endif
  for (const int signal : kStopSignals) std::signal(signal, OnStopSignal);
}

void StopBetweenRows() { g_stopBetweenRows.store(true); }

int StoppedStatus(int signal) { return 128 + signal; }

const char* StoppedMessage(int signal) {
  switch (signal) {
    case SIGINT: return "interrupted; frames in progress were not written";
    case SIGTERM: return "terminated (SIGTERM); frames in progress were not written";
    default: return "hung up (SIGHUP); frames in progress were not written";
  }
}

}  // namespace selvo
