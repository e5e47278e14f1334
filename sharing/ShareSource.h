#pragma once
// What the share server needs from the camera it publishes: identity for its
// log lines, the current image size and the 8-bit row delivery.
#include <cstdint>

namespace korvane {

class ShareSource {
public:
    virtual ~ShareSource() = default;
    virtual const char* ShareCameraName() const = 0;
    virtual int SharePort() const = 0;
    // The camera's current Width and Height settings.
    virtual int ShareWidth() const = 0;
    virtual int ShareHeight() const = 0;
    // Pixels first..last (inclusive) of a row of the last grabbed frame,
    // one byte each; false when the row cannot be delivered.
    virtual bool ShareGetRow(std::uint8_t* dest, int row, int first, int last) = 0;
    // Brackets the rows of one published frame: while it is held, the
    // camera does not grab into the frame being copied. False when the frame
    // cannot be held now (nothing is published then).
    virtual bool ShareBeginFrame() { return true; }
    virtual void ShareEndFrame() {}
};

}  // namespace korvane
