#include "cli/config/settings_text.h"

#include <cstdarg>
#include <cstdio>
#include <optional>

#include "core/frame_driver.h"
#include "imageio/text.h"

namespace selvo {
namespace {

std::string Format(const char* format, ...) {
  char text[256];
  va_list args;
  va_start(args, format);
  std::vsnprintf(text, sizeof text, format, args);
  va_end(args);
  return text;
}

// Both selectors keep whatever value the block holds; every consumer treats
// a value other than the first of the pair as the second.
const char* SourceName(const RendererConfig& config) {
  return config.sourceChannel == kMaterialEffectsChannel ? "material" : "object";
}

const char* MethodName(const RendererConfig& config) {
  return UsesUniformDistribution(config) ? "uniform" : "similar";
}

std::string EscapeJson(std::string_view name) {
  std::string out = "\"";
  for (unsigned char c : name) {
    if (c == '"' || c == '\\') out += std::string("\\") + char(c);
    else if (c >= 0x20 && c < 0x7F) out += char(c);
    else out += Format("\\u%04x", c);  // read as Latin-1
  }
  return out + "\"";
}

}  // namespace

std::string FormatSettingsText(const RendererConfig& config, int frame) {
  std::string text;
  text += Format("version         %u\n", config.version);
  text += Format("source channel  %d (%s)\n", config.sourceChannel,
                 config.sourceChannel == kMaterialEffectsChannel ? "material effects channel"
                                                                 : "object channel");
  const std::optional<std::string_view> name = OutputName(config);
  if (name) {
    const std::string example = ComposeOutputName(*name, frame);
    text += "output name     " + Printable(*name) + "  (frame " + std::to_string(frame) +
            " is written as " +
            (example.empty() ? "nothing: the name is too long" : Printable(example)) + ")\n";
  } else {
    text += "output name     (no terminating NUL in its 256 bytes)\n";
  }
  text +=
      Format("method          %d (%s)\n", config.method,
             UsesUniformDistribution(config) ? "uniform distribution" : "find most similar colour");
  text += "ranges          ID  From   To  Dither\n";
  for (int id = 0; id < kRangeCount; ++id) {
    const ColorRange& range = config.ranges[id];
    text += Format("                %2d  %4u %4u  %s\n", id, range.from, range.to,
                   range.dither ? "on" : "off");
  }
  text += "palette         entries as RRGGBB, 16 a line\n";
  for (int row = 0; row < 16; ++row) {
    text += Format("            %3d ", row * 16);
    for (int i = row * 16; i < row * 16 + 16; ++i) {
      const uint8_t* entry = config.palette + 3 * i;
      text += Format(" %02x%02x%02x", entry[0], entry[1], entry[2]);
    }
    text += "\n";
  }
  return text;
}

std::string FormatSettingsJson(const RendererConfig& config, int frame) {
  const std::optional<std::string_view> name = OutputName(config);
  const std::string written = name ? ComposeOutputName(*name, frame) : "";
  std::string json = "{\n";
  json += Format("  \"version\": %u,\n", config.version);
  json += Format("  \"sourceChannel\": %d,\n  \"source\": \"%s\",\n", config.sourceChannel,
                 SourceName(config));
  json += "  \"outputName\": " + (name ? EscapeJson(*name) : std::string("null")) + ",\n";
  json += Format("  \"frame\": %d,\n", frame);
  json +=
      "  \"frameName\": " + (written.empty() ? std::string("null") : EscapeJson(written)) + ",\n";
  json +=
      Format("  \"method\": %d,\n  \"methodName\": \"%s\",\n", config.method, MethodName(config));
  json += "  \"ranges\": [\n";
  for (int id = 0; id < kRangeCount; ++id) {
    const ColorRange& range = config.ranges[id];
    json += Format("    {\"id\": %d, \"from\": %u, \"to\": %u, \"dither\": %u}%s\n", id, range.from,
                   range.to, range.dither, id + 1 < kRangeCount ? "," : "");
  }
  json += "  ],\n  \"palette\": [\n";
  for (int i = 0; i < 256; ++i) {
    const uint8_t* entry = config.palette + 3 * i;
    json += Format("%s[%u, %u, %u]%s", i % 8 == 0 ? "    " : "", entry[0], entry[1], entry[2],
                   i == 255 ? "\n" : (i % 8 == 7 ? ",\n" : ", "));
  }
  json += "  ]\n}\n";
  return json;
}

std::string FolderDotWarning(const RendererConfig& config, int frame) {
  const std::optional<std::string_view> name = OutputName(config);
  if (!name) return "";
  const std::size_t dot = name->find('.');
  if (dot == std::string_view::npos || name->find('/', dot) == std::string_view::npos) return "";
  const std::string written = ComposeOutputName(*name, frame);
  if (written.empty()) return "";
  return "warning: the output name \"" + Printable(*name) +
         "\" is cut at its first \".\", which lies in a folder name: frame " +
         std::to_string(frame) + " is written as " + Printable(written);
}

}  // namespace selvo
