#include "host/sdk/image_filter.h"

#include <cstdlib>
#include <cstring>

namespace {

template <typename T>
T* ZeroedArray(size_t count) {
  return static_cast<T*>(std::calloc(count, sizeof(T)));
}

}  // namespace

Bitmap::Bitmap() = default;

Bitmap::Bitmap(WORD width, WORD height)
    : pixels_(ZeroedArray<BMM_Color_64>(size_t(width) * height)) {
  if (pixels_ != nullptr) {
    width_ = width;
    height_ = height;
  }
}

Bitmap::~Bitmap() {
  std::free(pixels_);
  std::free(materialIds_);
  std::free(objectIds_);
}

WORD Bitmap::Width() const { return width_; }
WORD Bitmap::Height() const { return height_; }

BMM_Color_64* Bitmap::Storage() { return pixels_; }

void* Bitmap::CreateChannel(ULONG selector) {
  const size_t count = size_t(width_) * height_;
  if (count == 0) return nullptr;
  if (selector == kMaterialEffectsIdChannel) {
    if (materialIds_ == nullptr) materialIds_ = ZeroedArray<BYTE>(count);
    return materialIds_;
  }
  if (selector == kObjectIdChannel) {
    if (objectIds_ == nullptr) objectIds_ = ZeroedArray<WORD>(count);
    return objectIds_;
  }
  return nullptr;
}

void* Bitmap::GetChannel(ULONG selector) {
  if (selector == kMaterialEffectsIdChannel) return materialIds_;
  if (selector == kObjectIdChannel) return objectIds_;
  return nullptr;
}

bool Bitmap::RunFits(int x, int y, int count) const {
  if (x < 0 || y < 0 || count < 0 || x >= width_ || y >= height_) return false;
  const size_t start = size_t(y) * width_ + size_t(x);
  return start + size_t(count) <= size_t(width_) * height_;
}

int Bitmap::GetPixels(int x, int y, int count, BMM_Color_64* destination) {
  if (destination == nullptr || !RunFits(x, y, count)) return 0;
  std::memcpy(destination, pixels_ + size_t(y) * width_ + x, size_t(count) * sizeof(BMM_Color_64));
  return 1;
}

int Bitmap::PutPixels(int x, int y, int count, const BMM_Color_64* source) {
  ++putCalls_;
  if (count > largestPut_) largestPut_ = count;
  if (source == nullptr || !RunFits(x, y, count)) return 0;
  std::memcpy(pixels_ + size_t(y) * width_ + x, source, size_t(count) * sizeof(BMM_Color_64));
  return 1;
}

long Bitmap::PutPixelsCalls() const { return putCalls_; }
int Bitmap::LargestPutPixelsCount() const { return largestPut_; }

ImageFilter::ImageFilter() = default;
ImageFilter::~ImageFilter() = default;

int ImageFilter::ShowAboutBox(HWND) { return 0; }
BOOL ImageFilter::ShowSetupDialog(HWND) { return FALSE; }
void ImageFilter::SetSource(Bitmap* frame) { source_ = frame; }
void ImageFilter::SetForeground(Bitmap* frame) { foreground_ = frame; }
void ImageFilter::SetMask(Bitmap* frame) { mask_ = frame; }
void ImageFilter::SetFilterInfo(ImageFilterInfo* info) { info_ = info; }
Interface* ImageFilter::Max() { return nullptr; }
float ImageFilter::Lerp(float a, float b, float t) { return a + (b - a) * t; }
int ImageFilter::Lerp(int a, int b, float t) { return a + int(float(b - a) * t); }
DWORD ImageFilter::GetConfigSize() { return 0; }
BOOL ImageFilter::LoadConfig(void*) { return FALSE; }
BOOL ImageFilter::SaveConfig(void*) { return FALSE; }
BOOL ImageFilter::CreatePreview(HWND) { return FALSE; }
DWORD ImageFilter::GetRequiredChannels() { return 0; }
HWND ImageFilter::DlgHandle() { return dialog_; }
void ImageFilter::MakeDlgInteractive(HWND dialog) { dialog_ = dialog; }
BOOL ImageFilter::IsInteractive() { return dialog_ != nullptr; }
BOOL ImageFilter::CreateNode() { return FALSE; }
FilterNode* ImageFilter::Node() { return nullptr; }
void ImageFilter::FilterUpdate() {}
