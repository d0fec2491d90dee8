#pragma once

// How the window paces an upload: the image streams in ticks of its upload
// timer, and each tick sends a bounded number of data reports in a bounded
// time, so that the window keeps repainting and answering in between. The
// upload benchmark paces its own bookkeeping by the same report count.

#include <chrono>

namespace pacing {

// Between two ticks of the upload timer.
constexpr std::chrono::milliseconds kUploadTickInterval(1);
// The most data reports one tick sends.
constexpr int kReportsPerTick = 2000;
// The longest one tick keeps writing before it lets the event loop run;
// well under the few seconds after which a desktop calls a window
// unresponsive.
constexpr std::chrono::milliseconds kTickBudget(50);

} // namespace pacing
