#pragma once
// The simulated camera around the element's tests: a system path with the
// simulator's configuration, and korvane-grab sharing that camera from a
// second process.
#include <memory>
#include <string>

#include "tests/support/ChildProcess.h"
#include "tests/support/TempDir.h"

namespace korvane::gsttest {

struct SimCameraConfig {
    int width = 64;
    int height = 16;
    int bits = 8;
    int frameTimeMs = 2;
};

// A system path (Korvane.ini and KorvaneSim.ini) of its own.
class SimSystemPath {
  public:
    explicit SimSystemPath(const SimCameraConfig& config, const std::string& shareName = "");
    const std::string& path() const { return dir_.path(); }

  private:
    test::TempDir dir_;
};

// korvane-grab grabbing Camera 1 continuously for the given time and
// sharing it under name. A server still running at the end is killed.
class ShareServer {
  public:
    ShareServer(const std::string& name, const SimCameraConfig& config, double seconds);
    ShareServer(const ShareServer&) = delete;
    ShareServer& operator=(const ShareServer&) = delete;

    bool started() const { return started_; }
    // Waits for the end; the tool's exit code (-2: killed at the limit).
    int Wait(int limitMs);
    std::string Output() const;

  private:
    SimSystemPath system_;
    test::ChildProcess process_;
    bool started_ = false;
    bool ended_ = false;
    int exitCode_ = 0;
};

// A fresh runtime folder for the named share objects, and no simulator or
// backend chosen by the environment, for the life of the object.
class GstTestEnvironment {
  public:
    GstTestEnvironment();
    ~GstTestEnvironment();
    GstTestEnvironment(const GstTestEnvironment&) = delete;
    GstTestEnvironment& operator=(const GstTestEnvironment&) = delete;

    // A share name no other test running at the same time uses.
    std::string UniqueName(const std::string& base) const;

  private:
    test::TempDir runtime_;
};

}  // namespace korvane::gsttest
