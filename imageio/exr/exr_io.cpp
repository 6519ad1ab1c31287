#include "imageio/exr/exr_io.h"

#include <ImfChannelList.h>
#include <ImfFrameBuffer.h>
#include <ImfHeader.h>
#include <ImfInputPart.h>
#include <ImfMultiPartInputFile.h>
#include <ImfPartType.h>
#include <ImfRgbaFile.h>
#include <ImfStdIO.h>
#include <ImfThreading.h>
#include <ImfTileDescription.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <exception>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <stdexcept>

#include "core/renderer_config.h"
#include "imageio/image.h"
#include "imageio/srgb.h"
#include "imageio/text.h"

namespace selvo {
namespace {

// How far a stored ID may lie from a whole number and still count as one:
// half-float and filtered passes can carry a little noise, an averaged edge
// pixel (2.5) cannot be trusted.
constexpr double kIdTolerance = 0.01;

// --- channel names ------------------------------------------------------------

bool Contains(const std::vector<std::string>& names, const std::string& name) {
  return std::find(names.begin(), names.end(), name) != names.end();
}

bool EndsWith(const std::string& text, const std::string& suffix) {
  return text.size() >= suffix.size() &&
         text.compare(text.size() - suffix.size(), suffix.size(), suffix) == 0;
}

std::string Join(const std::vector<std::string>& names, std::size_t limit = 8) {
  std::string joined;
  for (std::size_t i = 0; i < names.size() && i < limit; ++i)
    joined += (i ? ", " : "") + Printable(names[i]);
  if (names.size() > limit) joined += ", ...";
  return joined;
}

// A layer prefix ("" or "name.") that has R, G and B.
bool HasRgb(const std::vector<std::string>& names, const std::string& prefix) {
  return Contains(names, prefix + "R") && Contains(names, prefix + "G") &&
         Contains(names, prefix + "B");
}

// A layer prefix with luminance and chroma, as cameras and some pipelines
// store colour: Y with RY and BY at a lower resolution.
bool HasLumaChroma(const std::vector<std::string>& names, const std::string& prefix) {
  return Contains(names, prefix + "Y") &&
         (Contains(names, prefix + "RY") || Contains(names, prefix + "BY"));
}

std::string AlphaOf(const std::vector<std::string>& names, const std::string& prefix) {
  return Contains(names, prefix + "A") ? prefix + "A" : "";
}

// The colour of one layer prefix: R, G, B first, then luminance/chroma, and
// a grey Y when `grey`; false when the layer has none of them.
bool ColorOfLayer(const std::vector<std::string>& names, const std::string& prefix, bool grey,
                  ExrColorChannels& chosen) {
  if (HasRgb(names, prefix)) {
    chosen = {prefix + "R", prefix + "G", prefix + "B", AlphaOf(names, prefix), false, prefix};
  } else if (HasLumaChroma(names, prefix)) {
    chosen = {"", "", "", AlphaOf(names, prefix), true, prefix};
  } else if (grey && Contains(names, prefix + "Y")) {
    chosen = {prefix + "Y", prefix + "Y", prefix + "Y", AlphaOf(names, prefix), false, prefix};
  } else {
    return false;
  }
  return true;
}

// The layers that `hasColor` accepts, found by a channel each must have;
// only the "Combined" ones (Blender's) when there are any.
std::vector<std::string> ColorLayers(const std::vector<std::string>& names,
                                     const std::string& channel,
                                     bool (*hasColor)(const std::vector<std::string>&,
                                                      const std::string&)) {
  std::vector<std::string> layers, combined;
  for (const std::string& name : names) {
    if (!EndsWith(name, channel)) continue;
    const std::string layer = name.substr(0, name.size() - channel.size());
    if (!hasColor(names, layer + ".")) continue;
    layers.push_back(layer);
    if (layer.substr(layer.find_last_of('.') + 1) == "Combined") combined.push_back(layer);
  }
  return combined.empty() ? layers : combined;
}

// --- the frame and its stored pixels -------------------------------------------

// The frame's size, "" when it fits a PCX file. Computed in 64 bits, so a
// damaged window never shows as a negative size.
std::string FrameSizeProblem(int64_t width, int64_t height) {
  if (width < 1 || height < 1) return "the display window is empty";
  if (width > kMaxImageSide || height > kMaxImageSide)
    return std::to_string(width) + " x " + std::to_string(height) +
           " pixels is larger than 65535 in width or height";
  return "";
}

// Where a part's stored pixels (its data window) fall in the frame (its
// display window). Frame rows and columns count from the display window's
// corner; rows and columns of the frame that nothing is stored for are blank.
struct Placement {
  int width = 0;  // the frame
  int height = 0;
  Imath::Box2i data;
  int firstRow = 0;  // frame rows [firstRow, firstRow + rows) hold stored pixels,
  int rows = 0;      // the first of them file row `top`
  int top = 0;
  int firstColumn = 0;  // frame columns [firstColumn, firstColumn + columns),
  int columns = 0;      // after `skipped` stored columns left of the frame
  int skipped = 0;
};

std::string Place(const Imath::Box2i& display, const Imath::Box2i& data, Placement& place) {
  const int64_t width = int64_t(display.max.x) - display.min.x + 1;
  const int64_t height = int64_t(display.max.y) - display.min.y + 1;
  const std::string problem = FrameSizeProblem(width, height);
  if (!problem.empty()) return problem;
  place.width = int(width);
  place.height = int(height);
  place.data = data;
  const int top = std::max(display.min.y, data.min.y);
  const int bottom = std::min(display.max.y, data.max.y);
  const int left = std::max(display.min.x, data.min.x);
  const int right = std::min(display.max.x, data.max.x);
  if (top > bottom || left > right) return "";  // nothing stored within the frame
  place.firstRow = int(int64_t(top) - display.min.y);
  place.rows = int(int64_t(bottom) - top + 1);
  place.top = top;
  place.firstColumn = int(int64_t(left) - display.min.x);
  place.columns = int(int64_t(right) - left + 1);
  place.skipped = int(int64_t(left) - data.min.x);
  return "";
}

int StoredWidth(const Imath::Box2i& data) { return data.max.x - data.min.x + 1; }

// Rows decoded per call: about 1 MB of each channel, in whole blocks of
// scanlines or tiles so that no block is decoded twice. A header that claims
// 65535 x 65535 pixels fails on its first band instead of first setting
// gigabytes aside.
constexpr int64_t kBandPixels = 1 << 18;

struct Band {
  int first = 0;  // file rows, both included
  int last = 0;
};

// The bands of stored rows that lie in the frame; blocks of `blockRows`
// rows start at the data window's top row.
std::vector<Band> Bands(const Placement& place, int blockRows) {
  std::vector<Band> bands;
  const int64_t bandRows =
      blockRows * std::max<int64_t>(1, kBandPixels / StoredWidth(place.data) / blockRows);
  const int64_t origin = place.data.min.y;
  const int64_t bottom = int64_t(place.top) + place.rows - 1;
  for (int64_t first = place.top; first <= bottom;) {
    const int64_t bandStart = origin + (first - origin) / bandRows * bandRows;
    const int64_t last = std::min(bottom, bandStart + bandRows - 1);
    bands.push_back(Band{int(first), int(last)});
    first = last + 1;
  }
  return bands;
}

// Scanlines per block of a scanline part, by its compression (the file
// format fixes them); a tiled part's blocks are its tiles.
int BlockRows(const Imf::Header& header) {
  if (header.hasTileDescription()) return std::max(1, int(header.tileDescription().ySize));
  switch (header.compression()) {
    case Imf::ZIP_COMPRESSION:
    case Imf::PXR24_COMPRESSION: return 16;
    case Imf::PIZ_COMPRESSION:
    case Imf::B44_COMPRESSION:
    case Imf::B44A_COMPRESSION:
    case Imf::DWAA_COMPRESSION: return 32;
    case Imf::DWAB_COMPRESSION: return 256;
    default: return 1;
  }
}

// One stored row of a band: a pointer per channel to its first stored value.
using StoredRow = std::vector<const float*>;

// An image built frame row by frame row from the stored rows of one part.
class FrameSink {
 public:
  FrameSink(const Placement& place, std::vector<std::string> channels)
      : place_(place), channels_(std::move(channels)) {}
  virtual ~FrameSink() = default;
  // The channels a stored row brings, as the part names them.
  const std::vector<std::string>& Channels() const { return channels_; }
  virtual void BlankRows(int count) = 0;
  // "" or the problem with the row's values.
  virtual std::string Row(const StoredRow& row) = 0;

