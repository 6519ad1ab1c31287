// A filter module loaded the way the host loads one: LoadLibrary, then only
// its four exports and the class descriptors they lead to.
#pragma once

#include <windows.h>

#include <memory>
#include <string>

#include "host/sdk/class_desc.h"
#include "host/sdk/image_filter.h"

class LoadedModule {
 public:
  LoadedModule() = default;
  ~LoadedModule();
  LoadedModule(const LoadedModule&) = delete;
  LoadedModule& operator=(const LoadedModule&) = delete;

  // False, with `error` saying why, when the file does not load or lacks
  // one of the four exports.
  bool Load(const std::string& path, std::string& error);

  // The exports; call them only after a successful Load.
  const char* LibDescription() const { return description_(); }
  int LibNumberClasses() const { return numberClasses_(); }
  ClassDesc* LibClassDesc(unsigned index) const { return classDesc_(index); }
  ULONG LibVersion() const { return version_(); }

 private:
  HMODULE module_ = nullptr;
  const char* (*description_)() = nullptr;
  int (*numberClasses_)() = nullptr;
  ClassDesc* (*classDesc_)(unsigned) = nullptr;
  ULONG (*version_)() = nullptr;
};

// A filter object the host owns; destroyed through its virtual destructor,
// which frees it inside the module that made it.
struct FilterDeleter {
  void operator()(ImageFilter* filter) const { delete filter; }
};
using FilterPtr = std::unique_ptr<ImageFilter, FilterDeleter>;

// A new filter of an image-filter class; null when the module made none.
inline FilterPtr CreateFilter(ClassDesc& descriptor) {
  return FilterPtr(static_cast<ImageFilter*>(descriptor.Create(FALSE)));
}
