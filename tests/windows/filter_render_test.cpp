// Rendering frames through the module: the host's frame and progress window
// on one side, the palettized frame and the PCX file on the other.
#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <fstream>
#include <map>
#include <set>

#include "host/progress_window.h"
#include "testing/pcx_decode.h"
#include "windows_test_support.h"

namespace {

using wintest::Block;

// Entries of the default 3-3-2 palette used below, worked out by hand.
const std::map<int, std::array<int, 3>> kDefaultEntries = {{1, {0, 0, 85}},
                                                           {24, {0, 218, 0}},
                                                           {100, {109, 36, 0}},
                                                           {224, {255, 0, 0}},
                                                           {255, {255, 255, 255}}};

// A frame the host owns, with distinct colours and alphas per pixel.
struct TestFrame {
  TestFrame(int width, int height) : bitmap(WORD(width), WORD(height)) {
    for (int y = 0; y < height; ++y)
      for (int x = 0; x < width; ++x)
        Pixel(x, y) = BMM_Color_64{WORD(1000 * x + 7), WORD(2000 * y + 3), WORD(500 * (x + y)),
                                   WORD(100 * x + 10 * y + 1)};
    original.assign(bitmap.Storage(), bitmap.Storage() + width * height);
  }
  BMM_Color_64& Pixel(int x, int y) { return bitmap.Storage()[y * bitmap.Width() + x]; }
  bool Unchanged(int row) {
    const int w = bitmap.Width();
    return std::memcmp(bitmap.Storage() + row * w, original.data() + row * w,
                       w * sizeof(BMM_Color_64)) == 0;
  }
  template <typename Id>
  void SetIds(ULONG selector, const std::vector<Id>& ids) {
    auto* channel = static_cast<Id*>(bitmap.CreateChannel(selector));
    std::copy(ids.begin(), ids.end(), channel);
  }

  Bitmap bitmap;
  std::vector<BMM_Color_64> original;
  ImageFilterInfo info;
};

class FilterRenderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(loaded.Load());
    settings = loaded.Save();
    const std::string name = ::testing::UnitTest::GetInstance()->current_test_info()->name();
    wintest::PutName(settings, name + ".pcx");
    pcxFor7 = name + "0007.pcx";
    DeleteFileA(pcxFor7.c_str());
  }
  void TearDown() override { DeleteFileA(pcxFor7.c_str()); }

  // Hands over the settings and the frame (as frame 7) and renders it.
  BOOL Render(TestFrame& frame, HWND progressWindow) {
    EXPECT_TRUE(filter().LoadConfig(settings.data()));
    frame.info.frameNumber = 7;
    filter().SetSource(&frame.bitmap);
    filter().SetFilterInfo(&frame.info);
    return filter().RenderFrame(progressWindow);
  }
  BOOL Render(TestFrame& frame, StandInProgressWindow& progress) {
    return Render(frame, progress.Handle());
  }

  ImageFilter& filter() { return *loaded.filter; }
  wintest::LoadedFilter loaded;
  Block settings;
  std::string pcxFor7;
};

void ExpectIndices(const std::string& pcxPath, int width, int height,
                   const std::vector<uint8_t>& expected) {
  const selvo::test::DecodedPcx image = selvo::test::DecodePcx(wintest::ReadBytes(pcxPath));
  ASSERT_TRUE(image.ok) << pcxPath;
  EXPECT_EQ(width, image.width);
  EXPECT_EQ(height, image.height);
  EXPECT_EQ(expected, image.indices);
}

// Ranges of one entry each make the index depend on the ID alone.
void SetSingleEntryRanges(Block& settings) {
  wintest::PutRange(settings, 0, 224, 224, 0);
  wintest::PutRange(settings, 1, 24, 24, 0);
  wintest::PutRange(settings, 2, 1, 1, 1);
  wintest::PutRange(settings, 3, 255, 255, 0);
  wintest::PutRange(settings, 15, 100, 100, 0);
}

