#include <gif_lib.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>

#include "files/atomic_file.h"
#include "imageio/gif/gif_io.h"

namespace selvo {
namespace {

// The output function giflib calls; errno keeps the system's reason.
struct GifSink {
  std::FILE* file;
  int systemError = 0;
};

int WriteBytes(GifFileType* gif, const GifByteType* data, int length) {
  auto* sink = static_cast<GifSink*>(gif->UserData);
  if (std::fwrite(data, 1, std::size_t(length), sink->file) == std::size_t(length)) return length;
  sink->systemError = errno;
  return 0;
}

// NETSCAPE2.0 application extension: loop count 0, for ever.
bool PutLoopForever(GifFileType* gif) {
  static const char kApplication[] = "NETSCAPE2.0";
  static const GifByteType kLoop[] = {1, 0, 0};  // sub-block 1, loop count (LE16) 0
  return EGifPutExtensionLeader(gif, APPLICATION_EXT_FUNC_CODE) == GIF_OK &&
         EGifPutExtensionBlock(gif, 11, kApplication) == GIF_OK &&
         EGifPutExtensionBlock(gif, sizeof kLoop, kLoop) == GIF_OK &&
         EGifPutExtensionTrailer(gif) == GIF_OK;
}

bool PutFrame(GifFileType* gif, const GifAnimation& animation, std::size_t frame) {
  GraphicsControlBlock control;
  control.DisposalMode = animation.transparent ? DISPOSE_BACKGROUND : DISPOSE_DO_NOT;
  control.UserInputFlag = false;
  control.DelayTime = animation.delays[frame];
  control.TransparentColor = animation.transparent ? *animation.transparent : NO_TRANSPARENT_COLOR;
  GifByteType extension[4];
  const std::size_t length = EGifGCBToExtension(&control, extension);
  if (EGifPutExtension(gif, GRAPHICS_EXT_FUNC_CODE, int(length), extension) != GIF_OK ||
      EGifPutImageDesc(gif, 0, 0, animation.width, animation.height, false, nullptr) != GIF_OK)
    return false;
  std::vector<GifPixelType> row(std::size_t(animation.width));
  for (int y = 0; y < animation.height; ++y) {
    const uint8_t* line = animation.frames[frame] + std::size_t(y) * animation.width;
    std::copy(line, line + animation.width, row.begin());
    if (EGifPutLine(gif, row.data(), animation.width) != GIF_OK) return false;
  }
  return true;
}

std::string Encode(std::FILE* file, const GifAnimation& animation) {
  GifSink sink{file};
  int error = 0;
  GifFileType* gif = EGifOpen(&sink, WriteBytes, &error);
  if (gif == nullptr) return std::string("cannot encode GIF (") + GifErrorString(error) + ")";
  GifColorType colors[256];
  for (int i = 0; i < 256; ++i)
    colors[i] = GifColorType{animation.palette[3 * i], animation.palette[3 * i + 1],
                             animation.palette[3 * i + 2]};
  std::unique_ptr<ColorMapObject, void (*)(ColorMapObject*)> map(GifMakeMapObject(256, colors),
                                                                 GifFreeMapObject);
  EGifSetGifVersion(gif, true);
  bool done = map && EGifPutScreenDesc(gif, animation.width, animation.height, 8,
                                       animation.transparent.value_or(0), map.get()) == GIF_OK;
  done = done && PutLoopForever(gif);
  for (std::size_t frame = 0; done && frame < animation.frames.size(); ++frame)
    done = PutFrame(gif, animation, frame);
  if (!done) error = gif->Error;
  if (EGifCloseFile(gif, done ? &error : nullptr) != GIF_OK && done) done = false;
  if (done) return "";
  if (sink.systemError != 0)
    return std::string("cannot write file: ") + std::strerror(sink.systemError);
  return std::string("cannot encode GIF (") + GifErrorString(error) + ")";
}

}  // namespace

std::string WriteGifAnimation(const std::string& path, const GifAnimation& animation) {
  return WriteFileAtomically(path, [&](std::FILE* file) { return Encode(file, animation); });
}

}  // namespace selvo
