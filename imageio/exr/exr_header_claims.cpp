// What an EXR file's headers claim, checked before OpenEXR reads them.
#include <mutex>

#include "imageio/exr/exr_pvt.h"
#include "imageio/text.h"

namespace selvo::exr {
namespace {

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

}  // namespace

std::string CheckHeaderClaims(std::istream& file) { return HeaderClaims(file).Check(); }

void LimitWhatOpenExrSetsAside() {
  static std::once_flag once;
  std::call_once(once, [] {
    Imf::Header::setMaxImageSize(kMaxImageSide, kMaxImageSide);
    Imf::Header::setMaxTileSize(kMaxImageSide, kMaxImageSide);
  });
}

}  // namespace selvo::exr
