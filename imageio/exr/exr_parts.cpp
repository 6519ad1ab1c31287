// The parts of an EXR file, the channels chosen in them, and reading what
// a request asks for in one pass over each part's blocks.
#include <ImfChannelList.h>
#include <ImfHeader.h>
#include <ImfInputPart.h>
#include <ImfMultiPartInputFile.h>
#include <ImfPartType.h>
#include <ImfStdIO.h>
#include <ImfThreading.h>

#include <algorithm>
#include <exception>
#include <map>
#include <memory>
#include <new>
#include <set>

#include "imageio/exr/exr_io.h"
#include "imageio/exr/exr_pvt.h"
#include "imageio/text.h"

namespace selvo {
namespace {

using namespace exr;

struct ChannelRef {
  int part = 0;
  std::string name;  // within the part
};

// The channels of every part under the names the user gives them: a part's
// name and a dot before each channel when the file has several parts.
class ExrContents {
 public:
  explicit ExrContents(const Imf::MultiPartInputFile& file) {
    const bool prefixed = file.parts() > 1;
    for (int p = 0; p < file.parts(); ++p) {
      const Imf::Header& header = file.header(p);
      const std::string prefix = prefixed ? header.name() + "." : "";
      const bool deep = header.hasType() && Imf::isDeepData(header.type());
      if (deep) deepParts_.push_back(prefixed ? header.name() : "");
      for (auto it = header.channels().begin(); it != header.channels().end(); ++it) {
        const std::string name = prefix + it.name();
        if (deep) continue;
        if (refs_.count(name)) ambiguous_.insert(name);
        refs_.emplace(name, ChannelRef{p, it.name()});
        names_.push_back(name);
      }
    }
    std::sort(names_.begin(), names_.end());
    names_.erase(std::unique(names_.begin(), names_.end()), names_.end());
  }

  // The channels of the flat parts.
  const std::vector<std::string>& names() const { return names_; }

  // "" or why `name` cannot be read.
  std::string Find(const std::string& name, ChannelRef& ref) const {
    if (ambiguous_.count(name))
      return "channel \"" + Printable(name) + "\" is in more than one part";
    ref = refs_.at(name);
    return "";
  }

  // A search among the flat parts that found nothing says that deep parts
  // were left out, or that there was nothing else.
  std::string Explain(const std::string& problem) const {
    if (deepParts_.empty()) return problem;
    if (names_.empty())
      return "deep image data (several samples per pixel) cannot be rendered; "
             "save the frame as a flat image";
    std::vector<std::string> quoted;
    for (const std::string& part : deepParts_) quoted.push_back("\"" + part + "\"");
    return problem + " (deep parts are not read: " + Join(quoted) + ")";
  }

