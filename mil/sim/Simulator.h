#pragma once
// The simulated imaging library: one application, the configured boards,
// their digitizers and the image buffers, each behind an identifier. Every
// operation answers like the library: an identifier (0 on failure) or a
// value, and failures through the calling thread's error state. Callable
// from any thread.
#include <atomic>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <type_traits>

#include "mil/MilApi.h"
#include "mil/sim/Lasting.h"
#include "mil/sim/SimBuffer.h"
#include "mil/sim/SimConfig.h"
#include "mil/sim/SimDigitizer.h"
#include "platform/ThreadSafety.h"

namespace korvane::mil::sim {

class Simulator {
  public:
    // Reached by every library call (every delivered row): inline. Kept
    // while grab threads may still call it as the process exits.
    static Simulator& Instance() {
        static Lasting<Simulator> instance;
        return instance.get();
    }

    MilId AppAlloc(MilId* appId);
    void AppControl(MilInt type, MilInt value);
    MilInt AppInquire(MilInt type, void* out);
    void AppFree(MilId appId);

    MilId SysAlloc(const char* descriptor, MilInt devNum, MilId* sysId);
    MilInt SysInquire(MilId sysId, MilInt type, void* out);
    void SysControl(MilId sysId, MilInt type, std::int32_t value);
    void SysFree(MilId sysId);

    MilId DigAlloc(MilId sysId, MilInt devNum, const char* dcf, MilId* digId);
    MilInt DigInquire(MilId digId, MilInt type, void* out);
    void DigControl(MilId digId, MilInt type, double value);
    void DigLut(MilId digId, MilInt lut);
    void DigFree(MilId digId);
    void DigProcess(MilId digId, const MilId* buffers, MilInt count, MilInt operation,
                    MilInt operationFlag, void* hook);

    MilId BufAlloc2d(MilId sysId, MilInt sizeX, MilInt sizeY, MilInt bits, MilInt attribute,
                     MilId* bufId);
    // Reached by every delivered row: inline, and without the simulator's
    // lock while the calling thread reads the buffer it read last.
    void BufGet2d(MilId bufId, MilInt x, MilInt y, MilInt sizeX, MilInt sizeY, void* dest) {
        SimBuffer* const buffer = LookUpBuffer(bufId);
        if (buffer == nullptr || !buffer->Get(x, y, sizeX, sizeY, dest)) {
            RefuseGet(bufId, buffer, x, y, sizeX, sizeY, dest);
        }
    }
    void BufFree(MilId bufId);

    // What tests look at (see SimulatorControl.h).
    std::shared_ptr<SimDigitizer> FindDigitizer(MilId digId);
    MilId DigitizerId(int systemIndex, int deviceNumber);
    bool LastSystemControl(MilId sysId, MilInt type, MilInt& value);
    std::size_t LiveObjectCount();
    void Reset();

  private:
    struct System {
        int index = 0;  // position in the configured list
        MilInt deviceNumber = 0;
        SystemConfig config;
        std::map<MilInt, MilInt> controls;
    };

    friend class Lasting<Simulator>;
    Simulator() = default;
    // No application, so no grab can be running: safe to destroy.
    bool Idle();
    // With mutex_ held:
    MilId NextId() KORVANE_REQUIRES(mutex_);
    bool HasApp(const char* operation) KORVANE_REQUIRES(mutex_);
    System* FindSystem(MilId sysId, const char* operation) KORVANE_REQUIRES(mutex_);
    void FreeAll() KORVANE_REQUIRES(mutex_);

    std::shared_ptr<SimDigitizer> Digitizer(MilId digId, const char* operation);

    // Rows are read one call per row: each thread remembers the last buffer
    // it read until any buffer is allocated or freed. The cache holds a plain
    // pointer, valid because a buffer is never freed while it is being read
    // (the caller owns both calls), and it must stay trivially destructible:
    // with MinGW a thread_local with a destructor runs after its storage was
    // freed and corrupts the heap when the thread ends.
    // (Zero until a thread's first lookup, as every thread_local is.)
    struct BufferCache {
        MilId id;
        std::uint64_t generation;
        SimBuffer* buffer;
    };
    static_assert(std::is_trivially_destructible_v<BufferCache>);
    static inline thread_local BufferCache bufferCache_;

    SimBuffer* LookUpBuffer(MilId bufId) {
        const BufferCache& cache = bufferCache_;
        if (cache.buffer != nullptr && cache.id == bufId &&
            cache.generation == bufferGeneration_.load(std::memory_order_acquire)) {
            return cache.buffer;
        }
        return LookUpBufferLocked(bufId);
    }
    SimBuffer* LookUpBufferLocked(MilId bufId);
    // Sets the calling thread's error for a read BufGet2d refused.
    void RefuseGet(MilId bufId, const SimBuffer* buffer, MilInt x, MilInt y, MilInt sizeX,
                   MilInt sizeY, const void* dest);

    // Changes whenever a buffer is allocated or freed, so a thread's cached
    // lookup knows when it is stale.
    std::atomic<std::uint64_t> bufferGeneration_{1};
    platform::CheckedMutex mutex_;
    MilId appId_ KORVANE_GUARDED_BY(mutex_) = 0;
    MilId lastId_ KORVANE_GUARDED_BY(mutex_) = 0;
    SimConfig config_ KORVANE_GUARDED_BY(mutex_);
    std::map<MilId, System> systems_ KORVANE_GUARDED_BY(mutex_);
    std::map<MilId, std::shared_ptr<SimDigitizer>> digitizers_ KORVANE_GUARDED_BY(mutex_);
    std::map<MilId, std::shared_ptr<SimBuffer>> buffers_ KORVANE_GUARDED_BY(mutex_);
};

}  // namespace korvane::mil::sim
