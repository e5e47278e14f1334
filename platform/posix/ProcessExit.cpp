#include "platform/ProcessExit.h"

namespace korvane::platform {

bool ProcessIsEnding() noexcept {
    return false;
}

}  // namespace korvane::platform
