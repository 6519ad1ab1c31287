#include "cli/config/settings_picture.h"

#include <algorithm>
#include <cstdio>
#include <optional>
#include <vector>

#include "cli/config/bitmap_font.h"
#include "core/frame_driver.h"
#include "imageio/png/png_io.h"

namespace selvo {
namespace {

constexpr int kGridSide = 16 * kCellPitch;
constexpr int kLegendLeft = kGridLeft + kGridSide + 16;
constexpr int kLineHeight = 12;
constexpr int kPictureWidth = kLegendLeft + 40 * kGlyphAdvance + 12;
constexpr int kPictureHeight = kGridTop + kGridSide + 12;
constexpr std::size_t kLongestShownName = 30;

constexpr Pixel64 Rgb(uint8_t r, uint8_t g, uint8_t b) {
  return Pixel64{uint16_t(r * 257), uint16_t(g * 257), uint16_t(b * 257), 65535};
}

constexpr Pixel64 kBackground = Rgb(255, 255, 255);
constexpr Pixel64 kSwatchFrame = Rgb(200, 200, 200);
constexpr Pixel64 kInk = Rgb(32, 32, 32);

class Canvas {
 public:
  Canvas(int width, int height) {
    image_.width = width;
    image_.height = height;
    image_.pixels.assign(std::size_t(width) * height, kBackground);
  }

  void Fill(int x, int y, int width, int height, Pixel64 color) {
    for (int row = std::max(y, 0); row < std::min(y + height, image_.height); ++row)
      for (int column = std::max(x, 0); column < std::min(x + width, image_.width); ++column)
        image_.pixels[std::size_t(row) * image_.width + column] = color;
  }

  void Frame(int x, int y, int width, int height, Pixel64 color) {
    Fill(x, y, width, 1, color);
    Fill(x, y + height - 1, width, 1, color);
    Fill(x, y, 1, height, color);
    Fill(x + width - 1, y, 1, height, color);
  }

  void Text(int x, int y, std::string_view text, Pixel64 color) {
    for (const char c : text) {
      for (int gy = 0; gy < kGlyphHeight; ++gy)
        for (int gx = 0; gx < kGlyphWidth; ++gx)
          if (GlyphPixel(c, gx, gy)) Fill(x + gx, y + gy, 1, 1, color);
      x += kGlyphAdvance;
    }
  }

  ColorImage Take() { return std::move(image_); }

