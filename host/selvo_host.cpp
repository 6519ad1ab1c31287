// selvo-host: a stand-in for the 3D host. It loads a filter module, reaches
// it only through its exports and class descriptor, and drives it the way
// the host would: identification, settings, rendering a frame, dialogs.
#include <windows.h>

#include <cerrno>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "core/renderer_config.h"
#include "files/atomic_file.h"
#include "host/demo_frame.h"
#include "host/dialog_screenshot.h"
#include "host/host_window.h"
#include "host/loaded_module.h"
#include "host/progress_window.h"
#include "host/sdk/class_desc.h"
#include "host/sdk/image_filter.h"

namespace {

constexpr int kExitFailure = 1;
constexpr int kExitUsage = 2;

const char kUsage[] =
    "usage: selvo-host info MODULE\n"
    "       selvo-host render MODULE [--settings FILE] --demo --frame N [--abort-at N]\n"
    "       selvo-host setup MODULE --settings FILE\n"
    "       selvo-host about MODULE\n"
    "       selvo-host screenshot MODULE setup|about FILE.bmp [--settings FILE]\n";

int Fail(const std::string& what, const std::string& problem) {
  std::fprintf(stderr, "selvo-host: %s: %s\n", what.c_str(), problem.c_str());
  return kExitFailure;
}

const char* Text(const char* text) { return text != nullptr ? text : "(null)"; }

// The command line after the command word: the module, then options.
struct Arguments {
  std::string module;
  std::string settings;
  bool demo = false;
  bool hasFrame = false;
  int frame = 0;
  int abortAt = 0;
  std::vector<std::string> positional;  // the command's words after the module
};

bool ParseInt(const char* text, int& value) {
  char* end = nullptr;
  errno = 0;
  const long long parsed = std::strtoll(text, &end, 10);
  if (end == text || *end != '\0' || errno == ERANGE || parsed < INT_MIN || parsed > INT_MAX)
    return false;
  value = int(parsed);
  return true;
}

bool Parse(int argc, char** argv, int positionalCount, Arguments& arguments) {
  if (argc < 3 + positionalCount) return false;
  arguments.module = argv[2];
  arguments.positional.assign(argv + 3, argv + 3 + positionalCount);
  for (int i = 3 + positionalCount; i < argc; ++i) {
    const std::string option = argv[i];
    const bool hasValue = i + 1 < argc;
    if (option == "--demo") {
      arguments.demo = true;
    } else if (option == "--settings" && hasValue) {
      arguments.settings = argv[++i];
    } else if (option == "--frame" && hasValue) {
      if (!ParseInt(argv[++i], arguments.frame)) return false;
      arguments.hasFrame = true;
    } else if (option == "--abort-at" && hasValue) {
      if (!ParseInt(argv[++i], arguments.abortAt) || arguments.abortAt < 0) return false;
    } else {
      return false;
    }
  }
  return true;
}

// The module's image-filter class, found the way the host finds it.
ClassDesc* FindFilterClass(const LoadedModule& module) {
  for (int i = 0; i < module.LibNumberClasses(); ++i) {
    ClassDesc* descriptor = module.LibClassDesc(unsigned(i));
    if (descriptor != nullptr && descriptor->SuperClassID() == kImageFilterSuperClassId)
      return descriptor;
  }
  return nullptr;
}

bool ReadFile(const std::string& path, std::vector<char>& bytes) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  return !in.bad();
}

// Saved like every other file of ours: a failed save keeps the old settings.
// Returns "" or the problem, naming the file.
std::string WriteFile(const std::string& path, const std::vector<char>& bytes) {
  return selvo::WriteFileAtomically(path, [&](std::FILE* file) -> std::string {
    if (std::fwrite(bytes.data(), 1, bytes.size(), file) != bytes.size())
      return "cannot write file";
    return "";
  });
}

// Hands a stored settings block to the filter as the host does on load.
int LoadSettings(ImageFilter& filter, const std::string& path, std::vector<char>& block) {
  if (!ReadFile(path, block)) return Fail(path, "cannot read the settings");
  if (block.size() != filter.GetConfigSize())
    return Fail(path,
                "not a settings block of " + std::to_string(filter.GetConfigSize()) + " bytes");
  if (!filter.LoadConfig(block.data()))
    return Fail(path, "the filter refused the settings (a newer version)");
  return 0;
}

void PrintVersionNumber(const char* label, DWORD high, DWORD low) {
  std::printf("%s: %u.%u.%u.%u\n", label, unsigned(HIWORD(high)), unsigned(LOWORD(high)),
              unsigned(HIWORD(low)), unsigned(LOWORD(low)));
}