TEST_F(FilterRenderTest, MaterialIdsAreBytesAndColoursAreWrittenBack) {
  SetSingleEntryRanges(settings);
  TestFrame frame(5, 3);
  frame.SetIds<BYTE>(kMaterialEffectsIdChannel, {0, 1, 2, 3, 17,   //
                                                 3, 2, 1, 0, 255,  //
                                                 1, 1, 1, 1, 1});
  StandInProgressWindow progress;
  EXPECT_TRUE(Render(frame, progress));

  const std::vector<uint8_t> expected = {224, 24, 1,  255, 224,  //
                                         255, 1,  24, 224, 224,  //
                                         24,  24, 24, 24,  24};
  ExpectIndices(pcxFor7, 5, 3, expected);
  for (int y = 0; y < 3; ++y)
    for (int x = 0; x < 5; ++x) {
      const BMM_Color_64& pixel = frame.Pixel(x, y);
      const std::array<int, 3>& rgb = kDefaultEntries.at(expected[y * 5 + x]);
      EXPECT_EQ(rgb[0] * 256, pixel.r) << x << "," << y;
      EXPECT_EQ(rgb[1] * 256, pixel.g) << x << "," << y;
      EXPECT_EQ(rgb[2] * 256, pixel.b) << x << "," << y;
      EXPECT_EQ(frame.original[y * 5 + x].a, pixel.a) << "alpha kept at " << x << "," << y;
    }
  // The host's contract: pixels come back one at a time.
  EXPECT_EQ(15, frame.bitmap.PutPixelsCalls());
  EXPECT_EQ(1, frame.bitmap.LargestPutPixelsCount());
}

TEST_F(FilterRenderTest, ObjectIdsAreSixteenBitAndLargeOnesUseIdZero) {
  SetSingleEntryRanges(settings);
  wintest::PutU32(settings, wintest::kSourceAt, 1002);
  TestFrame frame(5, 3);
  // A byte channel that would give other indices, to catch the wrong one.
  frame.SetIds<BYTE>(kMaterialEffectsIdChannel, std::vector<BYTE>(15, 3));
  frame.SetIds<WORD>(kObjectIdChannel, {0x0101, 3, 0x0203, 1, 2,  //
                                        15, 16, 0xFFFF, 0, 3,     //
                                        2, 2, 2, 2, 2});
  StandInProgressWindow progress;
  EXPECT_TRUE(Render(frame, progress));
  ExpectIndices(pcxFor7, 5, 3,
                {224, 255, 224, 24, 1,     //
                 100, 224, 224, 224, 255,  //
                 1, 1, 1, 1, 1});
}

// Grey levels through both uniform variants and the nearest-colour search,
// with the values the mapping rules give by hand.
TEST_F(FilterRenderTest, MapsGreyLevelsAsTheRulesSay) {
  const std::vector<WORD> levels = {0, 10000, 20000, 30000, 40000, 50000, 65535};
  TestFrame frame(7, 4);
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 7; ++x)
      frame.Pixel(x, y) = BMM_Color_64{levels[x], levels[x], levels[x], 0};
  frame.SetIds<BYTE>(kMaterialEffectsIdChannel, {0, 0, 0, 0, 0, 0, 0,  //
                                                 0, 0, 0, 0, 0, 0, 0,  //
                                                 1, 1, 1, 1, 1, 1, 1,  //
                                                 1, 1, 1, 1, 1, 1, 1});
  wintest::PutRange(settings, 0, 16, 19, 0);
  wintest::PutRange(settings, 1, 16, 19, 1);
  StandInProgressWindow progress;
  EXPECT_TRUE(Render(frame, progress));
  ExpectIndices(pcxFor7, 7, 4, {16, 16, 17, 17, 18, 19, 19,  //
                                16, 16, 17, 17, 18, 19, 19,  //
                                16, 17, 17, 18, 18, 19, 19,  //
                                16, 16, 17, 17, 18, 18, 19});
}

TEST_F(FilterRenderTest, NearestColourPrefersTheLowerIndexOnATie) {
  const std::vector<WORD> levels = {16384, 16385, 49024, 49025, 65535};
  TestFrame frame(5, 1);
  for (int x = 0; x < 5; ++x) frame.Pixel(x, 0) = BMM_Color_64{levels[x], levels[x], levels[x], 0};
  frame.SetIds<BYTE>(kMaterialEffectsIdChannel, {0, 0, 0, 0, 0});
  wintest::PutU32(settings, wintest::kMethodAt, 1024);
  wintest::PutRange(settings, 0, 16, 18, 1);
  const uint8_t entries[] = {0, 0, 0, 128, 128, 128, 255, 255, 255};
  std::copy(std::begin(entries), std::end(entries),
            settings.begin() + wintest::kPaletteAt + 3 * 16);
  StandInProgressWindow progress;
  EXPECT_TRUE(Render(frame, progress));
  ExpectIndices(pcxFor7, 5, 1, {16, 17, 17, 18, 18});
}

