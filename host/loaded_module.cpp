#include "host/loaded_module.h"

namespace {

template <typename Function>
bool Find(HMODULE module, const char* name, Function& function, std::string& error) {
  function = reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(module, name)));
  if (function == nullptr) error = std::string("no export ") + name;
  return function != nullptr;
}

}  // namespace

LoadedModule::~LoadedModule() {
  if (module_ != nullptr) FreeLibrary(module_);
}

bool LoadedModule::Load(const std::string& path, std::string& error) {
  if (module_ != nullptr) {
    error = "a module is already loaded";
    return false;
  }
  HMODULE module = LoadLibraryA(path.c_str());
  if (module == nullptr) {
    error = "cannot load (error " + std::to_string(GetLastError()) + ")";
    return false;
  }
  if (!Find(module, "LibDescription", description_, error) ||
      !Find(module, "LibNumberClasses", numberClasses_, error) ||
      !Find(module, "LibClassDesc", classDesc_, error) ||
      !Find(module, "LibVersion", version_, error)) {
    FreeLibrary(module);
    return false;
  }
  module_ = module;
  return true;
}