 protected:
  const Placement place_;

 private:
  const std::vector<std::string> channels_;
};

// A sink whose image is one plane of T, blank where nothing is stored.
template <typename T>
class PlaneSink : public FrameSink {
 public:
  PlaneSink(const Placement& place, std::vector<std::string> channels, int& width, int& height,
            std::vector<T>& plane)
      : FrameSink(place, std::move(channels)), plane_(plane) {
    width = place.width;
    height = place.height;
    StartPlane(plane_, place.width, place.height);
  }

  void BlankRows(int count) override {
    for (int i = 0; i < count; ++i) AppendRow(plane_, place_.width, place_.height);
  }

 protected:
  // Appends a frame row and returns its first column that stored pixels fill.
  T* NextRow() { return AppendRow(plane_, place_.width, place_.height) + place_.firstColumn; }
  int RowsDone() const { return int(plane_.size() / std::size_t(place_.width)); }

 private:
  std::vector<T>& plane_;
};

// R, G, B and, if there is one, A.
class ColorSink : public PlaneSink<Pixel64> {
 public:
  ColorSink(const Placement& place, const ExrColorOptions& options,
            std::vector<std::string> channels, ColorImage& image)
      : PlaneSink(place, std::move(channels), image.width, image.height, image.pixels),
        linear_(options.linear) {}

