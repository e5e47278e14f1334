#pragma once
// Why a simulated call was refused: the code and text the error query hands
// out on the calling thread.
#include <string>

#include "mil/MilApi.h"

namespace korvane::mil::sim {

struct SimFailure {
    MilInt code = 0;
    std::string text;
};

SimFailure MakeFailure(MilInt code, const char* format, ...) __attribute__((format(printf, 2, 3)));

}  // namespace korvane::mil::sim
