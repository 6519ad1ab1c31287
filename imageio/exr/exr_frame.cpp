// Where a part's stored pixels fall in the frame, and the images built from
// them band by band.
#include <ImfFrameBuffer.h>
#include <ImfRgbaFile.h>
#include <ImfThreading.h>

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "imageio/exr/exr_pvt.h"
#include "imageio/srgb.h"
#include "imageio/text.h"

namespace selvo::exr {
namespace {

// How far a stored ID may lie from a whole number and still count as one:
// half-float and filtered passes can carry a little noise, an averaged edge
// pixel (2.5) cannot be trusted.
constexpr double kIdTolerance = 0.01;

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

}  // namespace

std::unique_ptr<FrameSink> MakeColorSink(const Placement& place, const ExrColorOptions& options,
                                         std::vector<std::string> channels, ColorImage& image) {
  return std::make_unique<ColorSink>(place, options, std::move(channels), image);
}

std::unique_ptr<FrameSink> MakeIdSink(const Placement& place, const std::string& channel,
                                      const std::string& shownName, IdImage& image) {
  return std::make_unique<IdSink>(place, channel, shownName, image);
}

std::string FrameSizeProblem(int64_t width, int64_t height) {
  if (width < 1 || height < 1) return "the display window is empty";
  if (width > kMaxImageSide || height > kMaxImageSide)
    return std::to_string(width) + " x " + std::to_string(height) +
           " pixels is larger than 65535 in width or height";
  return "";
}

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

void ReadLumaChroma(Imf::IStream& stream, const std::string& layer, const Placement& place,
                    int blockRows, FrameSink& sink) {
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

}  // namespace selvo::exr