  std::string Row(const StoredRow& row) override {
    Pixel64* out = NextRow();
    const float* r = row[0] + place_.skipped;
    const float* g = row[1] + place_.skipped;
    const float* b = row[2] + place_.skipped;
    const float* a = row.size() > 3 ? row[3] + place_.skipped : nullptr;
    for (int x = 0; x < place_.columns; ++x) {
      out[x].r = ColorLevel(r[x], linear_);
      out[x].g = ColorLevel(g[x], linear_);
      out[x].b = ColorLevel(b[x], linear_);
      out[x].a = a ? ColorLevel(a[x], true) : 65535;  // alpha is never encoded
    }
    return "";
  }

 private:
  const bool linear_;
};

class IdSink : public PlaneSink<uint16_t> {
 public:
  IdSink(const Placement& place, const std::string& channel, const std::string& shownName,
         IdImage& image)
      : PlaneSink(place, {channel}, image.width, image.height, image.ids), shownName_(shownName) {}

  std::string Row(const StoredRow& row) override {
    const int y = RowsDone();
    uint16_t* out = NextRow();
    const float* values = row[0] + place_.skipped;
    for (int x = 0; x < place_.columns; ++x) {
      const double v = values[x];
      const double whole = std::floor(v + 0.5);
      const char* fault = nullptr;
      if (!std::isfinite(v) || std::fabs(v - whole) > kIdTolerance) fault = "is not a whole number";
      else if (whole < 0) fault = "is negative";
      else if (whole > 65535) fault = "is above 65535";
      if (fault == nullptr) {
        out[x] = uint16_t(whole);
        continue;
      }
      char message[160];
      std::snprintf(message, sizeof message, "ID %g at pixel (%d, %d) %s", v,
                    place_.firstColumn + x, y, fault);
      return message + std::string(" (channel \"") + Printable(shownName_) + "\")";
    }
    return "";
  }