 private:
  std::vector<std::string> names_;
  std::map<std::string, ChannelRef> refs_;
  std::set<std::string> ambiguous_;
  std::vector<std::string> deepParts_;
};

std::string ShownPrefix(const Imf::MultiPartInputFile& file, int part) {
  return file.parts() > 1 ? file.header(part).name() + "." : "";
}

// Chosen channels are read at full resolution; only luminance/chroma
// colour, converted by OpenEXR, may be subsampled.
std::string CheckFullResolution(const Imf::MultiPartInputFile& file, const ChannelRef& ref) {
  const Imf::Channel* channel = file.header(ref.part).channels().findChannel(ref.name);
  if (channel->xSampling == 1 && channel->ySampling == 1) return "";
  return "channel \"" + Printable(ShownPrefix(file, ref.part) + ref.name) + "\" is subsampled";
}

struct ColorChoice {
  ExrColorChannels channels;
  int part = -1;
  std::vector<std::string> inPart;  // R, G, B (and A) as the part names them
  std::string layer;                // luminance/chroma: the layer within the part
};

std::string ResolveColor(const ExrContents& contents, const Imf::MultiPartInputFile& file,
                         const ExrColorOptions& options, ColorChoice& choice) {
  ExrColorChannels& chosen = choice.channels;
  std::string problem = FindColorChannels(contents.names(), options.layer, chosen);
  if (!problem.empty()) return contents.Explain(problem);
  std::vector<std::string> names = {chosen.r, chosen.g, chosen.b, chosen.a};
  if (chosen.lumaChroma) names = {chosen.prefix + "Y"};
  for (const std::string& name : names) {
    if (name.empty()) continue;
    ChannelRef ref;
    problem = contents.Find(name, ref);
    if (problem.empty()) problem = CheckFullResolution(file, ref);
    if (!problem.empty()) return problem;
    if (choice.part >= 0 && ref.part != choice.part)
      return "the colour channels lie in different parts";
    choice.part = ref.part;
    choice.inPart.push_back(ref.name);
  }
  if (!chosen.lumaChroma) return "";
  // OpenEXR's RGBA interface reads a file's first part only.
  if (choice.part != 0)
    return "luminance/chroma colour can only be converted in a file's first part, not in \"" +
           Printable(file.header(choice.part).name()) + "\"";
  const std::string layer = chosen.prefix.substr(ShownPrefix(file, 0).size());
  choice.layer = layer.empty() ? "" : layer.substr(0, layer.size() - 1);  // without its dot
  // It converts chroma stored once per 2 x 2 pixels, as it writes it.
  for (const char* chroma : {"RY", "BY"}) {
    const Imf::Channel* channel = file.header(0).channels().findChannel(layer + chroma);
    if (channel != nullptr && (channel->xSampling != 2 || channel->ySampling != 2))
      return "cannot convert luminance/chroma to RGB: \"" + Printable(chosen.prefix + chroma) +
             "\" is not stored once per 2 x 2 pixels";
  }
  return "";
}

struct IdChoice {
  std::string shown;  // as the user names it
  ChannelRef ref;
};

std::string ResolveIds(const ExrContents& contents, const Imf::MultiPartInputFile& file,
                       const ExrRequest& request, IdChoice& choice) {
  std::string problem =
      FindIdChannel(contents.names(), request.idChannel, request.idChannelName, choice.shown);
  if (!problem.empty()) return contents.Explain(problem);
  problem = contents.Find(choice.shown, choice.ref);
  return problem.empty() ? CheckFullResolution(file, choice.ref) : problem;
}

std::string ReadRequest(Imf::MultiPartInputFile& file, Imf::IStream& stream,
                        const ExrRequest& request) {
  // Everything is chosen and checked before any pixel is decoded.
  const ExrContents contents(file);
  ColorChoice color;
  IdChoice id;
  std::string problem;
  if (request.color) problem = ResolveColor(contents, file, *request.color, color);
  if (problem.empty() && request.idImage) problem = ResolveIds(contents, file, request, id);
  std::map<int, Placement> places;
  for (int part : {color.part, id.ref.part}) {
    if (part < 0 || !problem.empty() || places.count(part)) continue;
    const Imf::Header& header = file.header(part);
    problem = Place(header.displayWindow(), header.dataWindow(), places[part]);
  }
  if (!problem.empty()) return problem;

  std::map<int, std::vector<std::unique_ptr<FrameSink>>> sinks;
  std::unique_ptr<FrameSink> lumaChroma;
  if (request.color) {
    auto sink =
        MakeColorSink(places[color.part], *request.color, color.inPart, *request.colorImage);
    if (color.channels.lumaChroma) lumaChroma = std::move(sink);
    else sinks[color.part].push_back(std::move(sink));
  }
  if (request.idImage)
    sinks[id.ref.part].push_back(
        MakeIdSink(places[id.ref.part], id.ref.name, id.shown, *request.idImage));

  // Each part's blocks are decoded once for every image they fill.
  for (auto& [index, partSinks] : sinks) {
    Imf::InputPart part(file, index);
    std::vector<FrameSink*> filled;
    for (auto& sink : partSinks) filled.push_back(sink.get());
    problem = ReadPart(part, places[index], BlockRows(file.header(index)), filled);
    if (!problem.empty()) return problem;
  }
  if (lumaChroma)
    ReadLumaChroma(stream, color.layer, places[0], BlockRows(file.header(0)), *lumaChroma);
  return "";
}

}  // namespace

std::string ReadExr(const std::string& path, std::ifstream& file, const ExrRequest& request) {
  const std::string claim = CheckHeaderClaims(file);
  if (!claim.empty()) return path + ": " + claim;
  file.clear();
  file.seekg(0);
  try {
    LimitWhatOpenExrSetsAside();
    Imf::StdIFStream stream(file, path.c_str());
    Imf::MultiPartInputFile exr(stream);
    const std::string problem = ReadRequest(exr, stream, request);
    return problem.empty() ? "" : path + ": " + problem;
  } catch (const std::bad_alloc&) {
    return path + ": out of memory";
  } catch (const std::exception& e) {
    return path + ": cannot read EXR (" + Printable(e.what()) + ")";
  }
}

void SetExrDecodeThreads(int threads) { Imf::setGlobalThreadCount(std::max(0, threads)); }

}  // namespace selvo
