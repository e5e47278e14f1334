// korvanesrc against the plain clients, in the same run: frames per second
// of `korvanesrc share=... ! fakesink` and of korvane-share, both reading a
// camera korvane-grab shares from another process; and of
// `korvanesrc camera=... ! fakesink` and korvane-grab --continuous, both
// hosting the simulated camera. Then a paced share, whose frame numbers
// (pixel 0 of the ramp) show whether an announced frame was lost.
//   korvane_gst_bench [seconds per measurement, default 1] [share|camera|paced]
#include <fcntl.h>
#include <gst/gst.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "gstreamer/KorvaneSrc.h"
#include "korvane/korvane_share.h"

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;

// Each comparison alternates its contenders this many times and reports
// medians: on a shared machine the load changes from second to second.
constexpr int kRounds = 3;

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values.empty() ? 0.0 : values[values.size() / 2];
}

std::string Tool(const char* name) {
    return std::string(KORVANE_TOOLS_DIR) + "/" + name;
}

// A program of this build, its output in a file.
class Child {
  public:
    Child(const std::vector<std::string>& args, const std::string& out) {
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 1, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                         0644);
        posix_spawn_file_actions_adddup2(&actions, 1, 2);
        std::vector<char*> argv;
        for (const auto& arg : args) {
            argv.push_back(const_cast<char*>(arg.c_str()));
        }
        argv.push_back(nullptr);
        if (posix_spawn(&pid_, argv[0], &actions, nullptr, argv.data(), environ) != 0) {
            pid_ = -1;
        }
        posix_spawn_file_actions_destroy(&actions);
    }
    ~Child() {
        if (pid_ > 0) {
            kill(pid_, SIGTERM);
            Wait();
        }
    }
    Child(const Child&) = delete;
    Child& operator=(const Child&) = delete;
    int Wait() {
        int status = 0;
        if (pid_ > 0) {
            waitpid(pid_, &status, 0);
            pid_ = -1;
        }
        return status;
    }

  private:
    pid_t pid_ = -1;
};

