#include "host/sdk/class_desc.h"

#include <cstdlib>
#include <cstring>

#include "host/sdk/utilities.h"

ClassDesc::ClassDesc() = default;

ClassDesc::~ClassDesc() { zfree(reinterpret_cast<void**>(&interfaces_)); }

const char* ClassDesc::GetRsrcString(long) { return nullptr; }

FPInterface* ClassDesc::GetInterface(Interface_ID id) {
  for (int i = 0; i < interfaceCount_; ++i)
    if (interfaces_[i]->GetID() == id) return interfaces_[i];
  return nullptr;
}

FPInterface* ClassDesc::GetInterface(const char* name) {
  if (name == nullptr) return nullptr;
  for (int i = 0; i < interfaceCount_; ++i) {
    const char* own = interfaces_[i]->GetName();
    if (own != nullptr && std::strcmp(own, name) == 0) return interfaces_[i];
  }
  return nullptr;
}

void ClassDesc::AddInterface(FPInterface* extension) {
  if (extension == nullptr || GetInterface(extension->GetID()) != nullptr) return;
  void* grown = std::realloc(interfaces_, (interfaceCount_ + 1) * sizeof(FPInterface*));
  if (grown == nullptr) return;
  interfaces_ = static_cast<FPInterface**>(grown);
  interfaces_[interfaceCount_++] = extension;
}

int ClassDesc::NumInterfaces() { return interfaceCount_; }

FPInterface* ClassDesc::GetInterfaceAt(int index) {
  if (index < 0 || index >= interfaceCount_) return nullptr;
  return interfaces_[index];
}
