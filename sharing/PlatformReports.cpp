#include "sharing/PlatformReports.h"

#include "driver/DriverLog.h"
#include "platform/NamedObjects.h"

namespace korvane {
namespace {

void ToLog(const char* text) {
    KLOG(kError, "%s\n", text);
}

}  // namespace

void RoutePlatformReports() {
    platform::SetReportProc(&ToLog);
}

}  // namespace korvane
