#pragma once
// The error the sharing code throws when a system call fails: the system
// error number of the failure and the system's wording for it.
#include <stdexcept>
#include <string>

#include "platform/SystemError.h"

namespace korvane {

class Win32Exception : public std::runtime_error {
  public:
    // Takes the calling thread's last system error.
    Win32Exception();
    explicit Win32Exception(platform::ErrorCode code);

    // The system's text for errorCode (empty when it has none). Each
    // exception keeps its own text, so threads never see each other's.
    const char* what() const noexcept override;

    platform::ErrorCode errorCode;

  private:
    std::string text_;
};

}  // namespace korvane
