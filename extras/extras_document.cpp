#include "extras/extras_document.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <initializer_list>
#include <iterator>
#include <nlohmann/json.hpp>
#include <set>
#include <stdexcept>
#include <vector>

#include "files/atomic_file.h"

namespace selvo {
namespace {

using nlohmann::json;
using nlohmann::ordered_json;

// What the reader throws to leave with its one-line message.
struct DocumentError : std::runtime_error {
  using std::runtime_error::runtime_error;
};

std::string Quoted(const std::string& path) { return "\"" + path + "\""; }

std::string Child(const std::string& path, const std::string& key) {
  return path.empty() ? key : path + "." + key;
}

// The value as the document has it, cut short enough for one line.
std::string Shown(const json& value) {
  std::string text = value.dump();
  if (text.size() > 40) text = text.substr(0, 37) + "...";
  return text;
}

[[noreturn]] void Refuse(const std::string& path, const std::string& expected, const json& value) {
  const std::string what = path.empty() ? "the document" : Quoted(path);
  throw DocumentError(what + " must be " + expected + ", not " + Shown(value));
}

// A key that appears twice in one object would silently take the later
// value: the parser's callback refuses it, naming the key.
class RepeatedKeys {
 public:
  bool operator()(int, json::parse_event_t event, json& parsed) {
    using Event = json::parse_event_t;
    switch (event) {
      case Event::object_start:
      case Event::array_start: {
        const bool inObject = !containers_.empty() && containers_.back().isObject;
        const std::string path = containers_.empty() ? ""
                                 : inObject          ? Child(containers_.back().path, key_)
                                                     : containers_.back().path;
        containers_.push_back({path, event == Event::object_start, {}});
        break;
      }
      case Event::object_end:
      case Event::array_end: containers_.pop_back(); break;
      case Event::key:
        key_ = parsed.get<std::string>();
        if (!containers_.back().keys.insert(key_).second)
          throw DocumentError(Quoted(Child(containers_.back().path, key_)) + " appears twice");
        break;
      case Event::value: break;
    }
    return true;
  }

