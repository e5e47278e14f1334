#pragma once
// The built driver library as a host sees it: loaded by path through the
// host-side loader, used only through its exports.
#include <string>

#include "loader/DriverLoader.h"

namespace korvane::test {

using DriverExports = loader::Exports;

// Loads the library once per process (KORVANE_LIBRARY_PATH) and answers its
// exports; a missing export fails the calling test.
const DriverExports& Driver();

// The path of the built library.
std::string DriverLibraryPath();

// The names the library exports (its dynamic symbol table).
std::string ExportedSymbolTable();

}  // namespace korvane::test
