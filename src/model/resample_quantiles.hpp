// The percentile intervals of the resampled paths: type-7 quantiles (linear
// between order statistics) of every cell of the path and of the chosen
// extent, over the resamples that gave a path.
#pragma once

#include <vector>

#include "matrix/parallel_for.hpp"
#include "model/bootstrap.hpp"
#include "model/resample_analysis.hpp"

namespace tolvane {

// Fills res's counts by outcome, the interval and median of every cell and
// of the chosen extent, and the quantiles of the chosen MCAL, from the
// slots of settings.resamples resamples, on up to `threads` threads. Each
// cell is summarized alone, so that the split over threads changes no bit.
// Anything but kDone leaves res incomplete.
ParallelOutcome summarizeResamples(const ResampleJob& job, const ResampleSlots& slots,
                                   unsigned threads, BootstrapResult& res);

}  // namespace tolvane
