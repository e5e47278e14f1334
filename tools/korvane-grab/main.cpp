// korvane-grab: a small inspection host. It loads the driver through its
// exports, opens a camera, grabs, fetches every row inside the completion
// callback and reports what it measured.
#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <filesystem>
#include <mutex>
#include <string>
#include <vector>

#include "loader/DriverLoader.h"
#include "tools/korvane-grab/FrameWriter.h"
#include "tools/korvane-grab/Options.h"

namespace {

using Clock = std::chrono::steady_clock;

struct Session {
    korvane::loader::Driver driver;
    int port = 1;
    int width = 0;
    int height = 0;
    bool quiet = false;

    std::mutex mutex;
    std::condition_variable done;
    std::vector<std::uint8_t> frame;  // written by the callback
    long long completed = 0;          // frames fully fetched
    long long rowFailures = 0;
    Clock::time_point requested;
    std::vector<double> latencyUs;
    double rowSeconds = 0;
    std::size_t rowBytes = 0;
};

Session session;

// In quiet mode the driver's failure lines of the step under way are kept,
// so that a failing step can still say why. The driver calls the callback
// twice per message, first with the time stamp, then with the text; it may
// call from its own threads.
struct QuietLog {
    std::mutex mutex;
    bool expectStamp = true;
    std::string stamp;
    std::vector<std::string> failures;
};

QuietLog quietLog;

void PrintLog(const char* text) {
    if (!session.quiet) {
        std::fputs(text, stdout);
        return;
    }
    std::lock_guard lock(quietLog.mutex);
    const bool isStamp = quietLog.expectStamp;
    quietLog.expectStamp = !quietLog.expectStamp;
    if (isStamp) {
        quietLog.stamp = text;
        return;
    }
    const std::string line = text;
    // Errors and warnings are what the driver logs at its first level.
    if (line.find("ERROR") != std::string::npos || line.find("WARNING") != std::string::npos) {
        quietLog.failures.push_back(quietLog.stamp + line);
    }
}

// A new step: failure lines of earlier steps are no reason for this one.
void BeginStep() {
    std::lock_guard lock(quietLog.mutex);
    quietLog.failures.clear();
}

// The step failed: in quiet mode its kept failure lines go to standard
// error first (otherwise they were printed as they came).
void ReportStepFailure() {
    std::lock_guard lock(quietLog.mutex);
    for (const std::string& line : quietLog.failures) {
        std::fputs(line.c_str(), stderr);
        if (line.empty() || line.back() != '\n') {
            std::fputc('\n', stderr);
        }
    }
    quietLog.failures.clear();
}

// Progress that --quiet leaves out.
template <typename... Args>
void Progress(const char* format, Args... args) {
    if (!session.quiet) {
        std::printf(format, args...);
    }
}

void OnFrame(int /*grabberNo*/, int portNo) {
    const auto called = Clock::now();
    // The frame buffer is reused: a fresh allocation per frame would cost
    // more than the rows themselves.
    std::lock_guard lock(session.mutex);
    session.frame.resize(static_cast<std::size_t>(session.width) * session.height);
    const auto start = Clock::now();
    const int rows =
        korvane::loader::ReadFrame(session.driver.Api(), 0, portNo, session.frame.data(),
                                   session.width, session.height, session.width);
    const auto end = Clock::now();
    // Rows after the first refused one are not fetched: they count as failed.
    const long long failures = session.height - std::max(rows, 0);
    session.latencyUs.push_back(
        std::chrono::duration<double, std::micro>(called - session.requested).count());
    session.rowSeconds += std::chrono::duration<double>(end - start).count();
    session.rowBytes += session.frame.size();
    session.rowFailures += failures;
    ++session.completed;
    session.done.notify_all();
}

double Percentile(std::vector<double> values, double p) {
    if (values.empty()) {
        return 0;
    }
    std::sort(values.begin(), values.end());
    const auto index = static_cast<std::size_t>(p * static_cast<double>(values.size() - 1) + 0.5);
    return values[std::min(index, values.size() - 1)];
}

bool WriteFrame(const grab::Options& options, long long index,
                const std::vector<std::uint8_t>& pixels) {
    char name[64];
    std::snprintf(name, sizeof name, "/frame-%05lld", index);
    std::string error;
    if (!grab::WritePgm(options.outDir + name + ".pgm", session.width, session.height, pixels,
                        error)) {
        std::fprintf(stderr, "korvane-grab: %s\n", error.c_str());
        return false;
    }
    if (grab::PngAvailable() && !grab::WritePng(options.outDir + name + ".png", session.width,
                                                session.height, pixels, error)) {
        std::fprintf(stderr, "korvane-grab: %s\n", error.c_str());
        return false;
    }
    return true;
}

int Run(const grab::Options& options) {
    std::string error;
    if (!session.driver.Load(options.library, error)) {
        std::fprintf(stderr, "korvane-grab: %s\n", error.c_str());
        return 1;
    }
    // The folders are made as needed; whether they are usable is what counts.
    std::error_code ignored;
    std::filesystem::create_directories(options.systemPath, ignored);
    if (!std::filesystem::is_directory(options.systemPath, ignored)) {
        std::fprintf(stderr, "korvane-grab: cannot use '%s' as the system path\n",
                     options.systemPath.c_str());
        return 2;
    }
    if (!options.outDir.empty()) {
        std::filesystem::create_directories(options.outDir, ignored);
    }
    const korvane::loader::Exports& d = session.driver.Api();
    session.quiet = options.quiet;
    Progress("korvane-grab: driver %s, system path %s\n", session.driver.Path().c_str(),
             options.systemPath.c_str());
    BeginStep();
    if (d.initialize(options.systemPath.c_str(), &PrintLog) != 1) {
        ReportStepFailure();
        std::fprintf(stderr, "korvane-grab: initialize failed\n");
        return 1;
    }
    const int count = d.getXELNoOfSupportedCameras();
    char** names = d.getXELCameraConfigNames();
    if (options.list || !options.quiet) {
        std::printf("korvane-grab: %d camera(s)\n", count);
        for (int i = 0; names != nullptr && names[i] != nullptr; ++i) {
            std::printf("  %s\n", names[i]);
        }
    }
    if (options.list) {
        d.finalize();
        return 0;
    }
    if (count == 0 || names == nullptr || names[0] == nullptr) {
        ReportStepFailure();
        std::fprintf(stderr, "korvane-grab: no camera found\n");
        d.finalize();
        return 1;
    }
    const std::string camera = options.camera.empty() ? names[0] : options.camera;
    int size[2] = {0, 0};
    session.port = options.port;
    BeginStep();
    if (d.openXELPort(0, options.port, camera.c_str(), size) != 1) {
        ReportStepFailure();
        std::fprintf(stderr,
                     "korvane-grab: cannot open '%s' on port %d (the driver's reason is above)\n",
                     camera.c_str(), options.port);
        d.finalize();
        return 1;
    }
    Progress("korvane-grab: %s open on port %d, %d x %d\n", camera.c_str(), options.port, size[0],
             size[1]);
    bool refused = false;
    for (const auto& [name, value] : options.properties) {
        BeginStep();
        if (d.setProperty(0, options.port, name.c_str(), value) != 1) {
            ReportStepFailure();
            std::fprintf(stderr, "korvane-grab: property %s=%d was refused\n", name.c_str(), value);
            refused = true;
        }
    }
    // A refused setting would make the frames something else than asked for.
    if (refused && !options.keepGoing) {
        std::fprintf(stderr,
                     "korvane-grab: not grabbing because of the refused --set (--keep-going "
                     "grabs anyway)\n");
        d.closeXELPort(0, options.port);
        d.finalize();
        return 1;
    }
    // Width and Height may have changed; rows follow the current settings.
    int w = size[0];
    int h = size[1];
    d.getProperty(0, options.port, "Width", &w);
    d.getProperty(0, options.port, "Height", &h);
    session.width = std::min(w, size[0]);
    session.height = std::min(h, size[1]);
    d.setCompleteCallback(0, options.port, &OnFrame);

    int status = 0;
    long long written = 0;
    const auto started = Clock::now();
    auto lastProgress = started;
    if (options.continuous) {
        d.setProperty(0, options.port, "continuous", 1);
        session.requested = Clock::now();
        d.doXELGrab(0, options.port);
        const auto until = started + std::chrono::duration<double>(options.seconds);
        long long seen = 0;
        while (Clock::now() < until) {
            std::unique_lock lock(session.mutex);
            session.done.wait_for(lock, std::chrono::milliseconds(100));
            if (!options.outDir.empty() && session.completed > seen) {
                seen = session.completed;
                const auto pixels = session.frame;
                lock.unlock();
                if (WriteFrame(options, written, pixels)) {
                    ++written;
                }
                lock.lock();
            }
            session.requested = Clock::now();
            if (!options.quiet && Clock::now() - lastProgress > std::chrono::seconds(1)) {
                lastProgress = Clock::now();
                std::fprintf(stderr, "korvane-grab: %lld frames\n", session.completed);
            }
        }
        d.setProperty(0, options.port, "continuous", 0);
    } else {
        for (int i = 0; i < options.frames; ++i) {
            std::unique_lock lock(session.mutex);
            const long long before = session.completed;
            session.requested = Clock::now();
            lock.unlock();
            BeginStep();
            if (d.doXELGrab(0, options.port) != 1) {
                ReportStepFailure();
                std::fprintf(stderr, "korvane-grab: grab %d was refused\n", i + 1);
                status = 1;
                break;
            }
            lock.lock();
            if (!session.done.wait_for(lock, std::chrono::seconds(10),
                                       [&] { return session.completed > before; })) {
                lock.unlock();
                ReportStepFailure();
                std::fprintf(stderr, "korvane-grab: no callback within 10 s for grab %d\n", i + 1);
                status = 1;
                break;
            }
            const auto pixels = session.frame;
            lock.unlock();
            if (!options.outDir.empty() && WriteFrame(options, written, pixels)) {
                ++written;
            }
            if (!options.quiet && Clock::now() - lastProgress > std::chrono::seconds(1)) {
                lastProgress = Clock::now();
                std::fprintf(stderr, "korvane-grab: %d of %d frames\n", i + 1, options.frames);
            }
        }
    }
    const double elapsed = std::chrono::duration<double>(Clock::now() - started).count();
    d.closeXELPort(0, options.port);
    d.finalize();

    std::lock_guard lock(session.mutex);
    std::printf("korvane-grab: %lld frames in %.2f s, %.1f frames/s\n", session.completed, elapsed,
                elapsed > 0 ? static_cast<double>(session.completed) / elapsed : 0.0);
    if (!options.continuous) {
        std::printf(
            "korvane-grab: grab-to-callback latency median %.1f us, 99th percentile %.1f us\n",
            Percentile(session.latencyUs, 0.5), Percentile(session.latencyUs, 0.99));
    }
    std::printf("korvane-grab: row delivery %.1f MB/s (%lld rows refused)\n",
                session.rowSeconds > 0
                    ? static_cast<double>(session.rowBytes) / session.rowSeconds / 1e6
                    : 0.0,
                session.rowFailures);
    if (!options.outDir.empty()) {
        std::printf("korvane-grab: %lld frame(s) written to %s/\n", written,
                    options.outDir.c_str());
    }
    if (session.rowFailures > 0) {
        status = 1;
    }
    return status;
}

}  // namespace

int main(int argc, char** argv) {
    grab::Options options;
    std::string error;
    if (!grab::ParseOptions(argc, argv, options, error)) {
        std::fprintf(stderr, "korvane-grab: %s\n", error.c_str());
        return 2;
    }
    if (options.help) {
        std::fputs(grab::Usage(), stdout);
        return 0;
    }
    return Run(options);
}
