#include "ui/file_choosers.h"

#include <commdlg.h>

#include <cstddef>
#include <cstring>
#include <optional>
#include <string>

#include "host/sdk/utilities.h"
#include "pcx/pcx_palette.h"
#include "ui/chooser_names.h"
#include "ui/setup_dialog.h"

namespace {

// Module-wide and never changed: both choosers open on their first (and
// only) filter, in no particular folder.
constexpr DWORD kOutputFilterIndex = 1;
constexpr DWORD kPaletteFilterIndex = 1;
const char kInitialDirectory[] = "";

constexpr char kOutputTitle[] = "Save File Name (Frame number will be added automatically)";
constexpr char kPaletteTitle[] = "Load Palette from PCX";

struct PcxFilter {
  PcxFilter() {
    list.Append("PCX Files (*.pcx)");
    list.Append("*.pcx");
  }
  FilterList list;  // its buffer goes back through zfree on every exit
};

// The record in its version-4 form, without the later extension fields; the
// platform's constant gives that size on either target.
// (The constant itself is no constant expression; this is its definition.)
static_assert(offsetof(OPENFILENAMEA, lpTemplateName) + sizeof(LPCSTR) ==
                  (sizeof(void*) == 4 ? 76 : 136),
              "the version-4 OPENFILENAME record is 76 bytes on 32-bit Windows");
OPENFILENAMEA ChooserRecord(HWND dialog, PcxFilter& filter, DWORD filterIndex,
                            char (&name)[selvo::kNameSize], const char* title, DWORD flags) {
  OPENFILENAMEA record;
  std::memset(&record, 0, sizeof record);
  record.lStructSize = OPENFILENAME_SIZE_VERSION_400A;
  record.hwndOwner = dialog;
  record.hInstance = reinterpret_cast<HINSTANCE>(GetWindowLongPtrA(dialog, GWLP_HINSTANCE));
  record.lpstrFilter = filter.list;
  record.nFilterIndex = filterIndex;
  record.lpstrFile = name;
  record.nMaxFile = selvo::kNameSize;
  record.lpstrInitialDir = kInitialDirectory;
  record.lpstrTitle = title;
  record.Flags = flags;
  return record;
}

}  // namespace

int BrowseOutputName(HWND dialog, selvo::RendererConfig& settings) {
  PcxFilter filter;
  char name[selvo::kNameSize] = {};
  // The stored name, not what edit box shows now; 255 characters at most.
  std::memcpy(name, settings.outputName, selvo::kNameSize - 1);
  OPENFILENAMEA record =
      ChooserRecord(dialog, filter, kOutputFilterIndex, name, kOutputTitle, OFN_HIDEREADONLY);
  if (!GetOpenFileNameA(&record)) return 0;
  // A name too long for the settings once ".pcx" is in place is dropped
  // like a cancelled choice rather than cut or overflowing the buffer.
  const std::optional<std::string> base = selvo::ui::OutputBaseName(name);
  if (!base) return 0;
  // At once, not at OK: Cancel of the setup dialog keeps the new name.
  std::memcpy(settings.outputName, base->c_str(), base->size() + 1);
  return 1;
}

int BrowsePalettePcx(HWND dialog) {
  PcxFilter filter;
  char name[selvo::kNameSize] = {};
  std::strcpy(name, kInitialDirectory);
  OPENFILENAMEA record = ChooserRecord(dialog, filter, kPaletteFilterIndex, name, kPaletteTitle,
                                       OFN_PATHMUSTEXIST | OFN_HIDEREADONLY);
  if (!GetOpenFileNameA(&record)) return 0;
  const std::optional<std::string> path = selvo::ui::PaletteFileName(name);
  if (!path) return 0;
  // An unreadable file leaves the working palette as it was; the grid shows
  // the new colours at its next painting.
  selvo::ReadPcxPalette(*path, SetupState().WorkingPalette);
  return 1;
}
