#pragma once
// A recorded image as the simulated sensor sees it: the sensor's size and
// depth, converted once when the image is first played so that a grab
// copies rows at memory speed.
#include <cstdint>
#include <vector>

#include "mil/sim/PgmReader.h"

namespace korvane::mil::sim {

struct SensorImage {
    int width = 0;
    int height = 0;
    int bits = 8;  // 8: bytes holds the pixels, 16: words
    std::vector<std::uint8_t> bytes;
    std::vector<std::uint16_t> words;

    std::uint32_t At(int x, int y) const {
        const std::size_t i = static_cast<std::size_t>(y) * static_cast<std::size_t>(width) +
                              static_cast<std::size_t>(x);
        return bits == 16 ? words[i] : bytes[i];
    }
};

// Where an image of imageSide pixels starts on a sensor of sensorSide: the
// image is centred, so a smaller image starts at half the difference
// (rounded down) and a larger one is cut by half the difference on the
// left or top (rounded down), the rest on the right or bottom.
int CentredStart(int sensorSide, int imageSide);

// The image centred on a sensor of the given size and depth; sensor pixels
// the image does not cover are 0. An 8-bit image (maxval up to 255) on a
// 16-bit sensor is multiplied by 257, a 16-bit image on an 8-bit sensor
// keeps its high byte; samples are otherwise used as stored.
SensorImage FitToSensor(const PgmImage& image, int sensorWidth, int sensorHeight, int sensorBits);

}  // namespace korvane::mil::sim