 private:
  const std::string shownName_;  // as the user names it
};

// Fills the sinks from the rows one part stores in the frame, reading each
// channel once, as FLOAT, band by band.
std::string ReadPart(Imf::InputPart& part, const Placement& place, int blockRows,
                     const std::vector<FrameSink*>& sinks) {
  // One plane per channel, however many sinks take it (grey colour takes
  // "Y" three times).
  std::map<std::string, std::vector<float>> planes;
  std::vector<std::vector<const std::vector<float>*>> sinkPlanes;
  for (const FrameSink* sink : sinks) {
    sinkPlanes.emplace_back();
    for (const std::string& name : sink->Channels()) sinkPlanes.back().push_back(&planes[name]);
  }
  const std::size_t width = std::size_t(StoredWidth(place.data));
  for (FrameSink* sink : sinks) sink->BlankRows(place.firstRow);
  for (const Band& band : Bands(place, blockRows)) {
    const Imath::Box2i box(Imath::V2i(place.data.min.x, band.first),
                           Imath::V2i(place.data.max.x, band.last));
    Imf::FrameBuffer buffer;
    for (auto& [name, plane] : planes) {
      plane.resize(width * std::size_t(band.last - band.first + 1));
      buffer.insert(name, Imf::Slice::Make(Imf::FLOAT, plane.data(), box, sizeof(float),
                                           sizeof(float) * width));
    }
    part.setFrameBuffer(buffer);
    part.readPixels(band.first, band.last);
    for (int y = band.first; y <= band.last; ++y) {
      const std::size_t offset = width * std::size_t(y - band.first);
      for (std::size_t s = 0; s < sinks.size(); ++s) {
        StoredRow row;
        for (const std::vector<float>* plane : sinkPlanes[s]) row.push_back(plane->data() + offset);
        const std::string problem = sinks[s]->Row(row);
        if (!problem.empty()) return problem;
      }
    }
  }
  for (FrameSink* sink : sinks) sink->BlankRows(place.height - place.firstRow - place.rows);
  return "";
}

// Luminance/chroma colour through OpenEXR's RGBA interface, which converts
// it to RGB and reconstructs the chroma's full resolution. It reads the
// first part of a file; `layer` is the layer's name in it, "" for none.
void ReadLumaChroma(Imf::IStream& stream, const std::string& layer, const Placement& place,
                    int blockRows, ColorSink& sink) {
  stream.seekg(0);
  Imf::RgbaInputFile file(stream, layer, Imf::globalThreadCount());
  const std::size_t width = std::size_t(StoredWidth(place.data));
  std::vector<Imf::Rgba> pixels;
  std::vector<float> planes[4];
  sink.BlankRows(place.firstRow);
  for (const Band& band : Bands(place, blockRows)) {
    const std::size_t count = width * std::size_t(band.last - band.first + 1);
    pixels.resize(count);
    const Imath::Box2i box(Imath::V2i(place.data.min.x, band.first),
                           Imath::V2i(place.data.max.x, band.last));
    file.setFrameBuffer(Imf::ComputeBasePointer(pixels.data(), box), 1, width);
    file.readPixels(band.first, band.last);
    for (std::vector<float>& plane : planes) plane.resize(count);
    for (std::size_t i = 0; i < count; ++i) {
      planes[0][i] = pixels[i].r;
      planes[1][i] = pixels[i].g;
      planes[2][i] = pixels[i].b;
      planes[3][i] = pixels[i].a;
    }
    for (std::size_t offset = 0; offset < count; offset += width)
      sink.Row({planes[0].data() + offset, planes[1].data() + offset, planes[2].data() + offset,
                planes[3].data() + offset});
  }
  sink.BlankRows(place.height - place.firstRow - place.rows);
}

// --- the file's parts and channels ------------------------------------------------

struct ChannelRef {
  int part = 0;
  std::string name;  // within the part
};

// The channels of every part under the names the user gives them: a part's
// name and a dot before each channel when the file has several parts.
class ExrContents {
 public:
  explicit ExrContents(const Imf::MultiPartInputFile& file) {
    const bool prefixed = file.parts() > 1;
    for (int p = 0; p < file.parts(); ++p) {
      const Imf::Header& header = file.header(p);
      const std::string prefix = prefixed ? header.name() + "." : "";
      const bool deep = header.hasType() && Imf::isDeepData(header.type());
      if (deep) deepParts_.push_back(prefixed ? header.name() : "");
      for (auto it = header.channels().begin(); it != header.channels().end(); ++it) {
        const std::string name = prefix + it.name();
        if (deep) continue;
        if (refs_.count(name)) ambiguous_.insert(name);
        refs_.emplace(name, ChannelRef{p, it.name()});
        names_.push_back(name);
      }
    }
    std::sort(names_.begin(), names_.end());
    names_.erase(std::unique(names_.begin(), names_.end()), names_.end());
  }

  // The channels of the flat parts.
  const std::vector<std::string>& names() const { return names_; }

