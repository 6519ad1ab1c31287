// The file-name rules and the palette grid on arbitrary inputs: a name as
// the file dialog might return it through the choosers' extension and
// digit-stripping rules and the frame driver's composition, and a stream of
// clicks and pick buttons through the grid's hit test and pick states.
//
// Input layout: byte 0 picks one of two halves; the rest is a name (the
// names half, byte 0 even) or a client bottom and events of 5 bytes each
// (the grid half, byte 0 odd).
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <string_view>

#include "core/frame_driver.h"
#include "fuzz/byte_reader.h"
#include "fuzz/fuzz_check.h"
#include "ui/chooser_names.h"
#include "ui/palette_grid.h"

namespace {

using namespace selvo;
using namespace selvo::ui;

bool EndsWithPcx(std::string_view name) {
  if (name.size() < 4) return false;
  std::string tail(name.substr(name.size() - 4));
  for (char& c : tail) c = char(c >= 'A' && c <= 'Z' ? c + 32 : c);
  return tail == ".pcx";
}

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

void CheckNames(std::string_view chosen, int frameNumber) {
  const std::string extended = WithPcxExtension(chosen);
  CHECK(EndsWithPcx(extended));
  CHECK(extended == (EndsWithPcx(chosen) ? std::string(chosen) : std::string(chosen) + ".pcx"));

  const std::optional<std::string> palette = PaletteFileName(chosen);
  CHECK(palette ? *palette == extended : extended.size() > kMaxChosenName);

  // The base keeps what precedes the first "." and its digits, then ".pcx".
  const std::optional<std::string> base = OutputBaseName(chosen);
  if (!base) {
    CHECK(extended.size() > kMaxChosenName);
    return;
  }
  CHECK(base->size() <= kMaxChosenName && base->size() >= 4);
  const std::string stem = base->substr(0, base->size() - 4);
  CHECK(base->compare(stem.size(), 4, ".pcx") == 0);
  CHECK(stem.find('.') == std::string::npos);
  CHECK(extended.compare(0, stem.size(), stem) == 0);
  CHECK(stem.empty() || !IsDigit(stem.back()));
  std::size_t cut = stem.size();
  while (IsDigit(extended[cut])) ++cut;
  CHECK(extended[cut] == '.');
  CHECK(OutputBaseName(*base) == base);  // choosing the stored name again keeps it

  // The frame driver names each frame from the stored base.
  char number[32];
  std::snprintf(number, sizeof number, "%04d.pcx", frameNumber);
  const std::string frame = ComposeOutputName(*base, frameNumber);
  const std::string expected = stem + number;
  CHECK(frame == (expected.size() <= kNameSize - 1 ? expected : ""));

  // A stored name of any bytes composes within the buffer or not at all.
  const std::string raw = ComposeOutputName(chosen, frameNumber);
  const std::string rawExpected = std::string(chosen.substr(0, chosen.find('.'))) + number;
  CHECK(raw == (rawExpected.size() <= kNameSize - 1 ? rawExpected : ""));
}

void CheckHit(int x, int y, int bottom) {
  const std::optional<int> cell = HitCell(x, y, bottom);
  const int64_t top = int64_t(bottom) - 164;
  const bool inside = x >= 25 && x <= 168 && y >= top && y <= top + 95;
  CHECK(cell.has_value() == inside);
  if (!cell) return;
  CHECK(*cell >= 0 && *cell < kGridCells);
  // The cell's swatch lies on the clicked row, and the click on its swatch
  // or the gap to its left.
  const GridRect swatch = SwatchRect(*cell, bottom);
  CHECK(y >= swatch.top && y < swatch.bottom);
  CHECK(x >= swatch.left - 3 && x < swatch.right);
}

void CheckGrid(ByteReader in) {
  // Client heights of real dialogs; the grid's arithmetic must hold for all.
  const int bottom = int16_t(in.U16());
  GridPickState state;
  RendererConfig config;
  uint8_t palette[kPaletteSize];
  for (int i = 0; i < int(kPaletteSize); ++i) palette[i] = uint8_t(i * 7);
  while (in.More()) {
    const uint8_t kind = in.Byte();
    const int x = in.U16();
    const int y = in.U16();
    CheckHit(x, y, bottom);
    const GridPickState before = state;
    const RendererConfig old = config;
    switch (kind % 3) {
      case 0:
        StartPick(state, x % 16);
        CHECK(state.ChosenId == x % 16 && state.PickPending == 1);
        break;
      case 1: {
        const ClickOutcome outcome = LeftClick(state, config, x, y, bottom);
        const std::optional<int> cell = HitCell(x, y, bottom);
        CHECK(outcome.hit == cell.has_value());
        CHECK(outcome.pickCompleted == (cell && before.PickPending != 0));
        if (outcome.pickCompleted) {
          CHECK(config.ranges[state.ChosenId].from == before.AnchorIndex);
          CHECK(config.ranges[state.ChosenId].to == *cell);
          CHECK(state.PickPending == 0 && state.AnchorIndex == before.AnchorIndex);
        } else if (cell) {
          CHECK(state.AnchorIndex == *cell);
        }
        for (int id = 0; id < kRangeCount; ++id) {
          if (outcome.pickCompleted && id == state.ChosenId) continue;
          CHECK(std::memcmp(&config.ranges[id], &old.ranges[id], sizeof(ColorRange)) == 0);
        }
        break;
      }
      default:
        RightClick(state);
        CHECK(state.PickPending == 0 && state.ChosenId == before.ChosenId &&
              state.AnchorIndex == before.AnchorIndex);
    }
    CHECK(state.AnchorIndex >= 0 && state.AnchorIndex < kGridCells);
    CHECK(state.ChosenId >= 0 && state.ChosenId < kRangeCount);

    const ColorRange range = config.ranges[state.ChosenId];
    const std::vector<GridShape> shapes = GridShapes(bottom, palette, range, state.AnchorIndex);
    const std::size_t frames = range.from <= range.to ? range.to - range.from + 1 : 0;
    CHECK(shapes.size() == 1 + kGridCells + frames + 1);
    CHECK(shapes.back().rect == CellFrameRect(state.AnchorIndex, bottom));
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  if (size < 1) return 0;
  ByteReader in{data + 1, size - 1};
  if (data[0] % 2 == 0) {
    const int32_t frame = int32_t(in.U32());
    CheckNames(std::string_view(reinterpret_cast<const char*>(data) + 1, size - 1), frame);
  } else {
    CheckGrid(in);
  }
  return 0;
}
