// The filter object the host works with: identification, the setup and
// about dialogs, persisted settings, and rendering a frame into palette
// indices and a PCX file.
#pragma once

#include "core/renderer_config.h"
#include "host/sdk/image_filter.h"

class PaletteRenderer : public ImageFilter {
 public:
  PaletteRenderer();  // settings at their defaults

  const char* GetDescription() override;
  const char* GetAuthorName() override;
  const char* GetCopyrightMessage() override;
  DWORD GetVersion() override;
  DWORD GetCapability() override;
  int ShowAboutBox(HWND parent) override;
  BOOL ShowSetupDialog(HWND parent) override;
  BOOL RenderFrame(HWND progressWindow) override;
  DWORD GetConfigSize() override;
  BOOL LoadConfig(void* block) override;
  BOOL SaveConfig(void* block) override;
  DWORD GetRequiredChannels() override;

  // The settings the setup dialog edits in place.
  selvo::RendererConfig& Config() { return config_; }

 private:
  selvo::RendererConfig config_;
};
