#pragma once
// One board: its library system and one camera per digitizer.
#include <memory>
#include <string>
#include <vector>

#include "mil/MilApi.h"

namespace korvane {

class MilApp;
class MilDigitizer;

class MilSystem {
  public:
    explicit MilSystem(MilApp& app);
    ~MilSystem();
    MilSystem(const MilSystem&) = delete;
    MilSystem& operator=(const MilSystem&) = delete;

    bool Init(const std::string& descriptor, int deviceNumber);

    mil::MilId sysId() const { return sysId_; }
    MilApp& app() const { return app_; }
    const std::vector<std::unique_ptr<MilDigitizer>>& digitizers() const { return digitizers_; }

  private:
    mil::MilId sysId_ = 0;
    MilApp& app_;
    std::vector<std::unique_ptr<MilDigitizer>> digitizers_;
};

}  // namespace korvane