void PrintVersionResource(const std::string& path) {
  DWORD ignored = 0;
  const DWORD size = GetFileVersionInfoSizeA(path.c_str(), &ignored);
  std::vector<char> info(size);
  if (size == 0 || !GetFileVersionInfoA(path.c_str(), 0, size, info.data())) {
    std::printf("version resource: none\n");
    return;
  }
  VS_FIXEDFILEINFO* fixed = nullptr;
  UINT length = 0;
  if (VerQueryValueA(info.data(), "\\", reinterpret_cast<void**>(&fixed), &length) &&
      fixed != nullptr) {
    PrintVersionNumber("file version", fixed->dwFileVersionMS, fixed->dwFileVersionLS);
    PrintVersionNumber("product version", fixed->dwProductVersionMS, fixed->dwProductVersionLS);
    std::printf("file type: 0x%lX, file OS: 0x%lX\n", fixed->dwFileType, fixed->dwFileOS);
  }
  // The language and code page under which a file viewer looks up the strings.
  WORD* translation = nullptr;
  if (VerQueryValueA(info.data(), "\\VarFileInfo\\Translation",
                     reinterpret_cast<void**>(&translation), &length) &&
      length >= 2 * sizeof(WORD))
    std::printf("translation: %04x %04x\n", unsigned(translation[0]), unsigned(translation[1]));
  static const char* const kKeys[] = {
      "Comments",       "CompanyName",     "FileDescription",  "FileVersion", "InternalName",
      "LegalCopyright", "LegalTrademarks", "OriginalFilename", "ProductName", "ProductVersion"};
  for (const char* key : kKeys) {
    const std::string query = std::string("\\StringFileInfo\\040904b0\\") + key;
    char* value = nullptr;
    if (VerQueryValueA(info.data(), query.c_str(), reinterpret_cast<void**>(&value), &length))
      std::printf("  %s: %s\n", key, length > 0 ? value : "");
  }
}

void PrintFilter(ImageFilter& filter) {
  std::printf("  GetDescription: %s\n", Text(filter.GetDescription()));
  std::printf("  GetAuthorName: %s\n", Text(filter.GetAuthorName()));
  std::printf("  GetCopyrightMessage: %s\n", Text(filter.GetCopyrightMessage()));
  std::printf("  GetVersion: %lu\n", filter.GetVersion());
  std::printf("  GetCapability: %lu\n", filter.GetCapability());
  std::printf("  GetRequiredChannels: %lu\n", filter.GetRequiredChannels());
  std::printf("  GetConfigSize: %lu\n", filter.GetConfigSize());
}

int Info(const LoadedModule& module, const std::string& path) {
  std::printf("module: %s\n", path.c_str());
  std::printf("LibDescription: %s\n", Text(module.LibDescription()));
  std::printf("LibVersion: 0x%08lX\n", module.LibVersion());
  const int classes = module.LibNumberClasses();
  std::printf("LibNumberClasses: %d\n", classes);
  for (int i = 0; i < classes; ++i) {
    ClassDesc* descriptor = module.LibClassDesc(unsigned(i));
    std::printf("class %d:\n", i);
    if (descriptor == nullptr) {
      std::printf("  (no descriptor)\n");
      continue;
    }
    const Class_ID id = descriptor->ClassID();
    std::printf("  ClassName: %s\n", Text(descriptor->ClassName()));
    std::printf("  Category: %s\n", Text(descriptor->Category()));
    std::printf("  IsPublic: %d\n", descriptor->IsPublic());
    std::printf("  SuperClassID: 0x%04lX\n", descriptor->SuperClassID());
    std::printf("  ClassID: (0x%08lX, 0x%08lX)\n", id.PartA(), id.PartB());
    if (descriptor->SuperClassID() != kImageFilterSuperClassId) continue;
    FilterPtr filter = CreateFilter(*descriptor);
    if (filter == nullptr) {
      std::printf("  (Create gave no filter)\n");
      continue;
    }
    PrintFilter(*filter);
  }
  std::printf("LibClassDesc(%d): %s\n", classes,
              module.LibClassDesc(unsigned(classes)) == nullptr ? "null" : "not null");
  PrintVersionResource(path);
  return 0;
}

// The last time the file at `path` was written, or 0 when there is none.
uint64_t LastWritten(const std::string& path) {
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (!GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data)) return 0;
  return uint64_t(data.ftLastWriteTime.dwHighDateTime) << 32 | data.ftLastWriteTime.dwLowDateTime;
}

// The file a rendered frame is saved to, by the host contract's naming
// rule, or "" when the settings give no name that fits.
std::string ExpectedPcx(const std::vector<char>& block, int frame) {
  selvo::RendererConfig config;
  if (!selvo::LoadConfig(config, block.data())) return "";
  const std::optional<std::string_view> name = selvo::OutputName(config);
  return name ? selvo::ComposeOutputName(*name, frame) : "";
}