  // "" or why `name` cannot be read.
  std::string Find(const std::string& name, ChannelRef& ref) const {
    if (ambiguous_.count(name))
      return "channel \"" + Printable(name) + "\" is in more than one part";
    ref = refs_.at(name);
    return "";
  }

  // A search among the flat parts that found nothing says that deep parts
  // were left out, or that there was nothing else.
  std::string Explain(const std::string& problem) const {
    if (deepParts_.empty()) return problem;
    if (names_.empty())
      return "deep image data (several samples per pixel) cannot be rendered; "
             "save the frame as a flat image";
    std::vector<std::string> quoted;
    for (const std::string& part : deepParts_) quoted.push_back("\"" + part + "\"");
    return problem + " (deep parts are not read: " + Join(quoted) + ")";
  }

 private:
  std::vector<std::string> names_;
  std::map<std::string, ChannelRef> refs_;
  std::set<std::string> ambiguous_;
  std::vector<std::string> deepParts_;
};

std::string ShownPrefix(const Imf::MultiPartInputFile& file, int part) {
  return file.parts() > 1 ? file.header(part).name() + "." : "";
}

// Chosen channels are read at full resolution; only luminance/chroma
// colour, converted by OpenEXR, may be subsampled.
std::string CheckFullResolution(const Imf::MultiPartInputFile& file, const ChannelRef& ref) {
  const Imf::Channel* channel = file.header(ref.part).channels().findChannel(ref.name);
  if (channel->xSampling == 1 && channel->ySampling == 1) return "";
  return "channel \"" + Printable(ShownPrefix(file, ref.part) + ref.name) + "\" is subsampled";
}

struct ColorChoice {
  ExrColorChannels channels;
  int part = -1;
  std::vector<std::string> inPart;  // R, G, B (and A) as the part names them
  std::string layer;                // luminance/chroma: the layer within the part
};

std::string ResolveColor(const ExrContents& contents, const Imf::MultiPartInputFile& file,
                         const ExrColorOptions& options, ColorChoice& choice) {
  ExrColorChannels& chosen = choice.channels;
  std::string problem = FindColorChannels(contents.names(), options.layer, chosen);
  if (!problem.empty()) return contents.Explain(problem);
  std::vector<std::string> names = {chosen.r, chosen.g, chosen.b, chosen.a};
  if (chosen.lumaChroma) names = {chosen.prefix + "Y"};
  for (const std::string& name : names) {
    if (name.empty()) continue;
    ChannelRef ref;
    problem = contents.Find(name, ref);
    if (problem.empty()) problem = CheckFullResolution(file, ref);
    if (!problem.empty()) return problem;
    if (choice.part >= 0 && ref.part != choice.part)
      return "the colour channels lie in different parts";
    choice.part = ref.part;
    choice.inPart.push_back(ref.name);
  }
  if (!chosen.lumaChroma) return "";
  // OpenEXR's RGBA interface reads a file's first part only.
  if (choice.part != 0)
    return "luminance/chroma colour can only be converted in a file's first part, not in \"" +
           Printable(file.header(choice.part).name()) + "\"";
  const std::string layer = chosen.prefix.substr(ShownPrefix(file, 0).size());
  choice.layer = layer.empty() ? "" : layer.substr(0, layer.size() - 1);  // without its dot
  // It converts chroma stored once per 2 x 2 pixels, as it writes it.
  for (const char* chroma : {"RY", "BY"}) {
    const Imf::Channel* channel = file.header(0).channels().findChannel(layer + chroma);
    if (channel != nullptr && (channel->xSampling != 2 || channel->ySampling != 2))
      return "cannot convert luminance/chroma to RGB: \"" + Printable(chosen.prefix + chroma) +
             "\" is not stored once per 2 x 2 pixels";
  }
  return "";
}

struct IdChoice {
  std::string shown;  // as the user names it
  ChannelRef ref;
};

std::string ResolveIds(const ExrContents& contents, const Imf::MultiPartInputFile& file,
                       const ExrRequest& request, IdChoice& choice) {
  std::string problem =
      FindIdChannel(contents.names(), request.idSelector, request.idChannel, choice.shown);
  if (!problem.empty()) return contents.Explain(problem);
  problem = contents.Find(choice.shown, choice.ref);
  return problem.empty() ? CheckFullResolution(file, choice.ref) : problem;
}

std::string ReadRequest(Imf::MultiPartInputFile& file, Imf::IStream& stream,
                        const ExrRequest& request) {
  // Everything is chosen and checked before any pixel is decoded.
  const ExrContents contents(file);
  ColorChoice color;
  IdChoice id;
  std::string problem;
  if (request.color) problem = ResolveColor(contents, file, *request.color, color);
  if (problem.empty() && request.idSelector) problem = ResolveIds(contents, file, request, id);
  std::map<int, Placement> places;
  for (int part : {color.part, id.ref.part}) {
    if (part < 0 || !problem.empty() || places.count(part)) continue;
    const Imf::Header& header = file.header(part);
    problem = Place(header.displayWindow(), header.dataWindow(), places[part]);
  }
  if (!problem.empty()) return problem;

  std::map<int, std::vector<std::unique_ptr<FrameSink>>> sinks;
  std::unique_ptr<ColorSink> lumaChroma;
  if (request.color) {
    auto sink = std::make_unique<ColorSink>(places[color.part], *request.color, color.inPart,
                                            *request.colorImage);
    if (color.channels.lumaChroma) lumaChroma = std::move(sink);
    else sinks[color.part].push_back(std::move(sink));
  }
  if (request.idSelector)
    sinks[id.ref.part].push_back(
        std::make_unique<IdSink>(places[id.ref.part], id.ref.name, id.shown, *request.idImage));

  // Each part's blocks are decoded once for every image they fill.
  for (auto& [index, partSinks] : sinks) {
    Imf::InputPart part(file, index);
    std::vector<FrameSink*> filled;
    for (auto& sink : partSinks) filled.push_back(sink.get());
    problem = ReadPart(part, places[index], BlockRows(file.header(index)), filled);
    if (!problem.empty()) return problem;
  }
  if (lumaChroma)
    ReadLumaChroma(stream, color.layer, places[0], BlockRows(file.header(0)), *lumaChroma);
  return "";
}

// --- limits and claims checked before OpenEXR sets memory aside ----------------

int32_t ReadI32(const uint8_t* p) {
  return int32_t(p[0] | p[1] << 8 | p[2] << 16 | uint32_t(p[3]) << 24);
}

// Walks the attribute lists of an EXR file's headers (name, type name,
// 32-bit size, value; an empty name ends a header, and an empty header the
// headers of a multi-part file) before OpenEXR reads them. OpenEXR sets aside
// what a size field claims before reading the value, 2 GB for a 519-byte
// file: such claims are refused here, since OpenEXR's own size limits
// (LimitWhatOpenExrSetsAside) bound data windows and tiles only. The frame's
// size, each display window, is checked here too, so that an oversize or
// empty frame is named as such rather than by OpenEXR's data-window limit or
// its "invalid display window". A header cut short is left to OpenEXR.
class HeaderClaims {
 public:
  explicit HeaderClaims(std::istream& file) : file_(file) {
    file.seekg(0, std::ios::end);
    size_ = file.tellg();
    file.seekg(4);  // past the magic number
    char version[4] = {};
    multiPart_ = file.read(version, 4) && (version[1] & 0x10) != 0;
  }

