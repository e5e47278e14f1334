// This test program doubles as the peer process of the fault tests: started
// with KORVANE_RELIABILITY_PEER set, it runs that script before any test
// code and exits. Steps are separated by ';'; each reports on one line.
//   nobody              drop to user and group 65534
//   host PATH PORT      initialize with PATH, open Camera 1 on PORT, grab
//                       continuously; the driver's log lines up to then
//                       are echoed as "log <text>"
//   inisave PATH        open Camera 1 and set Width over and over (every
//                       set saves the INI file) until killed
//   iniwrite PATH       open Camera 1, set Width to 40, close, finalize
//   exitgrabbing PATH   open Camera 1 and Camera 2, grab both continuously,
//                       then exit without closing or finalizing
//   hold NAME           take the mutex of segment NAME and keep it
//   follow NAME         connect to share NAME and copy every frame told
//   sleep MS
#ifndef _WIN32
#include <unistd.h>
#endif

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "sharing/ShareClient.h"
#include "sharing/SharedMemory.h"
#include "tests/reliability/ReliabilitySupport.h"
#include "tests/support/HostLibrary.h"
#include "tests/support/PeerScript.h"

namespace korvane::test {
namespace {

void Say(const std::string& line) {
    PeerSay(line);
}

void EchoLog(const char* text) {
    std::string line = text != nullptr ? text : "";
    while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) {
        line.pop_back();
    }
    Say("log " + line);
}

[[noreturn]] void WaitForKill() {
    for (;;) {
        std::this_thread::sleep_for(std::chrono::hours(1));
    }
}

bool OpenCamera1(const std::string& path, int port, int* size, DebugMsgProc log = nullptr) {
    const DriverExports& d = Driver();
    d.initialize(path.c_str(), log);
    return d.openXELPort(0, port, "Camera 1", size) == 1;
}

int RunPeer(const std::string& script) {
    return RunPeerScript(script, [&](const std::string& word, std::istream& in) {
        if (word == "nobody") {
#ifdef _WIN32
            Say("nobody failed");
            return 3;
#else
            if (setresgid(65534, 65534, 65534) != 0 || setresuid(65534, 65534, 65534) != 0) {
                Say("nobody failed");
                return 3;
            }
            Say("nobody ok");
#endif
        } else if (word == "host") {
            std::string path;
            int port = 1;
            in >> path >> port;
            int size[2] = {0, 0};
            const bool opened = OpenCamera1(path, port, size, &EchoLog);
            Say("opened " + std::to_string(opened ? 1 : 0));
            Driver().setProperty(0, port, "continuous", 1);
            Driver().doXELGrab(0, port);
            // Nobody reads the echo from here on: a full pipe would stall
            // the threads that log.
            Driver().setDebugMsgProc(nullptr);
            Say("serving");
            WaitForKill();
        } else if (word == "inisave") {
            std::string path;
            in >> path;
            int size[2] = {0, 0};
            if (!OpenCamera1(path, 1, size)) {
                Say("open failed");
                return 1;
            }
            Say("saving");
            for (int i = 0;; ++i) {
                Driver().setProperty(0, 1, "Width", 10 + i % 50);
            }
        } else if (word == "iniwrite") {
            std::string path;
            in >> path;
            int size[2] = {0, 0};
            const bool opened = OpenCamera1(path, 1, size, &EchoLog);
            const int set = Driver().setProperty(0, 1, "Width", 40);
            Driver().closeXELPort(0, 1);
            Driver().finalize();
            Say("result " + std::to_string(opened ? 1 : 0) + " " + std::to_string(set));
        } else if (word == "exitgrabbing") {
            std::string path;
            in >> path;
            int size[2] = {0, 0};
            if (!OpenCamera1(path, 1, size) || Driver().openXELPort(0, 2, "Camera 2", size) != 1) {
                Say("open failed");
                return 1;
            }
            for (const int port : {1, 2}) {
                Driver().setProperty(0, port, "continuous", 1);
                Driver().doXELGrab(0, port);
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
            Say("exiting");
            std::exit(0);
        } else if (word == "hold") {
            std::string name;
            in >> name;
            static CSharedMemory segment;
            if (!segment.Create(name.c_str(), true, 0) || !segment.Lock()) {
                Say("hold failed");
                return 1;
            }
            Say("locked");
            WaitForKill();
        } else if (word == "follow") {
            std::string name;
            in >> name;
            ShareClient client;
            ShareDimensions dims{};
            if (client.Open(name) != ShareClient::Status::Ok ||
                client.RequestDimensions(dims, 10000) != ShareClient::Status::Ok) {
                Say("follow failed");
                return 1;
            }
            std::vector<std::uint8_t> image(static_cast<std::size_t>(dims.width) * dims.height);
            for (;;) {
                const auto status = client.WaitFrame(20000);
                if (status != ShareClient::Status::Ok) {
                    Say("follow ended");
                    break;
                }
                if (client.CopyFrame(image.data(), image.size()) == ShareClient::Status::Ok) {
                    Say(IsWholeRampFrame(image.data(), dims.width, dims.height) ? "frame whole"
                                                                                : "frame torn");
                }
            }
        } else {
            return kPeerUnknown;
        }
        return kPeerNext;
    });
}

[[maybe_unused]] const bool peerMode = RunAsPeerIfAsked("KORVANE_RELIABILITY_PEER", &RunPeer);

}  // namespace
}  // namespace korvane::test
