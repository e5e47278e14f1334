#include "gstreamer/tests/PipelineRun.h"

#include <gst/video/video.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "gstreamer/KorvaneSrc.h"

namespace korvane::gsttest {

FrameRecord ExamineGray8(const unsigned char* data, int width, int height, int stride) {
    FrameRecord record;
    record.width = width;
    record.height = height;
    if (width <= 0 || height <= 0) {
        return record;
    }
    // The frame's offset on the ramp: the most common value of
    // pixel - x - 2y. Exact frames agree everywhere; after a lossy codec
    // the bulk still does.
    int histogram[256] = {};
    for (int y = 0; y < height; ++y) {
        const unsigned char* row = data + static_cast<std::ptrdiff_t>(y) * stride;
        for (int x = 0; x < width; ++x) {
            ++histogram[(row[x] - x - 2 * y) & 0xFF];
        }
    }
    record.first = static_cast<int>(std::max_element(histogram, histogram + 256) - histogram);
    const bool keep = width * height <= 64 * 1024;
    for (int y = 0; y < height; ++y) {
        const unsigned char* row = data + static_cast<std::ptrdiff_t>(y) * stride;
        if (keep) {
            record.pixels.insert(record.pixels.end(), row, row + width);
        }
        for (int x = 0; x < width; ++x) {
            const int expected = (x + 2 * y + record.first) & 0xFF;
            // The distance on the ring of grey levels: 255 next to 0 is 1.
            int diff = std::abs(row[x] - expected);
            diff = std::min(diff, 256 - diff);
            if (diff != 0) {
                ++record.offRamp;
                record.largestError = std::max(record.largestError, diff);
                record.squaredError += static_cast<double>(diff) * diff;
            }
        }
    }
    return record;
}

PipelineRun::PipelineRun(const std::string& description, bool withSink) {
    GError* error = nullptr;
    pipeline_ = gst_parse_launch(description.c_str(), &error);
    if (error != nullptr) {
        ADD_FAILURE() << "cannot parse '" << description << "': " << error->message;
        g_error_free(error);
        if (pipeline_ != nullptr) {
            gst_object_unref(pipeline_);
            pipeline_ = nullptr;
        }
        return;
    }
    if (GstElement* sink = Element("sink")) {
        g_object_set(sink, "signal-handoffs", TRUE, nullptr);
        g_signal_connect(sink, "handoff", G_CALLBACK(&PipelineRun::OnHandoff), this);
        gst_object_unref(sink);
    } else if (withSink) {
        ADD_FAILURE() << "the pipeline has no element named sink";
    }
}

PipelineRun::~PipelineRun() {
    if (pipeline_ != nullptr) {
        Stop();
        gst_object_unref(pipeline_);
    }
}

GstElement* PipelineRun::Element(const char* name) const {
    return pipeline_ != nullptr ? gst_bin_get_by_name(GST_BIN(pipeline_), name) : nullptr;
}

void PipelineRun::Stop() {
    gst_element_set_state(pipeline_, GST_STATE_NULL);
}

void PipelineRun::OnHandoff(GstElement*, GstBuffer* buffer, GstPad* pad, gpointer self) {
    auto* run = static_cast<PipelineRun*>(self);
    GstCaps* caps = gst_pad_get_current_caps(pad);
    GstVideoInfo info;
    FrameRecord record;
    if (caps != nullptr && gst_video_info_from_caps(&info, caps) &&
        GST_VIDEO_INFO_FORMAT(&info) == GST_VIDEO_FORMAT_GRAY8) {
        GstVideoFrame frame;
        if (gst_video_frame_map(&frame, &info, buffer, GST_MAP_READ)) {
            record = ExamineGray8(
                static_cast<const unsigned char*>(GST_VIDEO_FRAME_PLANE_DATA(&frame, 0)),
                GST_VIDEO_FRAME_WIDTH(&frame), GST_VIDEO_FRAME_HEIGHT(&frame),
                GST_VIDEO_FRAME_PLANE_STRIDE(&frame, 0));
            gst_video_frame_unmap(&frame);
        }
    }
    if (caps != nullptr) {
        gst_caps_unref(caps);
    }
    record.pts = GST_BUFFER_PTS(buffer);
    std::lock_guard lock(run->mutex_);
    run->frames_.push_back(record);
}

RunResult PipelineRun::Run(std::size_t frames, std::chrono::milliseconds limit, bool keepRunning) {
    RunResult result;
    if (pipeline_ == nullptr) {
        result.startFailed = true;
        return result;
    }
    {
        std::lock_guard lock(mutex_);
        frames_.clear();
    }
    GstBus* bus = gst_element_get_bus(pipeline_);
    if (gst_element_set_state(pipeline_, GST_STATE_PLAYING) == GST_STATE_CHANGE_FAILURE) {
        result.startFailed = true;
    }
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (std::chrono::steady_clock::now() < deadline) {
        {
            std::lock_guard lock(mutex_);
            if (frames > 0 && frames_.size() >= frames) {
                break;
            }
        }
        GstMessage* message = gst_bus_timed_pop_filtered(
            bus, 20 * GST_MSECOND,
            static_cast<GstMessageType>(GST_MESSAGE_EOS | GST_MESSAGE_ERROR));
        if (message == nullptr) {
            continue;
        }
        if (GST_MESSAGE_TYPE(message) == GST_MESSAGE_EOS) {
            result.eos = true;
        } else {
            GError* error = nullptr;
            gchar* debug = nullptr;
            gst_message_parse_error(message, &error, &debug);
            result.error = std::string(error->message) + " | " + (debug != nullptr ? debug : "");
            g_error_free(error);
            g_free(debug);
        }
        gst_message_unref(message);
        break;
    }
    gst_object_unref(bus);
    if (!keepRunning) {
        Stop();
    }
    std::lock_guard lock(mutex_);
    result.frames = frames_;
    return result;
}

double Psnr(const FrameRecord& frame) {
    const double pixels = static_cast<double>(frame.width) * frame.height;
    if (pixels <= 0) {
        return 0;
    }
    const double mse = frame.squaredError / pixels;
    return mse == 0 ? 99.0 : 10.0 * std::log10(255.0 * 255.0 / mse);
}

void RegisterKorvaneStatically() {
    static const bool registered =
        gst_plugin_register_static(GST_VERSION_MAJOR, GST_VERSION_MINOR, "korvane",
                                   "Korvane camera sources", korvane_src_register, "test",
                                   "Proprietary", "korvane", "korvane", "https://korvane.invalid/");
    ASSERT_TRUE(registered);
}

}  // namespace korvane::gsttest
