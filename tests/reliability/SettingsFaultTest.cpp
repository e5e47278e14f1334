// The INI file under faults: a process killed in the middle of saving, and a
// system path the driver may read but not write.
#ifndef _WIN32
#include <sys/stat.h>
#include <unistd.h>
#endif

#include <csignal>

#include <chrono>
#include <random>
#include <thread>

#include "tests/reliability/ReliabilityFixture.h"
#include "tests/support/PlatformText.h"

namespace korvane::test {
namespace {

using namespace std::chrono_literals;

class SettingsFaultTest : public ReliabilityTest {};

// The Width value in Camera 1's section, -1 when the section or key is
// missing or the value is not a number.
int IniWidth(const std::string& text) {
    const auto section = text.find("[Camera 1]");
    if (section == std::string::npos) {
        return -1;
    }
    const auto key = text.find("\nWidth=", section);
    const auto next = text.find("\n[", section + 1);
    if (key == std::string::npos || (next != std::string::npos && key > next)) {
        return -1;
    }
    std::size_t used = 0;
    try {
        const int value = std::stoi(text.substr(key + 7), &used);
        return used > 0 ? value : -1;
    } catch (const std::exception&) {
        return -1;
    }
}

TEST_F(SettingsFaultTest, ProcessKilledWhileSavingLeavesAReadableIni) {
    WriteIni("[Other]\nKeep=this line\n[Camera 1]\nLogLevel=1\nWidth=64\n");
    std::mt19937 random(3);
    for (int round = 0; round < 8; ++round) {
        ShareProcess writer = StartReliabilityPeer("inisave " + systemPath());
        ASSERT_EQ(writer.ReadLine(), "saving") << "round " << round;
        std::this_thread::sleep_for(std::chrono::milliseconds(5 + random() % 50));
        writer.Kill(SIGKILL);
        EXPECT_EQ(writer.Wait(), 128 + SIGKILL);

        const std::string text = ReadIni();
        const int width = IniWidth(text);
        EXPECT_TRUE(width == 64 || (width >= 10 && width < 60))
            << "round " << round << ": unreadable INI:\n"
            << text;
        // Killed before its first save ended, the writer leaves the file as
        // it was written here; any save rewrites it with native line ends.
        const std::string other = "[Other]\nKeep=this line\n";
        EXPECT_TRUE(text.find(other) != std::string::npos ||
                    text.find(NativeLines(other)) != std::string::npos)
            << text;
    }
    // The driver opens the camera with what the last complete save left.
    ASSERT_EQ(Initialize(), 1);
    const auto size = OpenCamera("Camera 1", 1);
    EXPECT_EQ(size[0], IniWidth(ReadIni()));
}

// POSIX only: Windows keeps writers out with access lists, not with a
// folder's read-only attribute, and has no user to switch to here.
#ifndef _WIN32
TEST_F(SettingsFaultTest, ReadOnlySystemPathKeepsTheIniAndTheCameraWorks) {
    if (geteuid() != 0) {
        GTEST_SKIP() << "needs root to run the writer as another user";
    }
    const std::string before = "[Camera 1]\nLogLevel=2\nWidth=48\n";
    WriteIni(before);
    // Readable and searchable by everyone up to the file, writable by no one
    // but root; the writer runs as nobody.
    for (std::string dir = systemPath().substr(0, systemPath().rfind('/')); dir.size() > 1;
         dir = dir.substr(0, dir.rfind('/'))) {
        struct stat st {};
        if (stat(dir.c_str(), &st) == 0 && (st.st_mode & S_IXOTH) == 0) {
            GTEST_SKIP() << dir << " cannot be entered by another user";
        }
    }
    ASSERT_EQ(chmod(systemPath().c_str(), 0555), 0);
    ASSERT_EQ(chmod(dir_.File("Korvane.ini").c_str(), 0644), 0);
    ASSERT_EQ(chmod(dir_.File("sim.ini").c_str(), 0644), 0);
    ShareProcess writer = StartReliabilityPeer("nobody;iniwrite " + systemPath());
    std::vector<std::string> lines;
    for (auto line = writer.ReadLine(); line; line = writer.ReadLine()) {
        lines.push_back(*line);
    }
    EXPECT_EQ(writer.Wait(), 0);
    chmod(systemPath().c_str(), 0700);

    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines.front(), "nobody ok");
    // The camera opened with the stored width and took the new one; saving
    // failed with a warning, not a crash.
    EXPECT_NE(std::find(lines.begin(), lines.end(), "result 1 1"), lines.end());
    EXPECT_NE(std::find_if(lines.begin(), lines.end(),
                           [](const std::string& l) {
                               return l.find("CameraSettings::Save: WARNING: Could not write") !=
                                      std::string::npos;
                           }),
              lines.end());
    EXPECT_EQ(ReadIni(), before);
}
#endif

}  // namespace
}  // namespace korvane::test
