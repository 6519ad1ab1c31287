#include "plugin/palette_renderer.h"

#include "core/frame_driver.h"
#include "plugin/host_frame.h"
#include "plugin/module.h"
#include "res/resource.h"
#include "ui/dialogs.h"

namespace {
constexpr DWORD kFilterVersion = 110;
}

PaletteRenderer::PaletteRenderer() = default;

const char* PaletteRenderer::GetDescription() { return GetString(IDS_FILTER_DESCRIPTION); }

const char* PaletteRenderer::GetAuthorName() { return "The Selvo authors"; }

const char* PaletteRenderer::GetCopyrightMessage() { return "Copyright (C) the Selvo authors"; }

DWORD PaletteRenderer::GetVersion() { return kFilterVersion; }

DWORD PaletteRenderer::GetCapability() {
  return kFilterCapabilityConfigure | kFilterCapabilityAbout;
}

int PaletteRenderer::ShowAboutBox(HWND parent) {
  return RunAboutBox(Module().instance, parent, this);
}

BOOL PaletteRenderer::ShowSetupDialog(HWND parent) {
  return RunSetupDialog(Module().instance, parent, config_);
}

// 0 only when the host handed in no frame; every other outcome (nothing to
// render, aborted, unwritable file) is a completed call.
BOOL PaletteRenderer::RenderFrame(HWND progressWindow) {
  if (Source() == nullptr) return FALSE;
  HostFrame frame(*Source(), FilterInfo());
  HostProgressWindow progress(progressWindow);
  selvo::FrameBuffers buffers;  // released on return
  selvo::RenderFrame(config_, frame.View(selvo::SelectedIdChannel(config_)), progress, buffers,
                     selvo::WritePcxInPlace);
  return TRUE;
}

DWORD PaletteRenderer::GetConfigSize() { return selvo::GetConfigSize(); }

// The host's answers: 1 when the block was taken or written, else 0.
BOOL PaletteRenderer::LoadConfig(void* block) {
  return selvo::LoadConfig(config_, block) ? TRUE : FALSE;
}

BOOL PaletteRenderer::SaveConfig(void* block) {
  return selvo::SaveConfig(config_, block) ? TRUE : FALSE;
}

DWORD PaletteRenderer::GetRequiredChannels() {
  return HostChannelSelector(selvo::SelectedIdChannel(config_));
}
