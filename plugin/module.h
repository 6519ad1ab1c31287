// Module-wide state of Selvo.flt and the rules for attaching it to a
// process. Every filter object shares it; calls into the module never
// overlap, so it takes no locks.
#pragma once

#include <windows.h>

struct ModuleState {
  HINSTANCE instance = nullptr;      // recorded at attach, cleared at detach
  bool customControlsReady = false;  // set once per process, never cleared
  char strings[256] = {};            // every GetString call lands here
};

ModuleState& Module();

// Process attach: refused (FALSE) while a handle is still recorded;
// otherwise records it and initialises the host's custom controls the first
// time only.
BOOL AttachModule(HINSTANCE instance);
void DetachModule();

// String resource `id` of the module, in the shared buffer that the next
// call overwrites; null before attach or when the resource does not exist.
const char* GetString(int id);
