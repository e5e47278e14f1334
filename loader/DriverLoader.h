#pragma once
// The driver loaded the way an inspection host loads it: by path, used only
// through its nineteen exports, resolved by name into one typed table. Every
// host-side program of this tree (tools, benchmarks, tests, plugins and
// bindings) loads the driver through this.
#include <cstddef>
#include <string>
#include <vector>

#include "korvane/korvane.h"
#include "platform/DynamicLibrary.h"

// X(name) once for every export, in the order of the public header.
#define KORVANE_DRIVER_EXPORTS(X)                                                        \
    X(initialize)                                                                        \
    X(finalize)                                                                          \
    X(setSystemPath) X(setDebugMsgProc) X(configureCamera) X(getXELMaxNoOfGrabbers)      \
        X(getXELMaxNoOfPorts) X(getXELNoOfSupportedCameras) X(getXELCameraConfigNames)   \
            X(openXELPort) X(closeXELPort) X(doXELGrab) X(getXELGrabRow) X(setHWTrigger) \
                X(setCompleteCallback) X(getPropertyRange) X(getProperty) X(setProperty) \
                    X(execCmd)

namespace korvane::loader {

// The driver's exports, each a pointer of the public header's type.
struct Exports {
#define KORVANE_EXPORT_MEMBER(name) decltype(&::name) name = nullptr;
    KORVANE_DRIVER_EXPORTS(KORVANE_EXPORT_MEMBER)
#undef KORVANE_EXPORT_MEMBER
};

// The names of the exports, in the table's order.
const std::vector<std::string>& ExportNames();

// The driver library's file name on this system ("libKorvane.so",
// "Korvane.dll").
const char* DriverFileName();

// Where a host looks for the driver when no path is given, first to last:
// the KORVANE_LIBRARY environment variable, beside the running program,
// ../lib beside it (an installed tree), beside this loader's own module,
// then the library of the build that made the loader.
std::vector<std::string> DefaultLocations();

// A loaded driver. The library stays loaded as long as the object lives.
class Driver {
  public:
    // Loads the library at path, or the first of DefaultLocations() that
    // loads when path is empty, and resolves every export. False with the
    // reason in error (each place tried and why it failed, or the missing
    // export) when it cannot.
    bool Load(const std::string& path, std::string& error);
    void Unload();

    bool IsLoaded() const { return library_.IsOpen(); }
    const std::string& Path() const { return library_.Path(); }
    const Exports& Api() const { return api_; }
    const Exports* operator->() const { return &api_; }

  private:
    bool Resolve(std::string& error);

    platform::DynamicLibrary library_;
    Exports api_;
};

// Copies a grabbed frame into dest, row after row, stride bytes apart, with
// one getXELGrabRow call per row: the loop a host runs after the grab
// callback, kept in one place so that bindings from slower languages pay one
// call per frame. Answers the number of rows delivered (height when all
// were), stopping at the first row the driver refuses; -1 for unusable
// arguments.
int ReadFrame(const Exports& api, int grabberNo, int portNo, unsigned char* dest, int width,
              int height, std::ptrdiff_t stride);

}  // namespace korvane::loader
