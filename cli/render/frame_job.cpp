#include "cli/render/frame_job.h"

#include <new>
#include <optional>
#include <vector>

#include "cli/render/image_frame.h"
#include "demo/demo_scene.h"
#include "extras/frame_passes.h"
#include "files/same_file.h"
#include "imageio/image_loader.h"
#include "imageio/png/png_io.h"
#include "imageio/text.h"

namespace selvo {
namespace {

// The demo scene as if its colour and ID passes had been loaded from files;
// its IDs stay in the form the scene has them.
void LoadDemo(const FrameSource& source, int frame, IdChannel channel, ColorImage& color,
              FrameIds& ids) {
  DemoScene scene = RenderDemoScene(source.demoWidth, source.demoHeight, frame);
  color.width = scene.width;
  color.height = scene.height;
  color.pixels = std::move(scene.pixels);
  if (channel == IdChannel::kMaterialEffects) ids.bytes = std::move(scene.materialIds);
  else ids.words = std::move(scene.objectIds);
}

// "" when the inputs are loaded, consistent, and the IDs fit the channel.
std::string LoadInputs(const FrameSource& source, const FrameJob& job, IdChannel channel,
                       ColorImage& color, FrameIds& frameIds) {
  if (source.demo) {
    LoadDemo(source, job.frameNumber, channel, color, frameIds);
    return "";
  }
  IdImage ids;
  std::string error = LoadFrameImages(job.colorPath, source.exr, job.idsPath, channel,
                                      source.idChannel, color, ids);
  if (error.empty()) error = CheckSameSize(color, job.colorPath, ids, job.idsPath);
  if (error.empty()) error = CheckIdsFit(ids, channel, job.idsPath);
  frameIds.words = std::move(ids.ids);
  return error;
}

std::string DescribeFailure(const FrameResult& result, const RendererConfig& config) {
  switch (result.status) {
    case FrameStatus::kBadName: {
      const std::optional<std::string_view> name = OutputName(config);
      if (!name) return "the settings' output name has no terminating NUL";
      return "output name \"" + Printable(*name) +
             "\" gives no PCX file name of at most 255 characters";
    }
    case FrameStatus::kWriteFailed: return result.writeError;
    case FrameStatus::kNotRendered: return "out of memory for the frame's buffers";
    default: return "the frame could not be rendered";
  }
}

// The frame's files with what each is to the user.
struct RoleAndPath {
  const char* role;
  std::string path;
};

// "" when no output of the frame is also one of its inputs or another of
// its outputs; else one line naming both.
std::string CheckDistinctFiles(const RendererConfig& config, const FrameSource& source,
                               const FrameJob& job) {
  std::vector<RoleAndPath> files;
  if (!source.demo) files = {{"--color", job.colorPath}, {"--ids", job.idsPath}};
  const std::size_t inputs = files.size();
  const std::optional<std::string_view> name = OutputName(config);
  if (name) files.push_back({"the PCX file", ComposeOutputName(*name, job.frameNumber)});
  files.push_back({"--palettized", job.palettizedPath});
  files.push_back({"--preview", job.previewPath});
  for (std::size_t out = inputs; out < files.size(); ++out) {
    if (files[out].path.empty()) continue;
    for (std::size_t other = 0; other < out; ++other) {
      if (files[other].path.empty() || !SameFile(files[out].path, files[other].path)) continue;
      return Printable(files[out].path) + " (" + files[out].role + ") is the same file as " +
             Printable(files[other].path) + " (" + files[other].role + "); nothing was written";
    }
  }
  return "";
}

// The index a preview marks transparent: the transparency extra's, if chosen.
std::optional<uint8_t> PreviewTransparent(const FrameSource& source, const RendererConfig& config) {
  const Transparency& transparency = source.extras.transparency;
  if (!transparency.enabled) return std::nullopt;
  return TransparentIndex(transparency, config);
}

JobResult RenderJob(const RendererConfig& config, const FrameSource& source, const FrameJob& job,
                    RowProgress& progress, FrameBuffers& buffers) {
  JobResult result;
  result.error = CheckDistinctFiles(config, source, job);
  if (!result.error.empty()) return result;
  ColorImage color;
  FrameIds ids;
  const IdChannel channel = SelectedIdChannel(config);
  result.error = LoadInputs(source, job, channel, color, ids);
  if (!result.error.empty()) return result;
  if (!ids.bytes.empty())
    ClearAlphaOfListedIds(source.extras.transparency, ids.bytes.data(), ids.bytes.size(),
                          color.pixels.data());
  else
    ClearAlphaOfListedIds(source.extras.transparency, ids.words.data(), ids.words.size(),
                          color.pixels.data());

  const FrameResult rendered =
      RenderFrame(config, ImageFrame(color, ids, channel, job.frameNumber), progress, buffers);
  result.pcxPath = rendered.pcxPath;
  if (rendered.status == FrameStatus::kAborted) {
    result.outcome = JobOutcome::kInterrupted;
    return result;
  }
  if (rendered.status != FrameStatus::kWritten) {
    result.error = DescribeFailure(rendered, config);
    return result;
  }
  if (!job.palettizedPath.empty()) result.error = WritePngRgba16(job.palettizedPath, color);
  if (result.error.empty() && !job.previewPath.empty())
    result.error =
        WritePngIndexed(job.previewPath, buffers.indices.data(), color.width, color.height,
                        config.palette, PreviewTransparent(source, config));
  if (result.error.empty()) result.outcome = JobOutcome::kWritten;
  return result;
}

}  // namespace

JobResult RunFrameJob(const RendererConfig& config, const FrameSource& source, const FrameJob& job,
                      RowProgress& progress, FrameBuffers& buffers) {
  // Frames up to 65535 x 65535 pixels can exhaust memory at any step.
  try {
    return RenderJob(config, source, job, progress, buffers);
  } catch (const std::bad_alloc&) {
    JobResult result;
    result.error = (source.demo ? std::string("demo") : job.colorPath) + ": out of memory";
    return result;
  }
}

}  // namespace selvo