TEST_F(FilterRenderTest, ReportsEveryRowAndAsksForAbortEachTime) {
  TestFrame frame(4, 3);
  frame.SetIds<BYTE>(kMaterialEffectsIdChannel, std::vector<BYTE>(12, 0));
  StandInProgressWindow progress;
  EXPECT_TRUE(Render(frame, progress));
  EXPECT_EQ(3, progress.ProgressMessages());
  EXPECT_TRUE(progress.RowsInOrder());
  EXPECT_EQ(2, progress.LastRow());
  EXPECT_EQ(3, progress.AbortQueries());
  // All ranges at their defaults: everything becomes entry 0.
  ExpectIndices(pcxFor7, 4, 3, std::vector<uint8_t>(12, 0));
}

TEST_F(FilterRenderTest, AbortAtTheFirstQueryLeavesTheFrameAndWritesNothing) {
  TestFrame frame(4, 3);
  frame.SetIds<BYTE>(kMaterialEffectsIdChannel, std::vector<BYTE>(12, 0));
  StandInProgressWindow progress(1);
  EXPECT_TRUE(Render(frame, progress));
  EXPECT_EQ(1, progress.ProgressMessages());
  EXPECT_EQ(1, progress.AbortQueries());
  for (int y = 0; y < 3; ++y) EXPECT_TRUE(frame.Unchanged(y)) << "row " << y;
  EXPECT_EQ(0, frame.bitmap.PutPixelsCalls());
  EXPECT_FALSE(wintest::FileExists(pcxFor7));
}

TEST_F(FilterRenderTest, AbortLaterKeepsTheRowsAlreadyDone) {
  TestFrame frame(4, 3);
  frame.SetIds<BYTE>(kMaterialEffectsIdChannel, std::vector<BYTE>(12, 0));
  StandInProgressWindow progress(3);
  EXPECT_TRUE(Render(frame, progress));
  EXPECT_EQ(3, progress.AbortQueries());
  EXPECT_FALSE(frame.Unchanged(0));
  EXPECT_FALSE(frame.Unchanged(1));
  EXPECT_TRUE(frame.Unchanged(2));
  EXPECT_EQ(8, frame.bitmap.PutPixelsCalls());
  EXPECT_FALSE(wintest::FileExists(pcxFor7));
}