int Render(ImageFilter& filter, const Arguments& arguments) {
  if (!arguments.demo || !arguments.hasFrame) return kExitUsage;
  std::vector<char> block;
  if (arguments.settings.empty()) {
    // The demo settings come to the filter the way stored settings do.
    const std::vector<uint8_t> demo = DemoSettingsBlock();
    block.assign(demo.begin(), demo.end());
    if (block.size() != filter.GetConfigSize() || !filter.LoadConfig(block.data()))
      return Fail("demo", "the filter refused the demo settings");
  } else if (int failed = LoadSettings(filter, arguments.settings, block)) {
    return failed;
  }
  // The module stays silent when it cannot save the frame, as its contract
  // says; the host sees that no file appeared.
  const std::string pcx = ExpectedPcx(block, arguments.frame);
  const uint64_t before = pcx.empty() ? 0 : LastWritten(pcx);

  std::unique_ptr<Bitmap> demo = MakeDemoFrame(arguments.frame);
  if (demo == nullptr) return Fail("demo", "cannot build the demo frame");
  Bitmap& frame = *demo;
  ImageFilterInfo info;
  info.frameNumber = arguments.frame;
  filter.SetSource(&frame);
  filter.SetFilterInfo(&info);

  StandInProgressWindow progress(arguments.abortAt);
  if (progress.Handle() == nullptr) return Fail("host", "cannot create the progress window");
  const BOOL rendered = filter.RenderFrame(progress.Handle());
  std::printf("RenderFrame: %d\n", rendered);
  std::printf("progress messages: %d (rows in order: %s, last row %ld)\n",
              progress.ProgressMessages(), progress.RowsInOrder() ? "yes" : "no",
              progress.LastRow());
  std::printf("abort queries: %d\n", progress.AbortQueries());
  std::printf("pixels stored: %ld (largest run %d)\n", frame.PutPixelsCalls(),
              frame.LargestPutPixelsCount());
  filter.SetSource(nullptr);
  filter.SetFilterInfo(nullptr);
  if (progress.Aborted()) return 0;  // an aborted frame writes no file
  if (pcx.empty())
    return Fail("render",
                "the filter wrote no file: the settings' output name "
                "gives no file name that fits");
  const uint64_t after = LastWritten(pcx);
  if (after == 0 || after == before)
    return Fail(pcx,
                "the filter wrote no file (a missing folder, no permission, a full disk or "
                "a character Windows does not allow in names)");
  return 0;
}

int Setup(ImageFilter& filter, const std::string& settings) {
  if (settings.empty()) return kExitUsage;
  // A missing file starts from the filter's defaults.
  if (GetFileAttributesA(settings.c_str()) != INVALID_FILE_ATTRIBUTES) {
    std::vector<char> block;
    if (int failed = LoadSettings(filter, settings, block)) return failed;
  }
  HostWindow host;
  const BOOL confirmed = filter.ShowSetupDialog(host.Handle());
  std::printf("ShowSetupDialog: %d\n", confirmed);
  if (!confirmed) return 0;
  std::vector<char> block(filter.GetConfigSize());
  if (!filter.SaveConfig(block.data())) return Fail(settings, "cannot save the settings");
  const std::string problem = WriteFile(settings, block);
  if (!problem.empty()) return Fail("cannot save the settings", problem);
  return 0;
}

// Opens a dialog, saves what it shows as a BMP file and closes it again.
int Screenshot(ImageFilter& filter, const Arguments& arguments) {
  if (!arguments.settings.empty()) {
    std::vector<char> block;
    if (int failed = LoadSettings(filter, arguments.settings, block)) return failed;
  }
  const std::string& dialog = arguments.positional[0];
  const std::string& picture = arguments.positional[1];
  std::string error;
  if (!ScreenshotDialog(filter, dialog, picture, error)) return Fail(picture, error);
  std::printf("%s dialog saved as %s\n", dialog.c_str(), picture.c_str());
  return 0;
}

int Run(const std::string& command, const Arguments& arguments) {
  LoadedModule module;
  std::string error;
  if (!module.Load(arguments.module, error)) return Fail(arguments.module, error);
  if (command == "info") return Info(module, arguments.module);

  ClassDesc* descriptor = FindFilterClass(module);
  if (descriptor == nullptr) return Fail(arguments.module, "offers no image filter");
  FilterPtr filter = CreateFilter(*descriptor);
  if (filter == nullptr) return Fail(arguments.module, "the filter could not be created");
  if (command == "render") return Render(*filter, arguments);
  if (command == "setup") return Setup(*filter, arguments.settings);
  if (command == "screenshot") return Screenshot(*filter, arguments);
  HostWindow host;
  std::printf("ShowAboutBox: %d\n", filter->ShowAboutBox(host.Handle()));
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  Arguments arguments;
  const std::string command = argc > 1 ? argv[1] : "";
  const bool known = command == "info" || command == "render" || command == "setup" ||
                     command == "about" || command == "screenshot";
  const int positionalCount = command == "screenshot" ? 2 : 0;
  if (!known || !Parse(argc, argv, positionalCount, arguments)) {
    std::fputs(kUsage, stderr);
    return kExitUsage;
  }
  const int status = Run(command, arguments);
  if (status == kExitUsage) std::fputs(kUsage, stderr);
  return status;
}