  // "" or the first claim the file cannot back.
  std::string Check() {
    bool headerEmpty = true;
    for (;;) {
      std::string name, type;
      if (!ReadName(name)) return "";
      if (name.empty()) {  // the end of a header
        if (!multiPart_ || headerEmpty) return "";
        headerEmpty = true;
        continue;
      }
      headerEmpty = false;
      uint8_t size[4];
      if (!ReadName(type) || !file_.read(reinterpret_cast<char*>(size), 4)) return "";
      const int32_t claimed = ReadI32(size);
      if (claimed > size_ - int64_t(file_.tellg()))
        return "cannot read EXR (attribute \"" + Printable(name) + "\" claims " +
               std::to_string(claimed) + " bytes, more than the file holds)";
      if (claimed < 0) return "";
      if (name == "displayWindow" && type == "box2i" && claimed == 16) {
        uint8_t box[16];
        if (!file_.read(reinterpret_cast<char*>(box), 16)) return "";
        const std::string problem =
            FrameSizeProblem(int64_t(ReadI32(box + 8)) - ReadI32(box) + 1,
                             int64_t(ReadI32(box + 12)) - ReadI32(box + 4) + 1);
        if (!problem.empty()) return problem;
      } else if (!file_.seekg(claimed, std::ios::cur)) {
        return "";
      }
    }
  }