 private:
  struct Container {
    std::string path;
    bool isObject;
    std::set<std::string> keys;
  };
  std::vector<Container> containers_;
  std::string key_;
};

void RefuseUnknownKeys(const json& object, const std::string& path,
                       std::initializer_list<const char*> known) {
  for (auto item = object.begin(); item != object.end(); ++item) {
    bool isKnown = false;
    for (const char* key : known) isKnown = isKnown || item.key() == key;
    if (!isKnown) throw DocumentError("unknown key " + Quoted(Child(path, item.key())));
  }
}

// The member `key` of `object`, or null when it is absent.
const json& Member(const json& object, const char* key) {
  static const json absent;
  const auto found = object.find(key);
  return found == object.end() ? absent : *found;
}

const json& Object(const json& object, const char* key, const std::string& path) {
  const json& value = Member(object, key);
  if (!value.is_null() && !value.is_object()) Refuse(Child(path, key), "an object", value);
  return value;
}

void ReadBool(const json& object, const char* key, const std::string& path, bool& to) {
  const json& value = Member(object, key);
  if (value.is_null()) return;
  if (!value.is_boolean()) Refuse(Child(path, key), "true or false", value);
  to = value.get<bool>();
}

// A palette index, or null for none.
void ReadIndex(const json& object, const char* key, const std::string& path,
               std::optional<uint8_t>& to) {
  const json& value = Member(object, key);
  if (value.is_null()) {
    to.reset();
    return;
  }
  const bool fits =
      value.is_number_integer() && value.get<int64_t>() >= 0 && value.get<int64_t>() <= 255;
  if (!fits) Refuse(Child(path, key), "a palette index from 0 to 255 or null", value);
  to = uint8_t(value.get<int64_t>());
}

// One of `names` (their position is the enumerator).
template <typename Enum>
void ReadName(const json& object, const char* key, const std::string& path,
              std::initializer_list<const char*> names, Enum& to) {
  const json& value = Member(object, key);
  if (value.is_null()) return;
  std::string expected = "one of";
  int position = 0;
  for (const char* name : names) {
    if (value.is_string() && value.get<std::string>() == name) {
      to = Enum(position);
      return;
    }
    expected += (position++ == 0 ? " \"" : ", \"") + std::string(name) + "\"";
  }
  Refuse(Child(path, key), expected, value);
}

constexpr std::initializer_list<const char*> kMatchingNames = {"rgb", "oklab"};
constexpr std::initializer_list<const char*> kDitherNames = {"none", "bayer4", "bayer8"};

void ReadVersion(const json& document) {
  const json& version = Member(document, "version");
  if (version.is_null())
    throw DocumentError("missing \"version\" (" + std::to_string(kExtrasVersion) + ")");
  if (version.is_number_integer() && version.get<int64_t>() > kExtrasVersion)
    throw DocumentError("\"version\" " + Shown(version) + " is newer than " +
                        std::to_string(kExtrasVersion) + ", which this selvo reads");
  if (!version.is_number_integer() || version.get<int64_t>() != kExtrasVersion)
    Refuse("version", std::to_string(kExtrasVersion), version);
}

// A list of channel IDs, kept in ascending order, each once.
void ReadTransparentIds(const json& object, const std::string& path, std::vector<uint16_t>& to) {
  const json& value = Member(object, "ids");
  if (value.is_null()) return;
  const std::string expected = "a list of IDs from 0 to 65535";
  if (!value.is_array()) Refuse(Child(path, "ids"), expected, value);
  std::set<uint16_t> ids;
  for (const json& id : value) {
    if (!id.is_number_integer() || id.get<int64_t>() < 0 || id.get<int64_t>() > 65535)
      Refuse(Child(path, "ids"), expected, value);
    ids.insert(uint16_t(id.get<int64_t>()));
  }
  to.assign(ids.begin(), ids.end());
}

void ReadTransparency(const json& document, Transparency& transparency) {
  const std::string path = "transparency";
  const json& object = Object(document, "transparency", "");
  if (object.is_null()) return;
  RefuseUnknownKeys(object, path, {"enabled", "alphaThreshold", "index", "ids"});
  ReadBool(object, "enabled", path, transparency.enabled);
  const json& threshold = Member(object, "alphaThreshold");
  if (!threshold.is_null()) {
    const bool fits =
        threshold.is_number() && threshold.get<double>() >= 0 && threshold.get<double>() <= 1;
    if (!fits) Refuse(Child(path, "alphaThreshold"), "a number from 0 to 1", threshold);
    transparency.alphaThreshold = threshold.get<double>();
  }
  ReadIndex(object, "index", path, transparency.index);
  ReadTransparentIds(object, path, transparency.ids);
}

void ReadOutlines(const json& document, Outlines& outlines) {
  const std::string path = "outlines";
  const json& object = Object(document, "outlines", "");
  if (object.is_null()) return;
  RefuseUnknownKeys(object, path, {"neighbours", "backgroundOnly"});
  const json& neighbours = Member(object, "neighbours");
  if (!neighbours.is_null()) {
    const bool fits = neighbours.is_number_integer() &&
                      (neighbours.get<int64_t>() == 4 || neighbours.get<int64_t>() == 8);
    if (!fits) Refuse(Child(path, "neighbours"), "4 or 8", neighbours);
    outlines.eightNeighbours = neighbours.get<int64_t>() == 8;
  }
  ReadBool(object, "backgroundOnly", path, outlines.backgroundOnly);
}

// "0" to "15", as the document writes them: no sign, no leading zero.
int IdOfKey(const std::string& key) {
  for (int id = 0; id < kRangeCount; ++id)
    if (key == std::to_string(id)) return id;
  throw DocumentError("unknown key " + Quoted(Child("ids", key)) +
                      ": IDs 0 to 15 have settings, larger IDs use ID 0's");
}

void ReadIds(const json& document, Extras& extras) {
  const json& ids = Object(document, "ids", "");
  if (ids.is_null()) return;
  for (auto item = ids.begin(); item != ids.end(); ++item) {
    const int id = IdOfKey(item.key());
    const std::string path = Child("ids", item.key());
    if (!item->is_object()) Refuse(path, "an object", *item);
    RefuseUnknownKeys(*item, path, {"outline", "dither"});
    ReadIndex(*item, "outline", path, extras.outlines.index[id]);
    ReadName(*item, "dither", path, kDitherNames, extras.dither[id]);
  }
}

Extras ReadDocument(std::string_view text) {
  json document;
  try {
    document = json::parse(text.begin(), text.end(), RepeatedKeys());
  } catch (const json::parse_error& error) {
    // "[json.exception.parse_error.101] parse error at line 1, ...": the
    // reason without the library's tag.
    const std::string what = error.what();
    const std::size_t tagEnd = what.find("] ");
    throw DocumentError("not JSON: " +
                        (tagEnd == std::string::npos ? what : what.substr(tagEnd + 2)));
  }
  if (!document.is_object()) Refuse("", "an object", document);
  RefuseUnknownKeys(document, "", {"version", "matching", "transparency", "outlines", "ids"});
  ReadVersion(document);
  Extras extras;
  ReadName(document, "matching", "", kMatchingNames, extras.matching);
  ReadTransparency(document, extras.transparency);
  ReadOutlines(document, extras.outlines);
  ReadIds(document, extras);
  return extras;
}

ordered_json IndexOrNull(const std::optional<uint8_t>& index) {
  return index ? ordered_json(*index) : ordered_json(nullptr);
}

const char* NameOf(std::initializer_list<const char*> names, int position) {
  return names.begin()[position];
}

}  // namespace

std::string ParseExtras(std::string_view text, Extras& extras) {
  try {
    extras = ReadDocument(text);
    return "";
  } catch (const DocumentError& error) {
    return error.what();
  }
}

std::string ExtrasToJson(const Extras& extras) {
  ordered_json document;
  document["version"] = kExtrasVersion;
  document["matching"] = NameOf(kMatchingNames, int(extras.matching));
  ordered_json& transparency = document["transparency"];
  transparency["enabled"] = extras.transparency.enabled;
  transparency["alphaThreshold"] = extras.transparency.alphaThreshold;
  transparency["index"] = IndexOrNull(extras.transparency.index);
  transparency["ids"] = extras.transparency.ids;
  ordered_json& outlines = document["outlines"];
  outlines["neighbours"] = extras.outlines.eightNeighbours ? 8 : 4;
  outlines["backgroundOnly"] = extras.outlines.backgroundOnly;
  ordered_json& ids = document["ids"] = ordered_json::object();
  for (int id = 0; id < kRangeCount; ++id) {
    if (!extras.outlines.index[id] && extras.dither[id] == OrderedDither::kNone) continue;
    ordered_json& entry = ids[std::to_string(id)];
    entry["outline"] = IndexOrNull(extras.outlines.index[id]);
    entry["dither"] = NameOf(kDitherNames, int(extras.dither[id]));
  }
  return document.dump(2) + "\n";
}

std::string ReadExtrasFile(const std::string& path, Extras& extras) {
  std::FILE* file = std::fopen(path.c_str(), "rb");
  if (file == nullptr) return path + ": cannot open extras file: " + std::strerror(errno);
  std::string text;
  char chunk[4096];
  while (const std::size_t got = std::fread(chunk, 1, sizeof chunk, file)) text.append(chunk, got);
  const bool failed = std::ferror(file) != 0;
  std::fclose(file);
  if (failed) return path + ": cannot read extras file";
  const std::string error = ParseExtras(text, extras);
  return error.empty() ? "" : path + ": " + error;
}

std::string WriteExtrasFile(const std::string& path, const Extras& extras) {
  const std::string text = ExtrasToJson(extras);
  return WriteFileAtomically(path, [&](std::FILE* file) -> std::string {
    if (std::fwrite(text.data(), 1, text.size(), file) != text.size()) return "cannot write file";
    return "";
  });
}

}  // namespace selvo
