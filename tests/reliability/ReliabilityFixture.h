#pragma once
// A host test with a private share namespace and a small simulated board:
// Camera 1 shared as "Line1", Camera 2 not shared, both 64 x 16, 8 bits.
#include <gtest/gtest.h>

#include <string>

#include "tests/reliability/ReliabilitySupport.h"
#include "tests/support/GrabWaiter.h"
#include "tests/support/HostFixture.h"

namespace korvane::test {

inline constexpr int kWidth = 64;
inline constexpr int kHeight = 16;
inline constexpr const char* kShare = "Line1";
inline constexpr int kSharedFrameTimeMs = 3;

class ReliabilityTest : public HostTest {
  protected:
    void SetUp() override {
        HostTest::SetUp();
        RaiseLogLevel();
        UseSimulator(Board(kSharedFrameTimeMs));
        WriteIni(std::string("[Camera 1]\nLogLevel=3\nShareCamera=1\nShareName=") + kShare +
                 "\n[Camera 2]\nLogLevel=3\n");
    }
    // Added to each camera section of the simulator configuration.
    virtual std::string Extra() const { return ""; }

    // Camera 1 takes frameTimeMs per frame, Camera 2 none. The share copies
    // a frame's rows while the camera may already grab the next one, so a
    // camera grabbing continuously much faster than the copy can publish
    // frames mixed from two grabs; a few milliseconds per frame keep the
    // tests that check published frames clear of that.
    std::string Board(int frameTimeMs) const {
        const std::string size = "Width=" + std::to_string(kWidth) +
                                 "\nHeight=" + std::to_string(kHeight) + "\nBits=8\n" + Extra();
        return "[System0]\nDescriptor=M_SYSTEM_SOLIOS\nSerial=SIM-0001\nDigitizers=2\n"
               "[System0.Digitizer0]\n" +
               size + "FrameTimeMs=" + std::to_string(frameTimeMs) + "\n[System0.Digitizer1]\n" +
               size + "FrameTimeMs=0\n";
    }

    // The log lines that report a failure.
    std::vector<std::string> ErrorLines() const {
        std::vector<std::string> lines;
        for (const auto& m : log_.Messages()) {
            if (m.find("ERROR") != std::string::npos) {
                lines.push_back(m);
            }
        }
        return lines;
    }

    // Reads a follow peer's lines until n frames were reported; answers
    // what went wrong, or "" when all n were whole.
    static std::string FollowFrames(ShareProcess& peer, int n) {
        std::string seen;
        for (int frames = 0; frames < n;) {
            const auto line = peer.ReadLine();
            if (!line) {
                return "peer stopped after " + std::to_string(frames) + " frames: " + seen;
            }
            if (*line == "frame whole") {
                ++frames;
            } else {
                seen += *line + " | ";
                if (line->rfind("frame", 0) == 0) {
                    return seen;
                }
            }
        }
        return "";
    }

    ShareRuntimeDir runtime_;
    GrabWaiter waiter_;
};

}  // namespace korvane::test
