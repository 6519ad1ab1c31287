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

  // The setup dialog's operations on this filter (ui/).
  INT_PTR HandleSetupMessage(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
  void UpdateDitherEnabling(HWND dialog);  // Dither boxes only for uniform distribution
  void PaintPaletteGrid(HWND dialog);
  int BrowseOutputName(HWND dialog);  // 1 when a new output name was stored
  int BrowsePalettePcx(HWND dialog);  // 1 when a file was handed to the palette reader

 private:
  selvo::RendererConfig config_;
};
