// The host's image-filter facilities: the frame (`Bitmap`) with its pixels
// and ID channels, the per-frame description (`ImageFilterInfo`), and the
// base class every filter derives from (`ImageFilter`).
#pragma once

#include <windows.h>

#include "host/sdk/sdk_api.h"

// The host's pixel record: four 16-bit components in this order.
struct BMM_Color_64 {
  WORD r;
  WORD g;
  WORD b;
  WORD a;
};

// ID channels a renderer delivers beside the colours, named by selector.
constexpr ULONG kMaterialEffectsIdChannel = 2;  // one BYTE per pixel
constexpr ULONG kObjectIdChannel = 4;           // one WORD per pixel

// Capability bits a filter reports through GetCapability.
constexpr DWORD kFilterCapabilityConfigure = 2;
constexpr DWORD kFilterCapabilityAbout = 4;

// A frame owned by the host: W x H pixels, row 0 first, plus whichever ID
// channels the renderer delivered.
class SELVOSDK_API Bitmap {
 public:
  Bitmap();                         // no pixel storage: width and height read 0
  Bitmap(WORD width, WORD height);  // zero-filled pixels
  ~Bitmap();
  Bitmap(const Bitmap&) = delete;
  Bitmap& operator=(const Bitmap&) = delete;

  WORD Width() const;
  WORD Height() const;

  // The host's own access to the W x H pixels, row 0 first (null without
  // storage); it fills frames through this, filters go through PutPixels.
  BMM_Color_64* Storage();

  // Adds a zero-filled ID channel (host side) and returns it; null for an
  // unknown selector or a frame without pixel storage.
  void* CreateChannel(ULONG selector);
  // W x H IDs in row order, or null when the frame does not carry the
  // channel. The buffer stays the host's.
  void* GetChannel(ULONG selector);

  // `count` pixels starting at (x, y), running on into the following rows.
  // 1 on success; 0, with nothing copied, when the run leaves the frame.
  int GetPixels(int x, int y, int count, BMM_Color_64* destination);
  int PutPixels(int x, int y, int count, const BMM_Color_64* source);

  // The host's record of how a filter stored its pixels.
  long PutPixelsCalls() const;
  int LargestPutPixelsCount() const;

 private:
  bool RunFits(int x, int y, int count) const;

  WORD width_ = 0;
  WORD height_ = 0;
  BMM_Color_64* pixels_ = nullptr;
  BYTE* materialIds_ = nullptr;
  WORD* objectIds_ = nullptr;
  long putCalls_ = 0;
  int largestPut_ = 0;
};

// What the host tells a filter about the frame it is rendering.
struct ImageFilterInfo {
  int frameNumber = 0;
};

class Interface;   // the host application; the stand-in host has none
class FilterNode;  // a filter's entry in the host's scene tree

// The base of every image filter, with the operations in the order the host
// calls them through. A filter overrides the first group; the host's own
// versions of the rest are inherited.
class SELVOSDK_API ImageFilter {
 public:
  ImageFilter();
  virtual ~ImageFilter();
  ImageFilter(const ImageFilter&) = delete;
  ImageFilter& operator=(const ImageFilter&) = delete;

  virtual const char* GetDescription() = 0;
  virtual const char* GetAuthorName() = 0;
  virtual const char* GetCopyrightMessage() = 0;
  virtual DWORD GetVersion() = 0;
  virtual DWORD GetCapability() = 0;
  virtual int ShowAboutBox(HWND parent);      // none: 0
  virtual BOOL ShowSetupDialog(HWND parent);  // none: FALSE
  virtual void SetSource(Bitmap* frame);
  virtual void SetForeground(Bitmap* frame);
  virtual void SetMask(Bitmap* frame);
  virtual void SetFilterInfo(ImageFilterInfo* info);
  virtual BOOL RenderFrame(HWND progressWindow) = 0;
  virtual Interface* Max();
  virtual float Lerp(float a, float b, float t);
  virtual int Lerp(int a, int b, float t);
  virtual DWORD GetConfigSize();            // no settings: 0
  virtual BOOL LoadConfig(void* block);     // FALSE
  virtual BOOL SaveConfig(void* block);     // FALSE
  virtual BOOL CreatePreview(HWND parent);  // FALSE
  virtual DWORD GetRequiredChannels();      // 0: colours only
  virtual HWND DlgHandle();
  virtual void MakeDlgInteractive(HWND dialog);
  virtual BOOL IsInteractive();
  virtual BOOL CreateNode();   // FALSE
  virtual FilterNode* Node();  // null
  virtual void FilterUpdate();

 protected:
  // What the host handed in; null until it did.
  Bitmap* Source() const { return source_; }
  ImageFilterInfo* FilterInfo() const { return info_; }

 private:
  Bitmap* source_ = nullptr;
  Bitmap* foreground_ = nullptr;
  Bitmap* mask_ = nullptr;
  ImageFilterInfo* info_ = nullptr;
  HWND dialog_ = nullptr;
};