std::string ReadAll(const std::string& path) {
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

// The number after the last occurrence of key in text.
double NumberAfter(const std::string& text, const std::string& key) {
    const auto at = text.rfind(key);
    return at == std::string::npos ? 0.0 : std::atof(text.c_str() + at + key.size());
}

std::string MakeSystemPath(const std::string& root, int width, int height, int frameTimeMs,
                           const std::string& share) {
    const std::string path = root + "/" + std::to_string(width) + "x" + std::to_string(height) +
                             "-" + std::to_string(frameTimeMs) + share;
    std::filesystem::create_directories(path);
    std::ofstream(path + "/KorvaneSim.ini")
        << "[System0]\nDescriptor=M_SYSTEM_SOLIOS\nSerial=SIM-0001\nAsyncSupport=1\n"
           "Digitizers=1\n[System0.Digitizer0]\nWidth="
        << width << "\nHeight=" << height << "\nFrameTimeMs=" << frameTimeMs << "\n";
    std::ofstream ini(path + "/Korvane.ini");
    ini << "[Camera 1]\n";
    if (!share.empty()) {
        ini << "ShareCamera=1\nShareName=" << share << "\n";
    }
    return path;
}

struct PipelineFigures {
    double fps = 0;
    std::uint64_t frames = 0;
    std::uint64_t dropped = 0;
    int gaps = 0;  // frame-number steps other than 1
    int repeats = 0;
};

struct Counter {
    std::atomic<std::uint64_t> frames{0};
    std::atomic<int> gaps{0};
    std::atomic<int> repeats{0};
    int last = -1;  // the streaming thread's own
    bool ramp = false;
};

// Counts frames on the streaming thread; for paced runs also reads the
// frame number from pixel 0 (3n mod 256, 171 being 3's inverse).
void OnHandoff(GstElement*, GstBuffer* buffer, GstPad*, gpointer data) {
    auto* counter = static_cast<Counter*>(data);
    counter->frames.fetch_add(1);
    if (!counter->ramp) {
        return;
    }
    GstMapInfo map;
    if (gst_buffer_map(buffer, &map, GST_MAP_READ)) {
        const int number = (map.data[0] * 171) & 0xFF;
        if (counter->last >= 0) {
            const int step = (number - counter->last) & 0xFF;
            if (step == 0) {
                counter->repeats.fetch_add(1);
            } else if (step != 1) {
                counter->gaps.fetch_add(1);
            }
        }
        counter->last = number;
        gst_buffer_unmap(buffer, &map);
    }
}

// Plays description for the given time after its first frame.
PipelineFigures RunPipeline(const std::string& description, double seconds, bool ramp) {
    PipelineFigures figures;
    GError* error = nullptr;
    GstElement* pipeline = gst_parse_launch(description.c_str(), &error);
    if (error != nullptr) {
        std::fprintf(stderr, "cannot parse %s: %s\n", description.c_str(), error->message);
        g_error_free(error);
        return figures;
    }
    Counter counter;
    counter.ramp = ramp;
    GstElement* sink = gst_bin_get_by_name(GST_BIN(pipeline), "sink");
    g_object_set(sink, "signal-handoffs", TRUE, nullptr);
    g_signal_connect(sink, "handoff", G_CALLBACK(OnHandoff), &counter);
    gst_element_set_state(pipeline, GST_STATE_PLAYING);
    const auto limit = Clock::now() + std::chrono::seconds(20);
    while (counter.frames.load() == 0 && Clock::now() < limit) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    const std::uint64_t startFrames = counter.frames.load();
    const int startGaps = counter.gaps.load();
    const auto start = Clock::now();
    std::this_thread::sleep_for(std::chrono::duration<double>(seconds));
    const std::uint64_t endFrames = counter.frames.load();
    const double elapsed = std::chrono::duration<double>(Clock::now() - start).count();
    GstElement* src = gst_bin_get_by_name(GST_BIN(pipeline), "src");
    guint64 dropped = 0;
    g_object_get(src, "dropped", &dropped, nullptr);
    gst_object_unref(src);
    gst_element_set_state(pipeline, GST_STATE_NULL);
    gst_object_unref(sink);
    gst_object_unref(pipeline);
    figures.frames = endFrames - startFrames;
    figures.fps = static_cast<double>(figures.frames) / elapsed;
    figures.dropped = dropped;
    figures.gaps = counter.gaps.load() - startGaps;
    figures.repeats = counter.repeats.load();
    return figures;
}

// The plain loop of korvane_share.h with a copy of every frame, in this
// process: wait for a notice, copy the image, as the element does per frame.
double CopyingClientFps(const std::string& name, double seconds) {
    korvane_share* share = nullptr;
    const auto limit = Clock::now() + std::chrono::seconds(10);
    while (korvane_share_open(name.c_str(), &share) != KORVANE_SHARE_OK) {
        if (Clock::now() > limit) {
            return 0;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    int width = 0;
    int height = 0;
    if (korvane_share_dimensions(share, 5000, &width, &height) != KORVANE_SHARE_OK) {
        korvane_share_close(share);
        return 0;
    }
    std::vector<unsigned char> image(static_cast<std::size_t>(width) * height);
    // The first notice starts the clock, as for the pipeline.
    while (korvane_share_wait_frame(share, 1000) == KORVANE_SHARE_TIMEOUT) {
    }
    std::uint64_t frames = 0;
    const auto start = Clock::now();
    const auto end = start + std::chrono::duration<double>(seconds);
    while (Clock::now() < end) {
        if (korvane_share_wait_frame(share, 200) == KORVANE_SHARE_OK &&
            korvane_share_copy_frame(share, image.data(), image.size()) == KORVANE_SHARE_OK) {
            ++frames;
        }
    }
    const double elapsed = std::chrono::duration<double>(Clock::now() - start).count();
    korvane_share_close(share);
    return static_cast<double>(frames) / elapsed;
}

// korvane-share counting notices for about the given time.
double PlainClientFps(const std::string& name, const std::string& system, double seconds,
                      double expectedFps) {
    const std::string out = system + "/plain.out";
    Child client({Tool("korvane-share"), "--name", name, "--connect-timeout", "10000", "--frames",
                  std::to_string(static_cast<long long>(seconds * expectedFps) + 1), "--quiet"},
                 out);
    client.Wait();
    return NumberAfter(ReadAll(out), "s, ");
}

void ShareRun(const std::string& root, int width, int height, double seconds) {
    const std::string name = "gstbench" + std::to_string(width);
    const std::string system = MakeSystemPath(root, width, height, 0, name);
    Child server({Tool("korvane-grab"), "--quiet", "--system-path", system, "--continuous",
                  "--seconds", "600"},
                 system + "/server.out");
    // korvane-share counts the notices (it copies nothing unless asked to
    // save); the copying loop copies every frame, as the element does.
    const double guess = width <= 1280 ? 2000 : 100;
    std::vector<double> plain;
    std::vector<double> copying;
    std::vector<double> element;
    for (int round = 0; round < kRounds; ++round) {
        plain.push_back(PlainClientFps(name, system, seconds, guess));
        copying.push_back(CopyingClientFps(name, seconds));
        element.push_back(RunPipeline("korvanesrc name=src share=" + name +
                                          " connect-timeout=10000 ! fakesink name=sink sync=false",
                                      seconds, false)
                              .fps);
    }
    const double p = Median(plain);
    const double c = Median(copying);
    const double e = Median(element);
    std::printf(
        "share  %4d x %4d  korvane-share %7.1f fps  wait+copy loop %7.1f fps  "
        "korvanesrc ! fakesink %7.1f fps  ratio %.2f / %.2f\n",
        width, height, p, c, e, p > 0 ? e / p : 0.0, c > 0 ? e / c : 0.0);
}

void CameraRun(const std::string& root, int width, int height, double seconds) {
    const std::string system = MakeSystemPath(root, width, height, 0, "");
    const std::string out = system + "/grab.out";
    std::vector<double> plain;
    std::vector<double> element;
    std::uint64_t dropped = 0;
    for (int round = 0; round < kRounds; ++round) {
        Child grab({Tool("korvane-grab"), "--quiet", "--system-path", system, "--continuous",
                    "--seconds", std::to_string(seconds)},
                   out);
        grab.Wait();
        plain.push_back(NumberAfter(ReadAll(out), "s, "));
        const PipelineFigures figures =
            RunPipeline("korvanesrc name=src camera=\"Camera 1\" system-path=\"" + system +
                            "\" ! fakesink name=sink sync=false",
                        seconds, false);
        element.push_back(figures.fps);
        dropped += figures.dropped;
    }
    const double p = Median(plain);
    const double e = Median(element);
    std::printf(
        "camera %4d x %4d  korvane-grab  %7.1f fps  korvanesrc ! fakesink %7.1f fps  "
        "ratio %.2f  (dropped %llu in all runs)\n",
        width, height, p, e, p > 0 ? e / p : 0.0, static_cast<unsigned long long>(dropped));
}

// A camera paced at frameTimeMs, which both clients keep up with: the
// element must take every notice the plain client takes. Frame-number gaps
// are grabs the server did not announce (the plain client sees them too).
void PacedShareRun(const std::string& root, int width, int height, int frameTimeMs,
                   double seconds) {
    const std::string name = "gstbenchpaced" + std::to_string(width);
    const std::string system = MakeSystemPath(root, width, height, frameTimeMs, name);
    Child server({Tool("korvane-grab"), "--quiet", "--system-path", system, "--continuous",
                  "--seconds", "600"},
                 system + "/server.out");
    std::vector<double> plain;
    std::vector<double> element;
    int gaps = 0;
    int repeats = 0;
    std::uint64_t frames = 0;
    for (int round = 0; round < kRounds; ++round) {
        plain.push_back(PlainClientFps(name, system, seconds, 1000.0 / frameTimeMs));
        const PipelineFigures figures =
            RunPipeline("korvanesrc name=src share=" + name +
                            " connect-timeout=10000 ! fakesink name=sink sync=false",
                        seconds, true);
        element.push_back(figures.fps);
        gaps += figures.gaps;
        repeats += figures.repeats;
        frames += figures.frames;
    }
    const double p = Median(plain);
    const double e = Median(element);
    std::printf(
        "paced  %4d x %4d  every %d ms: korvane-share %6.1f fps  korvanesrc %6.1f fps  "
        "ratio %.2f  (%d gaps, %d repeats in %llu frames)\n",
        width, height, frameTimeMs, p, e, p > 0 ? e / p : 0.0, gaps, repeats,
        static_cast<unsigned long long>(frames));
}

}  // namespace

int main(int argc, char** argv) {
    gst_init(&argc, &argv);
    gst_plugin_register_static(GST_VERSION_MAJOR, GST_VERSION_MINOR, "korvane",
                               "Korvane camera sources", korvane_src_register, "bench",
                               "Proprietary", "korvane", "korvane", "https://korvane.invalid/");
    const double seconds = argc > 1 ? std::atof(argv[1]) : 1.0;
    // The share's objects in memory, like a session's runtime folder.
    char pattern[] = "/dev/shm/korvane-gstbench-XXXXXX";
    if (mkdtemp(pattern) == nullptr) {
        return 1;
    }
    const std::string root = pattern;
    setenv("XDG_RUNTIME_DIR", root.c_str(), 1);
    unsetenv("KORVANE_SIM_CONFIG");
    unsetenv("KORVANE_MIL");
    const std::string only = argc > 2 ? argv[2] : "";
    if (only.empty() || only == "share") {
        ShareRun(root, 1280, 960, seconds);
        ShareRun(root, 4096, 3072, seconds);
    }
    if (only.empty() || only == "camera") {
        CameraRun(root, 1280, 960, seconds);
        CameraRun(root, 4096, 3072, seconds);
    }
    if (only.empty() || only == "paced") {
        PacedShareRun(root, 1280, 960, 5, seconds);
        PacedShareRun(root, 64, 16, 5, seconds);
    }
    std::filesystem::remove_all(root);
    return 0;
}
