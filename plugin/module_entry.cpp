// The module's entry point and the four functions the host looks up by
// name (see selvo.def).
#include <windows.h>

#include "plugin/class_desc.h"
#include "plugin/module.h"
#include "res/resource.h"

// The host interface version this module is built against.
constexpr ULONG kHostInterfaceVersion = 0x0FA00800;

extern "C" {

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
  switch (reason) {
    case DLL_PROCESS_ATTACH: return AttachModule(instance);
    case DLL_PROCESS_DETACH: DetachModule(); return TRUE;
    default:  // threads come and go without concern to the module
      return TRUE;
  }
}

const char* LibDescription() { return GetString(IDS_LIB_DESCRIPTION); }

int LibNumberClasses() { return 1; }

ClassDesc* LibClassDesc(unsigned index) {
  return index == 0 ? PaletteRendererDescriptor() : nullptr;
}

ULONG LibVersion() { return kHostInterfaceVersion; }

}  // extern "C"
