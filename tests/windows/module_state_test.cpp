// The attach and detach rules, driven directly: a real process attaches a
// DLL only once, so the second attach and the attach after a detach can
// only be reached by calling what DllMain dispatches to. The module's
// resources are linked into this program, which stands in as the module.
#include <gtest/gtest.h>

#include "host/sdk/custom_controls.h"
#include "plugin/module.h"

namespace {

TEST(ModuleState, AttachDetachAttachInitialisesControlsOnce) {
  const HINSTANCE self = GetModuleHandleA(nullptr);
  DetachModule();
  EXPECT_EQ(nullptr, GetString(1)) << "no strings before attach";

  const int before = CustomControlsInitCount();
  EXPECT_TRUE(AttachModule(self));
  EXPECT_EQ(self, Module().instance);
  EXPECT_EQ(before + 1, CustomControlsInitCount());

  EXPECT_FALSE(AttachModule(self)) << "a second attach without detach fails";
  EXPECT_EQ(before + 1, CustomControlsInitCount());

  DetachModule();
  EXPECT_EQ(nullptr, Module().instance);
  EXPECT_EQ(nullptr, GetString(1));

  EXPECT_TRUE(AttachModule(self));
  EXPECT_EQ(before + 1, CustomControlsInitCount()) << "controls initialised once";
  DetachModule();
}

TEST(ModuleState, GetStringLoadsIntoTheSharedBuffer) {
  DetachModule();
  ASSERT_TRUE(AttachModule(GetModuleHandleA(nullptr)));
  const char* first = GetString(1);
  ASSERT_NE(nullptr, first);
  EXPECT_EQ(Module().strings, first);
  EXPECT_STREQ("Selvo Renderer", first);
  EXPECT_EQ(first, GetString(5));
  EXPECT_STREQ("Selvo Palette Renderer", first);
  EXPECT_EQ(nullptr, GetString(4)) << "no string 4 in the table";
  EXPECT_STREQ("Image Filter", GetString(2));
  DetachModule();
}

}  // namespace
