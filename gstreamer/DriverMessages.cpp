#include "gstreamer/DriverMessages.h"

#include <gst/gst.h>

#include <mutex>

namespace korvane::gst {
namespace {

struct Messages {
    std::mutex mutex;
    bool expectStamp = true;
    std::string lastFailure;
};

Messages& Shared() {
    static Messages messages;
    return messages;
}

}  // namespace

void TakeDriverMessage(const char* text) {
    if (text == nullptr) {
        return;
    }
    Messages& m = Shared();
    std::lock_guard lock(m.mutex);
    const bool isStamp = m.expectStamp;
    m.expectStamp = !m.expectStamp;
    if (isStamp) {
        return;
    }
    std::string line = text;
    while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) {
        line.pop_back();
    }
    GST_DEBUG("driver: %s", line.c_str());
    // Errors and warnings are what the driver logs at its first level.
    if (line.find("ERROR") != std::string::npos || line.find("WARNING") != std::string::npos) {
        m.lastFailure = line;
    }
}

void ClearDriverMessages() {
    Messages& m = Shared();
    std::lock_guard lock(m.mutex);
    m.lastFailure.clear();
}

std::string LastDriverFailure() {
    Messages& m = Shared();
    std::lock_guard lock(m.mutex);
    return m.lastFailure;
}

}  // namespace korvane::gst
