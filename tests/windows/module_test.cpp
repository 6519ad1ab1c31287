// Selvo.flt as the host meets it: loaded with LoadLibrary and reached only
// through its four exports and the class descriptor they lead to.
#include <gtest/gtest.h>

#include <cstring>

#include "host/sdk/custom_controls.h"
#include "windows_test_support.h"

namespace {

class ModuleTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string error;
    ASSERT_TRUE(module.Load(wintest::ModulePath(), error)) << error;
  }
  LoadedModule module;
};

TEST_F(ModuleTest, ExportsIdentifyTheModule) {
  EXPECT_STREQ("Selvo Renderer", module.LibDescription());
  EXPECT_EQ(1, module.LibNumberClasses());
  EXPECT_EQ(0x0FA00800UL, module.LibVersion());
}

TEST_F(ModuleTest, OneDescriptorAtIndexZeroOnly) {
  ClassDesc* first = module.LibClassDesc(0);
  ASSERT_NE(nullptr, first);
  EXPECT_EQ(first, module.LibClassDesc(0));
  EXPECT_EQ(nullptr, module.LibClassDesc(1));
  EXPECT_EQ(nullptr, module.LibClassDesc(0xFFFFFFFFu));
}

TEST_F(ModuleTest, DescriptorNamesTheImageFilterClass) {
  ClassDesc& descriptor = *module.LibClassDesc(0);
  EXPECT_EQ(1, descriptor.IsPublic());
  EXPECT_STREQ("Selvo Renderer", descriptor.ClassName());
  EXPECT_STREQ("Image Filter", descriptor.Category());
  EXPECT_EQ(0x0E00UL, descriptor.SuperClassID());
  EXPECT_EQ(0x130079D8UL, descriptor.ClassID().PartA());
  EXPECT_EQ(0x05A618A8UL, descriptor.ClassID().PartB());
  EXPECT_EQ(0, descriptor.BeginCreate(nullptr));
  EXPECT_EQ(0, descriptor.EndCreate(nullptr));
}

// Every string the module hands out lives in one 256-character buffer: the
// second lookup overwrites the text the first one returned.
TEST_F(ModuleTest, StringsShareOneBuffer) {
  ClassDesc& descriptor = *module.LibClassDesc(0);
  const char* className = descriptor.ClassName();
  ASSERT_STREQ("Selvo Renderer", className);
  const char* category = descriptor.Category();
  EXPECT_EQ(className, category);
  EXPECT_STREQ("Image Filter", className);

  FilterPtr filter = CreateFilter(descriptor);
  ASSERT_NE(nullptr, filter);
  EXPECT_EQ(className, filter->GetDescription());
  EXPECT_STREQ("Selvo Palette Renderer", className);
  EXPECT_EQ(className, module.LibDescription());
}

class NamedExtension : public FPInterface {
 public:
  Interface_ID GetID() override { return Interface_ID{0x1234, 0x5678}; }
  const char* GetName() override { return "Extension"; }
};

// The descriptor keeps the host's defaults for everything it does not
// answer itself, including its interface list.
TEST_F(ModuleTest, DescriptorKeepsTheHostDefaults) {
  ClassDesc& descriptor = *module.LibClassDesc(0);
  EXPECT_EQ(nullptr, descriptor.GetRsrcString(1));
  EXPECT_EQ(0, descriptor.NumInterfaces());
  EXPECT_EQ(nullptr, descriptor.GetInterface(Interface_ID{0x1234, 0x5678}));

  NamedExtension extension;
  descriptor.AddInterface(&extension);
  EXPECT_EQ(1, descriptor.NumInterfaces());
  EXPECT_EQ(&extension, descriptor.GetInterface(Interface_ID{0x1234, 0x5678}));
  EXPECT_EQ(&extension, descriptor.GetInterface("Extension"));
  EXPECT_EQ(nullptr, descriptor.GetInterface("Other"));
  EXPECT_EQ(&extension, descriptor.GetInterfaceAt(0));
  EXPECT_EQ(nullptr, descriptor.GetInterfaceAt(1));
}

// The list survives the module's unload (released with zfree), and a fresh
// load starts with an empty one again.
TEST(ModuleLoad, ReloadStartsWithAnEmptyInterfaceList) {
  NamedExtension extension;
  std::string error;
  {
    LoadedModule first;
    ASSERT_TRUE(first.Load(wintest::ModulePath(), error)) << error;
    first.LibClassDesc(0)->AddInterface(&extension);
  }
  LoadedModule second;
  ASSERT_TRUE(second.Load(wintest::ModulePath(), error)) << error;
  EXPECT_EQ(0, second.LibClassDesc(0)->NumInterfaces());
}

// Each load of the module attaches it once and initialises the host's
// custom controls once.
TEST(ModuleLoad, AttachInitialisesCustomControlsOnce) {
  const int before = CustomControlsInitCount();
  std::string error;
  LoadedModule module;
  ASSERT_TRUE(module.Load(wintest::ModulePath(), error)) << error;
  EXPECT_EQ(before + 1, CustomControlsInitCount());
  // Loading it again only counts a reference; nothing attaches twice.
  LoadedModule again;
  ASSERT_TRUE(again.Load(wintest::ModulePath(), error)) << error;
  EXPECT_EQ(before + 1, CustomControlsInitCount());
}

TEST(ModuleLoad, MissingFileIsReported) {
  std::string error;
  LoadedModule module;
  EXPECT_FALSE(module.Load("no-such-module.flt", error));
  EXPECT_FALSE(error.empty());
}

}  // namespace
