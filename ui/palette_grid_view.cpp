#include "ui/palette_grid_view.h"

#include "host/sdk/custom_controls.h"
#include "ui/palette_grid.h"
#include "ui/setup_dialog.h"

namespace {

int ClientBottom(HWND dialog) {
  RECT client;
  GetClientRect(dialog, &client);
  return client.bottom;
}

// One brush per shape, deleted right after use: 400 paintings must not
// leave a single GDI object behind.
void DrawShapes(HDC dc, const std::vector<selvo::ui::GridShape>& shapes) {
  for (const selvo::ui::GridShape& shape : shapes) {
    HBRUSH brush = CreateSolidBrush(RGB(shape.red, shape.green, shape.blue));
    RECT rect;
    SetRect(&rect, shape.rect.left, shape.rect.top, shape.rect.right, shape.rect.bottom);
    if (shape.kind == selvo::ui::GridShape::kFill) FillRect(dc, &rect, brush);
    else FrameRect(dc, &rect, brush);
    DeleteObject(brush);
  }
}

void DrawGrid(HWND dialog, HDC dc, const selvo::RendererConfig& config) {
  const SetupDialogState& state = SetupState();
  SetMapMode(dc, MM_TEXT);
  DrawShapes(dc, selvo::ui::GridShapes(ClientBottom(dialog), state.WorkingPalette,
                                       config.ranges[state.Pick.ChosenId], state.Pick.AnchorIndex));
}

void UseSystemCursor(LPCSTR which) { SetCursor(LoadCursorA(nullptr, which)); }

}  // namespace

// Outside WM_PAINT (after a click): straight onto the dialog's own DC.
void PaintPaletteGrid(HWND dialog, const selvo::RendererConfig& settings) {
  HDC dc = GetDC(dialog);
  if (dc == nullptr) return;
  DrawGrid(dialog, dc, settings);
  ReleaseDC(dialog, dc);
}

// Painting within BeginPaint/EndPaint validates the window, so the default
// processing that follows finds nothing left to paint or erase.
void OnGridPaint(HWND dialog, const selvo::RendererConfig& settings) {
  PAINTSTRUCT paint;
  HDC dc = BeginPaint(dialog, &paint);
  if (dc != nullptr) DrawGrid(dialog, dc, settings);
  EndPaint(dialog, &paint);
}

void OnGridLeftClick(HWND dialog, selvo::RendererConfig& settings, int x, int y) {
  SetupDialogState& state = SetupState();
  const selvo::ui::ClickOutcome outcome =
      selvo::ui::LeftClick(state.Pick, settings, x, y, ClientBottom(dialog));
  if (outcome.pickCompleted) {
    const int id = state.Pick.ChosenId;
    const selvo::ColorRange& range = settings.ranges[id];
    if (state.FromSpinners[id] != nullptr) state.FromSpinners[id]->SetValue(range.from, 0);
    if (state.ToSpinners[id] != nullptr) state.ToSpinners[id]->SetValue(range.to, 0);
    UseSystemCursor(IDC_ARROW);
  }
  PaintPaletteGrid(dialog, settings);
}

void OnGridRightClick() {
  selvo::ui::RightClick(SetupState().Pick);
  UseSystemCursor(IDC_ARROW);
}

void OnPickButton(int id) {
  selvo::ui::StartPick(SetupState().Pick, id);
  UseSystemCursor(IDC_CROSS);
}
