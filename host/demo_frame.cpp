#include "host/demo_frame.h"

#include <algorithm>

#include "core/renderer_config.h"
#include "demo/demo_scene.h"

std::unique_ptr<Bitmap> MakeDemoFrame(int frameNumber) {
  const selvo::DemoScene scene =
      selvo::RenderDemoScene(selvo::kDemoWidth, selvo::kDemoHeight, frameNumber);
  auto frame = std::make_unique<Bitmap>(WORD(scene.width), WORD(scene.height));
  BMM_Color_64* pixels = frame->Storage();
  auto* materialIds = static_cast<BYTE*>(frame->CreateChannel(kMaterialEffectsIdChannel));
  auto* objectIds = static_cast<WORD*>(frame->CreateChannel(kObjectIdChannel));
  if (pixels == nullptr || materialIds == nullptr || objectIds == nullptr) return nullptr;

  std::transform(scene.pixels.begin(), scene.pixels.end(), pixels, [](const selvo::Pixel64& p) {
    return BMM_Color_64{p.r, p.g, p.b, p.a};
  });
  std::copy(scene.materialIds.begin(), scene.materialIds.end(), materialIds);
  std::copy(scene.objectIds.begin(), scene.objectIds.end(), objectIds);
  return frame;
}

std::vector<uint8_t> DemoSettingsBlock() {
  std::vector<uint8_t> block(selvo::kConfigSize);
  selvo::SaveConfig(selvo::DemoConfig(), block.data());
  return block;
}
