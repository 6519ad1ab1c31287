// How a run shares the cores: frames rendered at once, threads mapping the
// rows of each frame, threads OpenEXR decompresses blocks with.
#pragma once

namespace selvo {

struct ThreadPlan {
  int frameWorkers = 1;  // frames rendered at the same time
  int rowThreads = 1;    // threads mapping one frame's rows
  int exrThreads = 0;    // OpenEXR's pool, shared by all frames; 0: none
};

// `jobs` threads of work (-j; 0 for one per core) over `frameCount` frames:
// frames first, since whole frames keep their threads busiest; threads left
// over map rows and decompress EXR blocks. Frames times row threads never
// exceed `jobs`; one job does everything on one thread.
ThreadPlan PlanThreads(int jobs, long long frameCount, int cores);

}  // namespace selvo
