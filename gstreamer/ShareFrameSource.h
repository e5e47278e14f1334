#pragma once
// share=NAME: korvanesrc as a client of a camera another process shares,
// through libKorvaneShare. Every frame notice becomes one buffer, stamped
// when the notice arrived; the share's end is the end of the stream.
#include <atomic>
#include <memory>
#include <string>
#include <vector>

#include "gstreamer/FrameSource.h"
#include "korvane/korvane_share.h"

namespace korvane::gst {

class ShareFrameSource : public FrameSource {
  public:
    // connectTimeoutMs bounds the wait for the share to appear and answer
    // its size.
    ShareFrameSource(std::string name, int connectTimeoutMs, RunningTime now);

    bool Open(std::string& error) override;
    int Width() const override { return width_; }
    int Height() const override { return height_; }
    FrameResult Next(GstBufferPool* pool, const GstVideoInfo& info, BufferPtr& frame,
                     std::string& error) override;
    void Unlock() override { unlocked_.store(true); }
    void UnlockStop() override { unlocked_.store(false); }
    void Close() override { share_.reset(); }

  private:
    struct ShareCloser {
        void operator()(korvane_share* share) const { korvane_share_close(share); }
    };

    std::string ShareErrorText() const;

    const std::string name_;
    const int connectTimeoutMs_;
    const RunningTime now_;
    std::unique_ptr<korvane_share, ShareCloser> share_;
    int width_ = 0;
    int height_ = 0;
    std::atomic<bool> unlocked_{false};
    // Only for rows padded in the buffer: the share copies packed images.
    std::vector<unsigned char> packed_;
};

}  // namespace korvane::gst
