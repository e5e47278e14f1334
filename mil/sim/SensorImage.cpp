#include "mil/sim/SensorImage.h"

#include <algorithm>

namespace korvane::mil::sim {

int CentredStart(int sensorSide, int imageSide) {
    // Both differences are halved toward zero: the odd pixel of padding or
    // of cropping goes to the right or bottom.
    return sensorSide >= imageSide ? (sensorSide - imageSide) / 2 : -((imageSide - sensorSide) / 2);
}

namespace {

template <typename Out>
void Fit(const PgmImage& image, int sensorWidth, int sensorHeight, int sensorBits,
         std::vector<Out>& out) {
    out.assign(static_cast<std::size_t>(sensorWidth) * static_cast<std::size_t>(sensorHeight),
               Out{0});
    const int startX = CentredStart(sensorWidth, image.width);
    const int startY = CentredStart(sensorHeight, image.height);
    // Sensor columns [x0, x1) and rows [y0, y1) show the image.
    const int x0 = std::max(startX, 0);
    const int x1 = std::min(startX + image.width, sensorWidth);
    const int y0 = std::max(startY, 0);
    const int y1 = std::min(startY + image.height, sensorHeight);
    const bool widen = image.Bits() == 8 && sensorBits == 16;
    const int shift = image.Bits() == 16 && sensorBits == 8 ? 8 : 0;
    for (int sy = y0; sy < y1; ++sy) {
        const std::uint16_t* in = image.samples.data() +
                                  static_cast<std::size_t>(sy - startY) * image.width +
                                  (x0 - startX);
        Out* row = out.data() + static_cast<std::size_t>(sy) * sensorWidth;
        for (int sx = x0; sx < x1; ++sx) {
            const unsigned value = *in++;
            row[sx] = static_cast<Out>(widen ? value * 257u : value >> shift);
        }
    }
}

}  // namespace

SensorImage FitToSensor(const PgmImage& image, int sensorWidth, int sensorHeight, int sensorBits) {
    SensorImage fitted;
    fitted.width = sensorWidth;
    fitted.height = sensorHeight;
    fitted.bits = sensorBits;
    if (sensorBits == 16) {
        Fit(image, sensorWidth, sensorHeight, sensorBits, fitted.words);
    } else {
        Fit(image, sensorWidth, sensorHeight, sensorBits, fitted.bytes);
    }
    return fitted;
}

}  // namespace korvane::mil::sim
