#pragma once
// A mutex that processes share by name. It is robust: when the process that
// holds it dies, the next taker gets it as abandoned and proceeds. The owning
// thread may take it again (it counts), as a Windows mutex does.
#include <memory>
#include <string>

namespace korvane::platform {

class NamedMutex {
  public:
    enum class LockResult { Acquired, Abandoned, Failed };

    // Creates the mutex, not owned, or opens the one that exists under the
    // name (last error 183 then, 0 for a new one). Null with the last error
    // set on failure: 6 when the name is held by another kind of object.
    static std::unique_ptr<NamedMutex> Create(const std::string& name);
    // Opens an existing mutex; null with last error 2 when there is none.
    static std::unique_ptr<NamedMutex> Open(const std::string& name);

    ~NamedMutex();
    NamedMutex(const NamedMutex&) = delete;
    NamedMutex& operator=(const NamedMutex&) = delete;

    // Waits without time limit.
    LockResult Lock();
    // False (last error 288) when the calling thread does not hold it.
    bool Unlock();

    struct Impl;

  private:
    explicit NamedMutex(std::unique_ptr<Impl> impl);
    std::unique_ptr<Impl> impl_;
};

}  // namespace korvane::platform
