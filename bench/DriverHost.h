#pragma once
// The built driver loaded through its exports, for benchmarks that measure
// what a host sees.
#include <string>

#include "loader/DriverLoader.h"

namespace bench {

using DriverHost = korvane::loader::Exports;

// Loaded once per process; aborts the benchmark program when it cannot be.
const DriverHost& Driver();

// A fresh directory for a benchmark's system path and files.
std::string MakeScratchDir();
void WriteText(const std::string& path, const std::string& text);

}  // namespace bench
