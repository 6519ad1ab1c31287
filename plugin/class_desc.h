// The descriptor of the module's one class, the palette renderer filter.
#pragma once

#include "host/sdk/class_desc.h"

constexpr Class_ID kPaletteRendererClassId(0x130079D8, 0x05A618A8);

class PaletteRendererClassDesc : public ClassDesc {
 public:
  int IsPublic() override;
  void* Create(BOOL loading) override;
  int BeginCreate(Interface* host) override;
  int EndCreate(Interface* host) override;
  const char* ClassName() override;
  SClass_ID SuperClassID() override;
  Class_ID ClassID() override;
  const char* Category() override;
};

// The module's one descriptor: built when the module loads, torn down when
// it unloads.
ClassDesc* PaletteRendererDescriptor();