 private:
  ColorImage image_;
};

int CellX(int entry) { return kGridLeft + entry / 16 * kCellPitch; }
int CellY(int entry) { return kGridTop + entry % 16 * kCellPitch; }

// IDs whose bands cover the same entries share one outline and one label.
struct Band {
  int from = 0;
  int to = 0;
  std::vector<int> ids;
};

std::vector<Band> DrawnBands(const RendererConfig& config) {
  std::vector<Band> bands;
  for (int id = 0; id < kRangeCount; ++id) {
    const ColorRange& range = config.ranges[id];
    if (range.from > range.to) continue;  // maps no entry, as the dialog frames none
    auto same = std::find_if(bands.begin(), bands.end(), [&](const Band& band) {
      return band.from == range.from && band.to == range.to;
    });
    if (same == bands.end()) same = bands.insert(bands.end(), Band{range.from, range.to, {}});
    same->ids.push_back(id);
  }
  return bands;
}

// "0-15", "1,3", "2-4,7".
std::string IdList(const std::vector<int>& ids) {
  std::string text;
  for (std::size_t i = 0; i < ids.size();) {
    std::size_t end = i;
    while (end + 1 < ids.size() && ids[end + 1] == ids[end] + 1) ++end;
    if (!text.empty()) text += ",";
    text += std::to_string(ids[i]);
    if (end > i) text += "-" + std::to_string(ids[end]);
    i = end + 1;
  }
  return text;
}

// The outline follows the band's edge through the grid: a bar on each side
// of a cell whose neighbour lies outside the band, and a corner square where
// the band turns inwards.
void OutlineBand(Canvas& canvas, const Band& band, Pixel64 color) {
  const auto inside = [&](int column, int row) {
    if (column < 0 || column > 15 || row < 0 || row > 15) return false;
    const int entry = column * 16 + row;
    return entry >= band.from && entry <= band.to;
  };
  const int w = kOutlineWidth;
  const int far = kCellPitch - w;
  for (int entry = band.from; entry <= band.to; ++entry) {
    const int column = entry / 16, row = entry % 16;
    const int x = CellX(entry), y = CellY(entry);
    if (!inside(column, row - 1)) canvas.Fill(x, y, kCellPitch, w, color);
    if (!inside(column, row + 1)) canvas.Fill(x, y + far, kCellPitch, w, color);
    if (!inside(column - 1, row)) canvas.Fill(x, y, w, kCellPitch, color);
    if (!inside(column + 1, row)) canvas.Fill(x + far, y, w, kCellPitch, color);
    for (const int dx : {-1, 1})
      for (const int dy : {-1, 1})
        if (inside(column + dx, row) && inside(column, row + dy) && !inside(column + dx, row + dy))
          canvas.Fill(x + (dx < 0 ? 0 : far), y + (dy < 0 ? 0 : far), w, w, color);
  }
}

// White text on dark band colours, dark text on light ones.
Pixel64 TextOn(Pixel64 color) { return Luminance(color) > 150 * 257 ? kInk : kBackground; }

void LabelBand(Canvas& canvas, const Band& band, Pixel64 color, std::vector<bool>& labelled) {
  // The band's first cell, or its last when another label took the first.
  std::optional<int> cell;
  for (const int entry : {band.from, band.to})
    if (!cell && !labelled[entry]) cell = entry;
  if (!cell) return;
  labelled[*cell] = true;
  const std::string text = IdList(band.ids);
  const int x = CellX(*cell) + kSwatchInset, y = CellY(*cell) + kSwatchInset;
  canvas.Fill(x, y, int(text.size()) * kGlyphAdvance + 1, kGlyphHeight + 2, color);
  canvas.Text(x + 1, y + 1, text, TextOn(color));
}

void DrawPalette(Canvas& canvas, const RendererConfig& config) {
  for (int entry = 0; entry < 256; ++entry) {
    const uint8_t* rgb = config.palette + 3 * entry;
    const int x = CellX(entry) + kSwatchInset, y = CellY(entry) + kSwatchInset;
    canvas.Frame(x - 1, y - 1, kSwatchSize + 2, kSwatchSize + 2, kSwatchFrame);
    canvas.Fill(x, y, kSwatchSize, kSwatchSize, Rgb(rgb[0], rgb[1], rgb[2]));
  }
  // Column heads give the first entry of the column, row heads its offset.
  for (int i = 0; i < 16; ++i) {
    const std::string column = std::to_string(i * 16);
    canvas.Text(CellX(i * 16) + (kCellPitch - int(column.size()) * kGlyphAdvance) / 2,
                kGridTop - kGlyphHeight - 4, column, kInk);
    const std::string row = std::to_string(i);
    canvas.Text(kGridLeft - 4 - int(row.size()) * kGlyphAdvance,
                CellY(i) + (kCellPitch - kGlyphHeight) / 2, row, kInk);
  }
}

std::string Shortened(std::string_view name) {
  if (name.size() <= kLongestShownName) return std::string(name);
  return std::string(name.substr(0, kLongestShownName - 3)) + "...";
}

void DrawLegend(Canvas& canvas, const RendererConfig& config, const std::vector<Band>& bands) {
  int y = kGridTop;
  const auto line = [&](const std::string& text) {
    canvas.Text(kLegendLeft, y, text, kInk);
    y += kLineHeight;
  };
  line(std::string("method  ") +
       (UsesUniformDistribution(config) ? "uniform distribution" : "most similar colour"));
  line(std::string("source  ") + (config.sourceChannel == kMaterialEffectsChannel
                                      ? "material effects channel"
                                      : "object channel"));
  const std::optional<std::string_view> name = OutputName(config);
  line("output  " + (name ? Shortened(*name) : std::string("(no terminating NUL)")));
  const std::string example = name ? ComposeOutputName(*name, 1) : "";
  line("        frame 1: " + (example.empty() ? std::string("no file") : Shortened(example)));
  y += kLineHeight;
  line("    ID  entries         dither");
  for (int id = 0; id < kRangeCount; ++id) {
    const ColorRange& range = config.ranges[id];
    char text[64];
    if (range.from > range.to)
      std::snprintf(text, sizeof text, "%2d  none (%u > %u)", id, range.from, range.to);
    else
      std::snprintf(text, sizeof text, "%2d  %3u-%-3u (%3d)   %s", id, range.from, range.to,
                    range.to - range.from + 1, range.dither ? "on" : "off");
    for (const Band& band : bands)
      if (band.from == range.from && band.to == range.to)
        canvas.Fill(kLegendLeft, y, 3 * kGlyphAdvance - 4, kGlyphHeight - 1,
                    BandColor(band.ids[0]));
    canvas.Text(kLegendLeft + 3 * kGlyphAdvance, y, text, kInk);
    y += kLineHeight;
  }
}

}  // namespace

Pixel64 BandColor(int id) {
  static const Pixel64 kColors[kRangeCount] = {
      Rgb(228, 26, 28),   Rgb(55, 126, 184), Rgb(77, 175, 74),   Rgb(152, 78, 163),
      Rgb(255, 127, 0),   Rgb(166, 86, 40),  Rgb(247, 129, 191), Rgb(27, 158, 119),
      Rgb(117, 112, 179), Rgb(231, 41, 138), Rgb(102, 166, 30),  Rgb(230, 171, 2),
      Rgb(11, 79, 108),   Rgb(140, 45, 4),   Rgb(0, 206, 209),   Rgb(85, 85, 85)};
  return kColors[id];
}

ColorImage DrawSettingsPicture(const RendererConfig& config) {
  Canvas canvas(kPictureWidth, kPictureHeight);
  DrawPalette(canvas, config);
  const std::vector<Band> bands = DrawnBands(config);
  for (const Band& band : bands) OutlineBand(canvas, band, BandColor(band.ids[0]));
  // Small bands have the fewest cells to carry a label: they choose first.
  std::vector<Band> bySize = bands;
  std::stable_sort(bySize.begin(), bySize.end(),
                   [](const Band& a, const Band& b) { return a.to - a.from < b.to - b.from; });
  std::vector<bool> labelled(256, false);
  for (const Band& band : bySize) LabelBand(canvas, band, BandColor(band.ids[0]), labelled);
  DrawLegend(canvas, config, bands);
  return canvas.Take();
}

std::string SaveSettingsPicture(const std::string& path, const RendererConfig& config) {
  return WritePngRgba16(path, DrawSettingsPicture(config));
}

}  // namespace selvo
