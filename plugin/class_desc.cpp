#include "plugin/class_desc.h"

#include <new>

#include "plugin/module.h"
#include "plugin/palette_renderer.h"
#include "res/resource.h"

int PaletteRendererClassDesc::IsPublic() { return 1; }

// The host casts the result to its ImageFilter.
void* PaletteRendererClassDesc::Create(BOOL) {
  return static_cast<ImageFilter*>(new (std::nothrow) PaletteRenderer);
}

// Filters are not created interactively in the viewports.
int PaletteRendererClassDesc::BeginCreate(Interface*) { return 0; }
int PaletteRendererClassDesc::EndCreate(Interface*) { return 0; }

const char* PaletteRendererClassDesc::ClassName() { return GetString(IDS_CLASS_NAME); }

SClass_ID PaletteRendererClassDesc::SuperClassID() { return kImageFilterSuperClassId; }

Class_ID PaletteRendererClassDesc::ClassID() { return kPaletteRendererClassId; }

const char* PaletteRendererClassDesc::Category() { return GetString(IDS_CATEGORY); }

namespace {
PaletteRendererClassDesc descriptor;
}

ClassDesc* PaletteRendererDescriptor() { return &descriptor; }
