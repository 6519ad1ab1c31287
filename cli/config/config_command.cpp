#include "cli/config/config_command.h"

#include <algorithm>
#include <cctype>
#include <climits>
#include <cstdio>
#include <filesystem>
#include <optional>

#include "cli/config/extras_config.h"
#include "cli/config/settings_file.h"
#include "cli/config/settings_picture.h"
#include "cli/config/settings_text.h"
#include "cli/terminal/arguments.h"
#include "cli/terminal/help_text.h"
#include "cli/terminal/standard_streams.h"
#include "demo/demo_scene.h"
#include "extras/extras_document.h"
#include "imageio/palette/palette_files.h"
#include "imageio/text.h"

namespace selvo {
namespace {

constexpr int kExitFailure = 1;
constexpr int kExitUsage = 2;

int Fail(const std::string& message, int status = kExitFailure) {
  PrintError(message);
  return status;
}

bool IsHelp(const std::string& argument) { return argument == "--help" || argument == "-h"; }

int ShowHelp() {
  WriteText(stdout, kConfigHelp);
  return 0;
}

bool FileExists(const std::string& path) {
  std::FILE* file = std::fopen(path.c_str(), "rb");
  if (file) std::fclose(file);
  return file != nullptr;
}

// "ID=REST" with ID 0..15.
std::optional<int> SplitId(const std::string& value, std::string& rest) {
  const std::size_t equals = value.find('=');
  if (equals == std::string::npos) return std::nullopt;
  rest = value.substr(equals + 1);
  const std::optional<long> id = ParseInteger(value.substr(0, equals), 0, kRangeCount - 1);
  if (!id) return std::nullopt;
  return int(*id);
}

std::string SetRange(RendererConfig& config, const std::string& value) {
  std::string bounds;
  const std::optional<int> id = SplitId(value, bounds);
  const std::size_t dash = bounds.find('-');
  const std::optional<long> from = ParseInteger(bounds.substr(0, dash), 0, 255);
  const std::optional<long> to =
      dash == std::string::npos ? std::nullopt : ParseInteger(bounds.substr(dash + 1), 0, 255);
  if (!id || !from || !to)
    return "--range " + value + ": expected ID=FROM-TO (ID 0..15, FROM and TO 0..255)";
  config.ranges[*id].from = uint8_t(*from);
  config.ranges[*id].to = uint8_t(*to);
  return "";
}

std::string SetDither(RendererConfig& config, const std::string& value) {
  std::string state;
  const std::optional<int> id = SplitId(value, state);
  if (!id || (state != "on" && state != "off"))
    return "--dither " + value + ": expected ID=on or ID=off (ID 0..15)";
  config.ranges[*id].dither = state == "on" ? 1 : 0;
  return "";
}

// "FILE" or "FILE@START": the colours go to entries START on.
std::string SetPalette(RendererConfig& config, const std::string& value) {
  std::string path = value;
  int start = 0;
  const std::size_t at = value.rfind('@');
  const std::string suffix = at == std::string::npos ? "" : value.substr(at + 1);
  if (!suffix.empty() && std::all_of(suffix.begin(), suffix.end(), ::isdigit)) {
    const std::optional<long> entry = ParseInteger(suffix, 0, 255);
    if (!entry) return "--palette " + value + ": START must be 0..255";
    path = value.substr(0, at);
    start = int(*entry);
  }
  std::vector<PaletteColor> colors;
  const std::string error = ReadPaletteFile(path, colors);
  return error.empty() ? PlacePaletteColors(colors, start, path, config.palette) : error;
}

int Init(OptionReader& reader) {
  std::string path;
  bool demo = false;
  bool force = false;
  while (reader.Next()) {
    if (IsHelp(reader.Name())) return ShowHelp();
    if (reader.Name() == "--demo") demo = true;
    else if (reader.Name() == "--force") force = true;
    else if (!reader.IsOption() && path.empty()) path = reader.Name();
    else return Fail("config init: unexpected argument " + reader.Name(), kExitUsage);
  }
  if (path.empty()) return Fail("config init: missing settings file name", kExitUsage);
  const bool extras = IsExtrasDocument(path);
  if (extras && demo)
    return Fail("config init: --demo makes a settings block; an extras document starts empty",
                kExitUsage);
  if (!force && FileExists(path))
    return Fail(path + ": already exists (use --force to replace it)");
  const std::string error = extras ? WriteExtrasFile(path, Extras{})
                                   : SaveSettingsFile(path, demo ? DemoConfig() : RendererConfig());
  return error.empty() ? 0 : Fail(error);
}

bool SameFile(const std::string& a, const std::string& b) {
  std::error_code error;
  return std::filesystem::equivalent(a, b, error);
}

int ShowExtras(const std::string& path, bool json, const std::string& picture) {
  if (!picture.empty())
    return Fail("config show: --png draws a settings block, not an extras document", kExitUsage);
  Extras extras;
  const std::string error = ReadExtrasFile(path, extras);
  if (!error.empty()) return Fail(error);
  WriteText(stdout, json ? ExtrasToJson(extras) : FormatExtrasText(extras));
  return 0;
}

// Every option is checked before the document is rewritten.
int SetExtras(const std::string& path,
              const std::vector<std::pair<std::string, std::string>>& edits) {
  Extras extras;
  std::string error = ReadExtrasFile(path, extras);
  for (std::size_t i = 0; error.empty() && i < edits.size(); ++i)
    error = ApplyExtrasSetting(extras, edits[i].first, edits[i].second);
  if (error.empty()) error = WriteExtrasFile(path, extras);
  return error.empty() ? 0 : Fail(error);
}

int Show(OptionReader& reader) {
  std::string path;
  std::string picture;
  bool json = false;
  int frame = 1;
  while (reader.Next()) {
    if (IsHelp(reader.Name())) return ShowHelp();
    if (reader.Name() == "--json") {
      json = true;
    } else if (reader.Name() == "--frame") {
      const std::optional<std::string> value = reader.Value();
      const std::optional<long> number =
          value ? ParseInteger(*value, INT_MIN, INT_MAX) : std::nullopt;
      if (!number) return Fail("config show: --frame needs a whole number", kExitUsage);
      frame = int(*number);
    } else if (reader.Name() == "--png") {
      const std::optional<std::string> value = reader.Value();
      if (!value) return Fail("config show: --png needs a value", kExitUsage);
      picture = *value;
    } else if (!reader.IsOption() && path.empty()) {
      path = reader.Name();
    } else {
      return Fail("config show: unexpected argument " + reader.Name(), kExitUsage);
    }
  }
  if (path.empty()) return Fail("config show: missing settings file name", kExitUsage);
  if (json && !picture.empty())
    return Fail("config show: give --json or --png, not both", kExitUsage);
  if (IsExtrasDocument(path)) return ShowExtras(path, json, picture);
  RendererConfig config;
  std::string error = LoadSettingsFile(path, config);
  if (error.empty() && SameFile(path, picture))
    error = picture + ": is the settings file itself; name another file for the picture";
  if (!error.empty()) return Fail(error);
  if (!picture.empty()) {
    error = SaveSettingsPicture(picture, config);
    return error.empty() ? 0 : Fail(error);
  }
  WriteText(stdout, json ? FormatSettingsJson(config, frame) : FormatSettingsText(config, frame));
  return 0;
}

// Every option is checked before the file is touched: a bad one changes
// nothing.
int Set(OptionReader& reader) {
  std::string path;
  std::vector<std::pair<std::string, std::string>> edits;
  while (reader.Next()) {
    if (IsHelp(reader.Name())) return ShowHelp();
    if (!reader.IsOption()) {
      if (!path.empty())
        return Fail("config set: unexpected argument " + reader.Name(), kExitUsage);
      path = reader.Name();
      continue;
    }
    const std::string option = reader.Name();
    const std::optional<std::string> value = reader.Value();
    if (!value) return Fail("config set: " + option + " needs a value", kExitUsage);
    edits.emplace_back(option, *value);
  }
  if (path.empty()) return Fail("config set: missing settings file name", kExitUsage);
  if (edits.empty()) return Fail("config set: nothing to change", kExitUsage);
  if (IsExtrasDocument(path)) return SetExtras(path, edits);
  RendererConfig config;
  std::string error = LoadSettingsFile(path, config);
  for (std::size_t i = 0; error.empty() && i < edits.size(); ++i)
    error = ApplySetting(config, edits[i].first, edits[i].second);
  if (error.empty()) error = SaveSettingsFile(path, config);
  if (!error.empty()) return Fail(error);
  const bool namesOutput = std::any_of(edits.begin(), edits.end(),
                                       [](const auto& edit) { return edit.first == "--output"; });
  const std::string warning = namesOutput ? FolderDotWarning(config, 1) : "";
  if (!warning.empty()) PrintError(warning);
  return 0;
}

int ExportPalette(OptionReader& reader) {
  std::vector<std::string> paths;
  bool force = false;
  while (reader.Next()) {
    if (IsHelp(reader.Name())) return ShowHelp();
    if (reader.Name() == "--force") force = true;
    else if (!reader.IsOption() && paths.size() < 2) paths.push_back(reader.Name());
    else return Fail("config export-palette: unexpected argument " + reader.Name(), kExitUsage);
  }
  if (paths.size() < 2)
    return Fail("config export-palette: give the settings file and the palette file", kExitUsage);
  RendererConfig config;
  std::string error = LoadSettingsFile(paths[0], config);
  if (error.empty() && !force && FileExists(paths[1]))
    error = paths[1] + ": already exists (use --force to replace it)";
  if (error.empty()) error = WritePaletteFile(paths[1], config.palette);
  return error.empty() ? 0 : Fail(error);
}

}  // namespace

std::string ApplySetting(RendererConfig& config, const std::string& option,
                         const std::string& value) {
  if (option == "--source") {
    if (value == "material") config.sourceChannel = kMaterialEffectsChannel;
    else if (value == "object") config.sourceChannel = kObjectChannel;
    else return "--source " + value + ": expected material or object";
    return "";
  }
  if (option == "--method") {
    if (value == "uniform") config.method = kUniformDistribution;
    else if (value == "similar") config.method = kFindMostSimilarColor;
    else return "--method " + value + ": expected uniform or similar";
    return "";
  }
  if (option == "--output") {
    if (!SetOutputName(config, value)) return "--output: the name is longer than 255 characters";
    return "";
  }
  if (option == "--range") return SetRange(config, value);
  if (option == "--dither") return SetDither(config, value);
  if (option == "--palette") return SetPalette(config, value);
  return "config set: unknown option " + option;
}

int RunConfigCommand(const std::vector<std::string>& args) {
  if (args.empty() || IsHelp(args[0])) {
    std::fputs(kConfigHelp, args.empty() ? stderr : stdout);
    return args.empty() ? kExitUsage : 0;
  }
  OptionReader reader(std::vector<std::string>(args.begin() + 1, args.end()));
  if (args[0] == "init") return Init(reader);
  if (args[0] == "show") return Show(reader);
  if (args[0] == "set") return Set(reader);
  if (args[0] == "export-palette") return ExportPalette(reader);
  return Fail("config: unknown action " + args[0] + " (init, show, set or export-palette)",
              kExitUsage);
}

}  // namespace selvo
