#include "plugin/module.h"

#include "host/sdk/custom_controls.h"

ModuleState& Module() {
  static ModuleState state;
  return state;
}

BOOL AttachModule(HINSTANCE instance) {
  ModuleState& module = Module();
  if (module.instance != nullptr) return FALSE;
  module.instance = instance;
  if (!module.customControlsReady) {
    module.customControlsReady = true;
    InitCustomControls(instance);
  }
  return TRUE;
}

void DetachModule() { Module().instance = nullptr; }

const char* GetString(int id) {
  ModuleState& module = Module();
  if (module.instance == nullptr) return nullptr;
  if (LoadStringA(module.instance, UINT(id), module.strings, int(sizeof module.strings)) == 0)
    return nullptr;
  return module.strings;
}
