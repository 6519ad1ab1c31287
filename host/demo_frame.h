// The portable demo scene as the host delivers it to a filter: a frame
// with both ID channels, and the demo settings as a stored block.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "host/sdk/image_filter.h"

// The scene at its demo size as the renderer delivers frame `frameNumber`;
// null when memory runs out.
std::unique_ptr<Bitmap> MakeDemoFrame(int frameNumber);

// The demo settings, saved as the 1084-byte block a host stores.
std::vector<uint8_t> DemoSettingsBlock();
