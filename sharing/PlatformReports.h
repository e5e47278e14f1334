#pragma once
// Routes the platform's complaints about object names and the runtime
// directory into the driver log (level 1). Idempotent and cheap.

namespace korvane {

void RoutePlatformReports();

}  // namespace korvane