// A host whose Cancel button sets the abort flag between queries, through
// the address an earlier query handed over: pressed as the progress message
// of `cancelRow` arrives.
class CancelButtonWindow {
 public:
  explicit CancelButtonWindow(long cancelRow) : cancelRow_(cancelRow) {
    static const ATOM registered = [] {
      WNDCLASSA windowClass = {};
      windowClass.lpfnWndProc = &CancelButtonWindow::Procedure;
      windowClass.hInstance = GetModuleHandleA(nullptr);
      windowClass.lpszClassName = kClassName;
      return RegisterClassA(&windowClass);
    }();
    if (registered != 0)
      window_ = CreateWindowExA(0, kClassName, "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                GetModuleHandleA(nullptr), nullptr);
    if (window_ != nullptr)
      SetWindowLongPtrA(window_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
  }
  ~CancelButtonWindow() {
    if (window_ != nullptr) DestroyWindow(window_);
  }
  HWND Handle() const { return window_; }

  int queries = 0;
  std::set<LPARAM> flags;  // the addresses the queries handed over

 private:
  static constexpr char kClassName[] = "SelvoTestCancelButton";
  static LRESULT CALLBACK Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* self = reinterpret_cast<CancelButtonWindow*>(GetWindowLongPtrA(window, GWLP_USERDATA));
    if (self != nullptr && message == WM_USER + 33) {
      ++self->queries;
      self->flags.insert(lParam);
      return 0;
    }
    if (self != nullptr && message == WM_USER + 32 && long(wParam) == self->cancelRow_ &&
        !self->flags.empty()) {
      *reinterpret_cast<int32_t*>(*self->flags.begin()) = 1;
      return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
  }
  HWND window_ = nullptr;
  long cancelRow_;
};

// The flag is cleared once per frame, not before each query: set between
// queries, it stops the frame at the next one. The next frame starts
// cleared.
TEST_F(FilterRenderTest, AbortFlagSetBetweenQueriesStopsTheFrame) {
  TestFrame frame(4, 3);
  frame.SetIds<BYTE>(kMaterialEffectsIdChannel, std::vector<BYTE>(12, 0));
  CancelButtonWindow cancelling(2);
  ASSERT_NE(cancelling.Handle(), nullptr);
  EXPECT_TRUE(Render(frame, cancelling.Handle()));
  EXPECT_EQ(3, cancelling.queries);
  EXPECT_EQ(1u, cancelling.flags.size());
  EXPECT_FALSE(frame.Unchanged(1));
  EXPECT_TRUE(frame.Unchanged(2));
  EXPECT_FALSE(wintest::FileExists(pcxFor7));

  TestFrame next(4, 3);
  next.SetIds<BYTE>(kMaterialEffectsIdChannel, std::vector<BYTE>(12, 0));
  StandInProgressWindow progress;
  EXPECT_TRUE(Render(next, progress));
  EXPECT_EQ(3, progress.AbortQueries());
  EXPECT_TRUE(wintest::FileExists(pcxFor7));
}

TEST_F(FilterRenderTest, NothingToRenderLeavesTheFrameAlone) {
  StandInProgressWindow progress;
  // No frame handed in at all: the only failure the host hears of.
  EXPECT_FALSE(filter().RenderFrame(progress.Handle()));

  // A frame without the channel the settings ask for.
  wintest::PutU32(settings, wintest::kSourceAt, 1002);
  TestFrame frame(4, 3);
  frame.SetIds<BYTE>(kMaterialEffectsIdChannel, std::vector<BYTE>(12, 0));
  EXPECT_TRUE(Render(frame, progress));
  for (int y = 0; y < 3; ++y) EXPECT_TRUE(frame.Unchanged(y));

  // A frame without pixel storage.
  Bitmap empty;
  filter().SetSource(&empty);
  EXPECT_TRUE(filter().RenderFrame(progress.Handle()));
  EXPECT_EQ(0, progress.ProgressMessages());
  EXPECT_FALSE(wintest::FileExists(pcxFor7));
}

TEST_F(FilterRenderTest, FileNameCarriesTheFrameNumber) {
  TestFrame frame(2, 2);
  frame.SetIds<BYTE>(kMaterialEffectsIdChannel, std::vector<BYTE>(4, 0));
  StandInProgressWindow progress;
  ASSERT_TRUE(filter().LoadConfig(settings.data()));
  filter().SetSource(&frame.bitmap);

  const std::string base = "FileNameCarriesTheFrameNumber";
  for (int number : {-1, 12345}) {
    frame.info.frameNumber = number;
    filter().SetFilterInfo(&frame.info);
    EXPECT_TRUE(filter().RenderFrame(progress.Handle()));
  }
  for (const char* suffix : {"-001.pcx", "12345.pcx"}) {
    const std::string name = base + suffix;
    EXPECT_TRUE(wintest::FileExists(name)) << name;
    DeleteFileA(name.c_str());
  }
}

// The module writes the composed name itself: an earlier frame there is
// replaced even while a viewer holds it open without delete sharing.
TEST_F(FilterRenderTest, RenderingAgainReplacesTheEarlierFrame) {
  {
    std::ofstream older(pcxFor7, std::ios::binary);
    older << std::string(5000, 'x');
  }
  HANDLE viewer = CreateFileA(pcxFor7.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                              nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(INVALID_HANDLE_VALUE, viewer);
  TestFrame frame(3, 2);
  frame.SetIds<BYTE>(kMaterialEffectsIdChannel, std::vector<BYTE>(6, 0));
  StandInProgressWindow progress;
  EXPECT_TRUE(Render(frame, progress));
  CloseHandle(viewer);
  ExpectIndices(pcxFor7, 3, 2, std::vector<uint8_t>(6, 0));
  EXPECT_EQ(128u + 2 * 2 + 769, wintest::ReadBytes(pcxFor7).size());
}

// The longest name the settings accept: 247 characters before the dot give
// a composed name of 255 ("0007.pcx" appended), written as it stands.
TEST_F(FilterRenderTest, TheLongestComposedNameIsWritten) {
  const std::string base(247, 'n');
  wintest::PutName(settings, base + ".pcx");
  const std::string composed = base + "0007.pcx";
  ASSERT_EQ(255u, composed.size());
  TestFrame frame(2, 1);
  frame.SetIds<BYTE>(kMaterialEffectsIdChannel, {0, 0});
  StandInProgressWindow progress;
  EXPECT_TRUE(Render(frame, progress));
  ExpectIndices(composed, 2, 1, {0, 0});
  DeleteFileA(composed.c_str());
}

TEST_F(FilterRenderTest, UncreatableFileStillPalettizesTheFrame) {
  wintest::PutName(settings, "no-such-folder\\frame.pcx");
  TestFrame frame(3, 2);
  frame.SetIds<BYTE>(kMaterialEffectsIdChannel, std::vector<BYTE>(6, 0));
  StandInProgressWindow progress;
  EXPECT_TRUE(Render(frame, progress));
  EXPECT_FALSE(frame.Unchanged(0));
  EXPECT_FALSE(frame.Unchanged(1));
  EXPECT_FALSE(wintest::FileExists("no-such-folder\\frame0007.pcx"));
}

}  // namespace
