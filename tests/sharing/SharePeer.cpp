// This test program doubles as the second process of the cross-process
// sharing tests: started with KORVANE_SHARE_PEER set, it runs that script
// before any test code and exits. Each step prints one line the test reads.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "platform/SystemError.h"
#include "sharing/NamedPipe.h"
#include "sharing/ShareClient.h"
#include "sharing/SharedMemory.h"
#include "sharing/Win32Exception.h"
#include "tests/support/PeerScript.h"

namespace korvane::test {
namespace {

constexpr int kWaitMs = 20000;

std::string ToHex(const std::uint8_t* bytes, std::size_t n) {
    static const char digits[] = "0123456789abcdef";
    std::string out;
    for (std::size_t i = 0; i < n; ++i) {
        out += digits[bytes[i] >> 4];
        out += digits[bytes[i] & 15];
    }
    return out;
}

std::vector<std::uint8_t> FromHex(const std::string& hex) {
    std::vector<std::uint8_t> out;
    for (std::size_t i = 0; i + 1 < hex.size(); i += 2) {
        out.push_back(static_cast<std::uint8_t>(std::stoul(hex.substr(i, 2), nullptr, 16)));
    }
    return out;
}

std::uint32_t Fnv1a(const std::uint8_t* bytes, std::size_t n) {
    std::uint32_t h = 2166136261u;
    for (std::size_t i = 0; i < n; ++i) {
        h = (h ^ bytes[i]) * 16777619u;
    }
    return h;
}

void Say(const std::string& line) {
    PeerSay(line);
}

const char* StatusWord(ShareClient::Status s) {
    switch (s) {
        case ShareClient::Status::Ok:
            return "ok";
        case ShareClient::Status::Timeout:
            return "timeout";
        case ShareClient::Status::Closed:
            return "closed";
        case ShareClient::Status::Error:
            break;
    }
    return "error";
}

int RunPeer(const std::string& script) {
    ShareClient client;
    NamedPipe raw;
    CSharedMemory segment;
    std::vector<std::uint8_t> frame;
    std::uint8_t rx[64];
    return RunPeerScript(script, [&](const std::string& word, std::istream& in) {
        if (word == "client") {
            std::string name;
            in >> name;
            const auto s = client.Open(name);
            Say(std::string("client ") + StatusWord(s) + " " + std::to_string(client.LastError()));
        } else if (word == "dims") {
            ShareDimensions d{};
            const auto s = client.RequestDimensions(d, kWaitMs);
            if (s == ShareClient::Status::Ok) {
                Say("dims " + std::to_string(d.width) + " " + std::to_string(d.height) + " " +
                    std::to_string(d.bytesPerPixel));
            } else {
                Say(std::string("dims ") + StatusWord(s));
            }
        } else if (word == "frames") {
            int n = 0;
            in >> n;
            int got = 0;
            auto s = ShareClient::Status::Ok;
            while (got < n && (s = client.WaitFrame(kWaitMs)) == ShareClient::Status::Ok) {
                ++got;
                Say("frame " + std::to_string(got));
            }
            Say("frames " + std::to_string(got) + " " + StatusWord(s));
        } else if (word == "copy") {
            const auto& d = client.Dimensions();
            frame.assign(static_cast<std::size_t>(d.width) * static_cast<std::size_t>(d.height), 0);
            const auto s = client.CopyFrame(frame.data(), frame.size());
            Say(std::string("copy ") + StatusWord(s) + " " +
                std::to_string(Fnv1a(frame.data(), frame.size())));
        } else if (word == "raw") {
            std::string name;
            in >> name;
            try {
                raw.Open(name);
                Say("raw ok");
            } catch (const Win32Exception& e) {
                Say("raw error " + std::to_string(e.errorCode));
            }
        } else if (word == "send") {
            std::string hex;
            in >> hex;
            const auto bytes = FromHex(hex);
            try {
                raw.Write(bytes.data(), static_cast<std::uint32_t>(bytes.size())).Wait(kWaitMs);
                raw.WriteResult();
                Say("sent");
            } catch (const Win32Exception& e) {
                Say("send error " + std::to_string(e.errorCode));
            }
        } else if (word == "recv") {
            try {
                std::memset(rx, 0, sizeof rx);
                if (!raw.Read(rx, sizeof rx).Wait(kWaitMs)) {
                    Say("recv timeout");
                    return kPeerNext;
                }
                const std::uint32_t n = raw.ReadResult();
                Say("msg " + ToHex(rx, n));
            } catch (const Win32Exception& e) {
                Say("recv error " + std::to_string(e.errorCode));
            }
        } else if (word == "hold") {
            std::string name;
            in >> name;
            if (!segment.Create(name.c_str(), true, 0) || !segment.Lock()) {
                Say("hold failed");
                return kPeerNext;
            }
            Say("locked");
            for (;;) {  // until the test kills this process
                std::this_thread::sleep_for(std::chrono::hours(1));
            }
        } else if (word == "segment") {
            std::string name;
            int size = 0;
            in >> name >> size;
            if (!segment.Create(name.c_str(), false, size)) {
                Say("segment failed");
                return kPeerNext;
            }
            const std::vector<std::uint8_t> fill(static_cast<std::size_t>(size), 0xAB);
            segment.Write(fill.data(), static_cast<std::uint32_t>(fill.size()));
            Say("segment ok");
            std::_Exit(0);  // as if crashed: nothing is released
        } else if (word == "close") {
            raw.Close();
            client.Close();
            Say("closed");
        } else {
            return kPeerUnknown;
        }
        return kPeerNext;
    });
}

[[maybe_unused]] const bool peerMode = RunAsPeerIfAsked("KORVANE_SHARE_PEER", &RunPeer);

}  // namespace
}  // namespace korvane::test
