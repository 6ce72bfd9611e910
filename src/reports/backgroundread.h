#pragma once

#include "data/database.h"
#include "reports/reportengine.h"

#include <functional>

namespace reports {

// Reads report rows on a thread of its own, over a connection of its own made from the
// settings, while the calling thread lists the batches already read: a long report costs
// the longer of the two instead of their sum, and the caller's thread stays free for its
// events. `read` runs on the reading thread with the engine and the sink to send rows to;
// `take` and `between` run on the calling thread, `take` for each batch in order and
// `between` with the count of rows taken so far, at least every YieldIntervalMs while the
// reading goes on and once at the end. Returns the reading's failure: the connection's
// own when it could not be opened.
data::DbError readInBackground(const data::ConnectionSettings &settings,
                               const std::function<data::DbError(ReportEngine &, const ReportEngine::Sink &)> &read,
                               const ReportEngine::Sink &take, const ReportEngine::Yield &between);

} // namespace reports
