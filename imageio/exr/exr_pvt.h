// Shared by the EXR reader's pieces, and private to them: the channel
// names of the file, where its stored pixels fall in the frame, the sinks
// that build images from them, and the header claims checked first.
#pragma once

#include <ImathBox.h>
#include <ImfHeader.h>
#include <ImfIO.h>
#include <ImfInputPart.h>

#include <cstdint>
#include <istream>
#include <memory>
#include <string>
#include <vector>

#include "imageio/exr/exr_io.h"
#include "imageio/image.h"

namespace selvo::exr {

// --- channel names (exr_channels.cpp) ----------------------------------------

// Up to `limit` names, each printable, separated by commas.
std::string Join(const std::vector<std::string>& names, std::size_t limit = 8);

// --- the frame and its stored pixels (exr_frame.cpp) -------------------------

// The frame's size, "" when it fits a PCX file. Computed in 64 bits, so a
// damaged window never shows as a negative size.
std::string FrameSizeProblem(int64_t width, int64_t height);

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

// The placement of `data` in the frame `display`; "" or the problem with the
// frame's size.
std::string Place(const Imath::Box2i& display, const Imath::Box2i& data, Placement& place);

// Scanlines per block of a scanline part, by its compression (the file
// format fixes them); a tiled part's blocks are its tiles.
int BlockRows(const Imf::Header& header);

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

// R, G, B and, if there is one, A, as 16-bit levels of `image`.
std::unique_ptr<FrameSink> MakeColorSink(const Placement& place, const ExrColorOptions& options,
                                         std::vector<std::string> channels, ColorImage& image);

// Whole IDs of `channel` (`shownName` as the user names it) into `image`.
std::unique_ptr<FrameSink> MakeIdSink(const Placement& place, const std::string& channel,
                                      const std::string& shownName, IdImage& image);

// Fills the sinks from the rows one part stores in the frame, reading each
// channel once, as FLOAT, band by band.
std::string ReadPart(Imf::InputPart& part, const Placement& place, int blockRows,
                     const std::vector<FrameSink*>& sinks);

// Luminance/chroma colour through OpenEXR's RGBA interface, which converts
// it to RGB and reconstructs the chroma's full resolution. It reads the
// first part of a file; `layer` is the layer's name in it, "" for none.
void ReadLumaChroma(Imf::IStream& stream, const std::string& layer, const Placement& place,
                    int blockRows, FrameSink& sink);

// --- limits and claims checked before OpenEXR sets memory aside
// (exr_header_claims.cpp) ------------------------------------------------------

// "" or the first claim of the file's headers that the file cannot back,
// or a frame size no PCX file holds. Leaves `file` anywhere.
std::string CheckHeaderClaims(std::istream& file);

// OpenEXR sets aside buffers for a data window's full width, and for whole
// tiles, when it opens a file: its own limits refuse claims no frame needs.
void LimitWhatOpenExrSetsAside();

}  // namespace selvo::exr
