// korvane-share: receives the frames a Korvane camera shares on this machine.
#include <chrono>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <thread>
#include <vector>

#include "korvane/korvane_share.h"
#include "tools/korvane-share/Options.h"
#include "tools/korvane-share/PgmWriter.h"

namespace {

volatile std::sig_atomic_t stopRequested = 0;

void OnSignal(int) {
    stopRequested = 1;
}

constexpr int kPollMs = 200;

// The tools' one convention: 0 success, 1 the run failed, 2 a usage error;
// this tool also tells the later failures apart.
enum ExitCode { kExitOk = 0, kExitConnect = 1, kExitUsage = 2, kExitSave = 3, kExitShare = 4 };

void LogLine(const char* text) {
    std::fputs(text, stderr);
}

double Seconds(std::chrono::steady_clock::duration d) {
    return std::chrono::duration<double>(d).count();
}

struct ShareCloser {
    void operator()(korvane_share* share) const { korvane_share_close(share); }
};
using ShareHandle = std::unique_ptr<korvane_share, ShareCloser>;

int ReportError(const char* what) {
    const unsigned code = korvane_share_error();
    std::fprintf(stderr, "korvane-share: %s: %s (error %u)\n", what, korvane_share_error_text(code),
                 code);
    return kExitShare;
}

// Connects, retrying until the connect time-out when asked to.
int Connect(const sharetool::Options& options, ShareHandle& share) {
    const auto deadline =
        std::chrono::steady_clock::now() + std::chrono::milliseconds(options.connectTimeoutMs);
    for (;;) {
        korvane_share* raw = nullptr;
        if (korvane_share_open(options.name.c_str(), &raw) == KORVANE_SHARE_OK) {
            share.reset(raw);
            return kExitOk;
        }
        const unsigned code = korvane_share_error();
        if (stopRequested || std::chrono::steady_clock::now() >= deadline || code != 2) {
            if (code == 2) {
                std::fprintf(stderr, "korvane-share: no camera is shared under the name '%s'\n",
                             options.name.c_str());
            } else {
                std::fprintf(stderr, "korvane-share: cannot connect to share '%s': %s (error %u)\n",
                             options.name.c_str(), korvane_share_error_text(code), code);
            }
            return kExitConnect;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
}

}  // namespace

int main(int argc, char** argv) {
    sharetool::Options options;
    std::string error;
    if (!sharetool::ParseOptions(argc, argv, options, error)) {
        std::fprintf(stderr, "korvane-share: %s\n\n%s", error.c_str(), sharetool::UsageText());
        return kExitUsage;
    }
    if (options.help) {
        std::fputs(sharetool::UsageText(), stdout);
        return kExitOk;
    }
    if (!options.outDir.empty()) {
        std::error_code ec;
        std::filesystem::create_directories(options.outDir, ec);
        if (ec || !std::filesystem::is_directory(options.outDir)) {
            std::fprintf(stderr, "korvane-share: cannot use folder %s: %s\n",
                         options.outDir.c_str(), ec ? ec.message().c_str() : "not a folder");
            return kExitSave;
        }
    }
    std::signal(SIGINT, OnSignal);
    std::signal(SIGTERM, OnSignal);
    if (options.verbose) {
        korvane_share_set_log(LogLine, 2);
    }

    ShareHandle share;
    if (int rc = Connect(options, share); rc != kExitOk) {
        return rc;
    }
    int width = 0;
    int height = 0;
    const int answer =
        korvane_share_dimensions(share.get(), options.answerTimeoutMs, &width, &height);
    if (answer == KORVANE_SHARE_TIMEOUT) {
        std::fprintf(stderr, "korvane-share: share '%s' did not answer the size request in %d ms\n",
                     options.name.c_str(), options.answerTimeoutMs);
        return kExitShare;
    }
    if (answer == KORVANE_SHARE_CLOSED) {
        std::printf("share '%s' was closed by the server\n", options.name.c_str());
        return kExitOk;
    }
    if (answer != KORVANE_SHARE_OK) {
        return ReportError("size request failed");
    }
    std::printf("share '%s': %d x %d, 1 byte per pixel\n", options.name.c_str(), width, height);
    std::fflush(stdout);

    std::vector<unsigned char> image;
    if (options.saveEvery > 0) {
        image.resize(static_cast<std::size_t>(width) * static_cast<std::size_t>(height));
    }
    const auto start = std::chrono::steady_clock::now();
    auto lastReport = start;
    std::uint64_t frames = 0;
    std::uint64_t framesAtReport = 0;
    std::uint64_t saved = 0;
    int exitCode = kExitOk;
    while (!stopRequested && (options.frames == 0 || frames < options.frames)) {
        const int rc = korvane_share_wait_frame(share.get(), kPollMs);
        if (rc == KORVANE_SHARE_CLOSED) {
            std::printf("share '%s' was closed by the server\n", options.name.c_str());
            break;
        }
        if (rc == KORVANE_SHARE_ERROR) {
            exitCode = ReportError("waiting for a frame failed");
            break;
        }
        if (rc == KORVANE_SHARE_OK) {
            ++frames;
            if (options.saveEvery > 0 && frames % options.saveEvery == 0) {
                if (korvane_share_copy_frame(share.get(), image.data(), image.size()) !=
                    KORVANE_SHARE_OK) {
                    exitCode = ReportError("copying the frame failed");
                    break;
                }
                char file[64];
                // Named as korvane-grab names its frames: numbered from 0 in
                // the order written.
                std::snprintf(file, sizeof file, "frame-%05llu.pgm",
                              static_cast<unsigned long long>(saved));
                const std::string path = (std::filesystem::path(options.outDir) / file).string();
                if (!sharetool::WritePgm(path, image.data(), width, height, error)) {
                    std::fprintf(stderr, "korvane-share: %s\n", error.c_str());
                    exitCode = kExitSave;
                    break;
                }
                ++saved;
            }
        }
        const auto now = std::chrono::steady_clock::now();
        if (!options.quiet && now - lastReport >= std::chrono::seconds(1)) {
            std::printf("frames %llu, %.1f fps\n", static_cast<unsigned long long>(frames),
                        static_cast<double>(frames - framesAtReport) / Seconds(now - lastReport));
            std::fflush(stdout);
            lastReport = now;
            framesAtReport = frames;
        }
    }
    const double elapsed = Seconds(std::chrono::steady_clock::now() - start);
    std::printf("received %llu frames in %.3f s, %.1f fps\n",
                static_cast<unsigned long long>(frames), elapsed,
                elapsed > 0 ? static_cast<double>(frames) / elapsed : 0.0);
    return exitCode;
}