 private:
  bool ReadName(std::string& name) {
    for (int c; (c = file_.get()) != 0;) {
      if (c == EOF || name.size() > 255) return false;
      name += char(c);
    }
    return true;
  }

  std::istream& file_;
  int64_t size_ = 0;
  bool multiPart_ = false;
};

// OpenEXR sets aside buffers for a data window's full width, and for whole
// tiles, when it opens a file: its own limits refuse claims no frame needs.
void LimitWhatOpenExrSetsAside() {
  static std::once_flag once;
  std::call_once(once, [] {
    Imf::Header::setMaxImageSize(kMaxImageSide, kMaxImageSide);
    Imf::Header::setMaxTileSize(kMaxImageSide, kMaxImageSide);
  });
}

}  // namespace

std::string FindColorChannels(const std::vector<std::string>& names, const std::string& layer,
                              ExrColorChannels& chosen) {
  if (!layer.empty()) {
    if (ColorOfLayer(names, layer + ".", /*grey=*/true, chosen)) return "";
    return "no channels " + Printable(layer) + ".R, .G, .B";
  }
  if (ColorOfLayer(names, "", /*grey=*/true, chosen)) return "";
  // Layers with R, G and B; failing those, layers with luminance/chroma. A
  // layer of Y alone is more often a mask than a picture, and is never
  // guessed to be the colour.
  std::vector<std::string> candidates = ColorLayers(names, ".R", HasRgb);
  if (candidates.empty()) candidates = ColorLayers(names, ".Y", HasLumaChroma);
  if (candidates.size() == 1) return FindColorChannels(names, candidates[0], chosen);
  if (candidates.empty()) return "no colour channels (R, G, B) among " + Join(names);
  return "several colour layers (" + Join(candidates) + "); choose one with --color-layer";
}

std::string FindIdChannel(const std::vector<std::string>& names, int selector,
                          const std::string& requested, std::string& chosen) {
  if (!requested.empty()) {
    if (!Contains(names, requested)) return "no channel \"" + Printable(requested) + "\"";
    chosen = requested;
    return "";
  }
  const bool material = selector == kMaterialEffectsSelector;
  const std::string passes[2] = {material ? "IndexMA.X" : "IndexOB.X",
                                 material ? "Material Index.X" : "Object Index.X"};
  std::vector<std::string> found;
  for (const std::string& name : names) {
    for (const std::string& pass : passes)
      if (name == pass || EndsWith(name, "." + pass)) found.push_back(name);
  }
  const char* what = material ? "material-index" : "object-index";
  if (found.size() == 1) {
    chosen = found[0];
    return "";
  }
  if (found.empty())
    return std::string("no ") + what + " channel (" + passes[0] + " or " + passes[1] + ") among " +
           Join(names) + "; name one with --id-channel";
  return std::string("several ") + what + " channels (" + Join(found) +
         "); name one with --id-channel";
}

std::string ReadExr(const std::string& path, std::ifstream& file, const ExrRequest& request) {
  const std::string claim = HeaderClaims(file).Check();
  if (!claim.empty()) return path + ": " + claim;
  file.clear();
  file.seekg(0);
  try {
    LimitWhatOpenExrSetsAside();
    Imf::StdIFStream stream(file, path.c_str());
    Imf::MultiPartInputFile exr(stream);
    const std::string problem = ReadRequest(exr, stream, request);
    return problem.empty() ? "" : path + ": " + problem;
  } catch (const std::bad_alloc&) {
    return path + ": out of memory";
  } catch (const std::exception& e) {
    return path + ": cannot read EXR (" + Printable(e.what()) + ")";
  }
}

void SetExrDecodeThreads(int threads) { Imf::setGlobalThreadCount(std::max(0, threads)); }

}  // namespace selvo
