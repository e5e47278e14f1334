#pragma once
// Runs a gst_parse_launch pipeline whose last element is a fakesink named
// "sink" and records every frame it receives: its size, time stamp, and
// whether each pixel lies on the simulator's ramp. The frames are examined
// on the streaming thread that hands them over, so that nothing but the
// element's own synchronisation orders the pixel writes and reads.
#include <gst/gst.h>

#include <chrono>
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

namespace korvane::gsttest {

struct FrameRecord {
    int width = 0;
    int height = 0;
    GstClockTime pts = GST_CLOCK_TIME_NONE;
    int first = -1;                     // the ramp offset: pixel (0, 0) of an exact frame
    int offRamp = 0;                    // pixels that differ from (x + 2y + first) mod 256
    int largestError = 0;               // the largest such difference, in grey levels
    double squaredError = 0;            // sum over the image, for the PSNR
    std::vector<unsigned char> pixels;  // packed rows, kept for small images only
};

// The 8-bit simulator image of frame n: pixel (x, y) = x + 2y + 3n mod 256.
// The frame number follows from pixel (0, 0): 171 is 3's inverse mod 256.
inline int RampFrameNumber(int first) {
    return (first * 171) & 0xFF;
}

struct RunResult {
    std::vector<FrameRecord> frames;
    bool eos = false;
    std::string error;  // the first error message and its debug text
    bool startFailed = false;
};

class PipelineRun {
  public:
    // Parses description; the test fails when it does not parse, or has
    // no fakesink named sink when one is expected.
    explicit PipelineRun(const std::string& description, bool withSink = true);
    ~PipelineRun();
    PipelineRun(const PipelineRun&) = delete;
    PipelineRun& operator=(const PipelineRun&) = delete;

    GstElement* pipeline() const { return pipeline_; }
    GstElement* Element(const char* name) const;

    // Plays until frames were received, the end of the stream, an error or
    // the limit; then stops (to NULL) unless keepRunning. Answers what
    // happened since the last Run.
    RunResult Run(std::size_t frames, std::chrono::milliseconds limit, bool keepRunning = false);
    void Stop();

  private:
    static void OnHandoff(GstElement* sink, GstBuffer* buffer, GstPad* pad, gpointer self);

    GstElement* pipeline_ = nullptr;
    std::mutex mutex_;
    std::vector<FrameRecord> frames_;
};

// Examines one GRAY8 frame of the given layout against the ramp.
FrameRecord ExamineGray8(const unsigned char* data, int width, int height, int stride);

// The peak signal to noise ratio of a frame against its ramp, in dB (99
// for an exact frame).
double Psnr(const FrameRecord& frame);

// Skips the calling test in builds where pipelines cannot be checked
// (ThreadSanitizer), saying why.
#if defined(KORVANE_GST_SKIP_PIPELINES)
#define KORVANE_SKIP_PIPELINE_TESTS()                                              \
    GTEST_SKIP() << "pipelines are not checked under ThreadSanitizer: GLib's and " \
                    "GStreamer's futex locks are invisible to it"
#else
#define KORVANE_SKIP_PIPELINE_TESTS() \
    do {                              \
    } while (false)
#endif

// Makes the test program find korvanesrc without a plugin path: the element
// is registered in this process.
void RegisterKorvaneStatically();

}  // namespace korvane::gsttest
