#include "mil/sim/Simulator.h"

#include <cstdio>
#include <new>
#include <type_traits>
#include <vector>

#include "mil/MilError.h"
#include "mil/sim/IniReader.h"
#include "mil/sim/SimDcf.h"

namespace korvane::mil::sim {
namespace {

constexpr MilInt kMaxBufferSide = 65535;
constexpr MilInt kMaxBufferPixels = MilInt{1} << 28;
constexpr MilInt kMaxSequence = 4096;
constexpr int kSerialSize = kErrorTextSize;

void Report(const SimFailure& failure) {
    SetThreadError(failure.code, "%s", failure.text.c_str());
}

// M_DEFAULT as a device number means device 0.
MilInt DeviceOf(MilInt devNum) {
    return devNum == M_DEFAULT ? 0 : devNum;
}

void WriteId(MilId* out, MilId id) {
    if (out != nullptr) {
        *out = id;
    }
}

// Integer answers go out at the library's integer width.
void WriteInt(void* out, MilInt value) {
    if (out != nullptr) {
        *static_cast<abi::Int*>(out) = static_cast<abi::Int>(value);
    }
}

void WriteText(void* out, std::size_t size, const std::string& text) {
    if (out != nullptr) {
        std::snprintf(static_cast<char*>(out), size, "%s", text.c_str());
    }
}

}  // namespace

MilId Simulator::NextId() {
    // Identifiers are never reused, so a stale one is always recognised.
    return ++lastId_;
}

bool Simulator::HasApp(const char* operation) {
    if (appId_ == 0) {
        SetThreadError(kErrorNotAllocated, "%s: no application allocated", operation);
        return false;
    }
    return true;
}

Simulator::System* Simulator::FindSystem(MilId sysId, const char* operation) {
    const auto found = systems_.find(sysId);
    if (found == systems_.end()) {
        SetThreadError(kErrorInvalidId, "%s: invalid system identifier %d", operation, sysId);
        return nullptr;
    }
    return &found->second;
}

std::shared_ptr<SimDigitizer> Simulator::Digitizer(MilId digId, const char* operation) {
    platform::LockGuard lock(mutex_);
    const auto found = digitizers_.find(digId);
    if (found == digitizers_.end()) {
        SetThreadError(kErrorInvalidId, "%s: invalid digitizer identifier %d", operation, digId);
        return nullptr;
    }
    return found->second;
}

// --- application ---

MilId Simulator::AppAlloc(MilId* appId) {
    WriteId(appId, 0);
    // Read outside the lock: loading logs, and the log may call out.
    SimConfig config = LoadConfig();
    platform::LockGuard lock(mutex_);
    if (appId_ != 0) {
        SetThreadError(kErrorDevice, "MappAlloc: an application is already allocated");
        return 0;
    }
    if (config.failAppAlloc) {
        SetThreadError(kErrorDevice, "MappAlloc: application allocation failed (simulated fault)");
        return 0;
    }
    config_ = std::move(config);
    appId_ = NextId();
    WriteId(appId, appId_);
    return appId_;
}

void Simulator::AppControl(MilInt type, MilInt /*value*/) {
    platform::LockGuard lock(mutex_);
    if (!HasApp("MappControl")) {
        return;
    }
    if (type != M_ERROR) {
        SetThreadError(kErrorInvalidArgument, "MappControl: control type %lld not supported",
                       static_cast<long long>(type));
    }
}

MilInt Simulator::AppInquire(MilInt type, void* out) {
    platform::LockGuard lock(mutex_);
    if (!HasApp("MappInquire")) {
        return 0;
    }
    const auto count = static_cast<MilInt>(config_.systems.size());
    if (type == M_INSTALLED_SYSTEM_COUNT) {
        WriteInt(out, count);
        return count;
    }
    if (type >= M_INSTALLED_SYSTEM_DESCRIPTOR && type < M_INSTALLED_SYSTEM_DESCRIPTOR + count) {
        const std::string& descriptor =
            config_.systems[static_cast<std::size_t>(type - M_INSTALLED_SYSTEM_DESCRIPTOR)]
                .descriptor;
        WriteText(out, kDescriptorSize, descriptor);
        return static_cast<MilInt>(descriptor.size());
    }
    SetThreadError(kErrorInvalidArgument, "MappInquire: inquire type %lld not supported",
                   static_cast<long long>(type));
    return 0;
}

void Simulator::FreeAll() {
    // A grab running on another thread keeps its digitizer and buffers alive
    // until it returns; the stop makes that soon.
    for (auto& [id, digitizer] : digitizers_) {
        digitizer->Stop();
    }
    digitizers_.clear();
    bufferGeneration_.fetch_add(1, std::memory_order_acq_rel);
    buffers_.clear();
    systems_.clear();
    // The next application reads the configuration again; nothing stays
    // behind in the never-destroyed simulator once the library is unloaded.
    config_ = SimConfig{};
    appId_ = 0;
}

bool Simulator::Idle() {
    platform::LockGuard lock(mutex_);
    return appId_ == 0 && digitizers_.empty();
}

void Simulator::AppFree(MilId appId) {
    platform::LockGuard lock(mutex_);
    if (appId == 0 || appId != appId_) {
        SetThreadError(kErrorInvalidId, "MappFree: invalid application identifier %d", appId);
        return;
    }
    FreeAll();
}

// --- systems ---

MilId Simulator::SysAlloc(const char* descriptor, MilInt devNum, MilId* sysId) {
    WriteId(sysId, 0);
    platform::LockGuard lock(mutex_);
    if (!HasApp("MsysAlloc")) {
        return 0;
    }
    if (descriptor == nullptr) {
        SetThreadError(kErrorInvalidArgument, "MsysAlloc: no system descriptor");
        return 0;
    }
    const MilInt device = DeviceOf(devNum);
    // Device n of a descriptor is the n-th installed board that carries it.
    int index = -1;
    MilInt seen = 0;
    for (std::size_t i = 0; i < config_.systems.size(); ++i) {
        if (EqualsIgnoreCase(config_.systems[i].descriptor, descriptor) && seen++ == device) {
            index = static_cast<int>(i);
            break;
        }
    }
    if (index < 0) {
        SetThreadError(kErrorDevice, "MsysAlloc: no %s system with device number %lld installed",
                       descriptor, static_cast<long long>(devNum));
        return 0;
    }
    for (const auto& [id, system] : systems_) {
        if (system.index == index) {
            SetThreadError(kErrorDevice, "MsysAlloc: %s device %lld is already allocated",
                           descriptor, static_cast<long long>(device));
            return 0;
        }
    }
    const SystemConfig& config = config_.systems[static_cast<std::size_t>(index)];
    if (config.failAlloc) {
        SetThreadError(kErrorDevice, "MsysAlloc: %s allocation failed (simulated fault)",
                       descriptor);
        return 0;
    }
    const MilId id = NextId();
    systems_[id] = System{index, device, config, {}};
    WriteId(sysId, id);
    return id;
}

MilInt Simulator::SysInquire(MilId sysId, MilInt type, void* out) {
    platform::LockGuard lock(mutex_);
    System* system = FindSystem(sysId, "MsysInquire");
    if (system == nullptr) {
        return 0;
    }
    MilInt value = 0;
    if (type == M_SERIAL_NUMBER) {
        WriteText(out, kSerialSize, system->config.serial);
        return static_cast<MilInt>(system->config.serial.size());
    } else if (type == M_ASYNCHRONOUS_CALL_SUPPORT) {
        value = system->config.asyncSupport ? 1 : 0;
    } else if (type == M_NUMBER) {
        value = system->deviceNumber;
    } else if (type == M_DIGITIZER_NUM) {
        value = static_cast<MilInt>(system->config.digitizers.size());
    } else if (type >= M_USER_BIT_IN && type <= M_USER_BIT_IN + 3) {
        // Input bit k is wired to output bit k + 4, so a test can loop back.
        const auto output = system->controls.find(M_USER_BIT_OUT + (type - M_USER_BIT_IN) + 4);
        value = output != system->controls.end() && output->second != 0 ? 1 : 0;
    } else if (const auto found = system->controls.find(type); found != system->controls.end()) {
        value = found->second;
    } else {
        SetThreadError(kErrorInvalidArgument, "MsysInquire: inquire type %lld not supported",
                       static_cast<long long>(type));
        return 0;
    }
    WriteInt(out, value);
    return value;
}

void Simulator::SysControl(MilId sysId, MilInt type, std::int32_t value) {
    platform::LockGuard lock(mutex_);
    System* system = FindSystem(sysId, "MsysControl");
    if (system == nullptr) {
        return;
    }
    if (type >= M_USER_BIT_OUT && type <= M_USER_BIT_OUT + 3) {
        SetThreadError(kErrorInvalidArgument, "MsysControl: user bit %lld is an input",
                       static_cast<long long>(type - M_USER_BIT_OUT));
        return;
    }
    if (type >= M_USER_BIT_OUT + 4 && type <= M_USER_BIT_OUT + 7) {
        system->controls[type] = value != 0 ? 1 : 0;
        return;
    }
    system->controls[type] = value;
}

void Simulator::SysFree(MilId sysId) {
    platform::LockGuard lock(mutex_);
    if (FindSystem(sysId, "MsysFree") == nullptr) {
        return;
    }
    // The board takes its digitizers and buffers with it.
    for (auto it = digitizers_.begin(); it != digitizers_.end();) {
        if (it->second->SystemId() == sysId) {
            it->second->Stop();
            it = digitizers_.erase(it);
        } else {
            ++it;
        }
    }
    bufferGeneration_.fetch_add(1, std::memory_order_acq_rel);
    std::erase_if(buffers_,
                  [sysId](const auto& entry) { return entry.second->SystemId() == sysId; });
    systems_.erase(sysId);
}

// --- digitizers ---

MilId Simulator::DigAlloc(MilId sysId, MilInt devNum, const char* dcf, MilId* digId) {
    WriteId(digId, 0);
    const bool useDefault = dcf == nullptr || EqualsIgnoreCase(dcf, "M_DEFAULT");
    // The file is read before the lock is taken; it only matters once the
    // board and device are known to be right.
    SensorFormat fromFile;
    std::string dcfError;
    bool dcfRead = false;
    if (!useDefault) {
        fromFile.width = 0;
        fromFile.height = 0;
        fromFile.bits = 0;
        dcfRead = LoadDcf(dcf, fromFile, dcfError);
    }

    platform::LockGuard lock(mutex_);
    System* system = FindSystem(sysId, "MdigAlloc");
    if (system == nullptr) {
        return 0;
    }
    const MilInt device = DeviceOf(devNum);
    const auto count = static_cast<MilInt>(system->config.digitizers.size());
    if (device < 0 || device >= count) {
        SetThreadError(kErrorDevice, "MdigAlloc: no digitizer device %lld (the board has %lld)",
                       static_cast<long long>(devNum), static_cast<long long>(count));
        return 0;
    }
    for (const auto& [id, digitizer] : digitizers_) {
        if (digitizer->SystemId() == sysId && digitizer->DeviceNumber() == device) {
            SetThreadError(kErrorDevice, "MdigAlloc: digitizer device %lld is already allocated",
                           static_cast<long long>(device));
            return 0;
        }
    }
    const DigitizerConfig& config = system->config.digitizers[static_cast<std::size_t>(device)];
    if (config.failAlloc) {
        SetThreadError(kErrorDevice, "MdigAlloc: device %lld allocation failed (simulated fault)",
                       static_cast<long long>(device));
        return 0;
    }
    SensorFormat sensor{config.width, config.height, config.bits};
    if (!useDefault) {
        if (!dcfRead) {
            SetThreadError(kErrorDevice, "MdigAlloc: %s", dcfError.c_str());
            return 0;
        }
        // Keys the file left out keep the configured values.
        sensor.width = fromFile.width != 0 ? fromFile.width : sensor.width;
        sensor.height = fromFile.height != 0 ? fromFile.height : sensor.height;
        sensor.bits = fromFile.bits != 0 ? fromFile.bits : sensor.bits;
    }
    const MilId id = NextId();
    digitizers_[id] =
        std::make_shared<SimDigitizer>(sysId, static_cast<int>(device), config, sensor);
    WriteId(digId, id);
    return id;
}

MilInt Simulator::DigInquire(MilId digId, MilInt type, void* out) {
    const auto digitizer = Digitizer(digId, "MdigInquire");
    if (!digitizer) {
        return 0;
    }
    MilInt answer = 0;
    SimFailure failure;
    if (!digitizer->Inquire(type, out, answer, failure)) {
        Report(failure);
        return 0;
    }
    return answer;
}

void Simulator::DigControl(MilId digId, MilInt type, double value) {
    const auto digitizer = Digitizer(digId, "MdigControl");
    SimFailure failure;
    if (digitizer && !digitizer->Control(type, value, failure)) {
        Report(failure);
    }
}

void Simulator::DigLut(MilId digId, MilInt lut) {
    const auto digitizer = Digitizer(digId, "MdigLut");
    if (!digitizer) {
        return;
    }
    if (lut != M_DEFAULT) {
        SetThreadError(kErrorInvalidArgument, "MdigLut: only M_DEFAULT is simulated, not %lld",
                       static_cast<long long>(lut));
        return;
    }
    digitizer->ResetLut();
}

void Simulator::DigFree(MilId digId) {
    platform::LockGuard lock(mutex_);
    const auto found = digitizers_.find(digId);
    if (found == digitizers_.end()) {
        SetThreadError(kErrorInvalidId, "MdigFree: invalid digitizer identifier %d", digId);
        return;
    }
    found->second->Stop();
    digitizers_.erase(found);
}

void Simulator::DigProcess(MilId digId, const MilId* buffers, MilInt count, MilInt operation,
                           MilInt operationFlag, void* hook) {
    if (operation == M_STOP) {
        if (const auto digitizer = Digitizer(digId, "MdigProcess")) {
            digitizer->Stop();
        }
        return;
    }
    if (operation != M_SEQUENCE || operationFlag != M_SYNCHRONOUS || hook != nullptr) {
        SetThreadError(kErrorInvalidArgument,
                       "MdigProcess: only a synchronous sequence without hook is simulated");
        return;
    }
    if (buffers == nullptr || count <= 0 || count > kMaxSequence) {
        SetThreadError(kErrorInvalidArgument, "MdigProcess: %lld buffers given",
                       static_cast<long long>(buffers == nullptr ? 0 : count));
        return;
    }
    std::shared_ptr<SimDigitizer> digitizer;
    std::vector<std::shared_ptr<SimBuffer>> targets;
    {
        platform::LockGuard lock(mutex_);
        const auto found = digitizers_.find(digId);
        if (found == digitizers_.end()) {
            SetThreadError(kErrorInvalidId, "MdigProcess: invalid digitizer identifier %d", digId);
            return;
        }
        digitizer = found->second;
        for (MilInt i = 0; i < count; ++i) {
            const auto buffer = buffers_.find(buffers[i]);
            if (buffer == buffers_.end() || buffer->second->SystemId() != digitizer->SystemId()) {
                SetThreadError(kErrorInvalidId,
                               "MdigProcess: buffer %d is not a buffer of the digitizer's board",
                               buffers[i]);
                return;
            }
            targets.push_back(buffer->second);
        }
    }
    SimFailure failure;
    if (!digitizer->Grab(targets, failure)) {
        Report(failure);
    }
}

// --- buffers ---

MilId Simulator::BufAlloc2d(MilId sysId, MilInt sizeX, MilInt sizeY, MilInt bits, MilInt attribute,
                            MilId* bufId) {
    WriteId(bufId, 0);
    platform::LockGuard lock(mutex_);
    System* system = FindSystem(sysId, "MbufAlloc2d");
    if (system == nullptr) {
        return 0;
    }
    if (system->config.failBufferAlloc) {
        SetThreadError(kErrorResources, "MbufAlloc2d: buffer allocation failed (simulated fault)");
        return 0;
    }
    if (sizeX <= 0 || sizeY <= 0 || sizeX > kMaxBufferSide || sizeY > kMaxBufferSide ||
        sizeX * sizeY > kMaxBufferPixels || (bits != 8 && bits != 16)) {
        SetThreadError(kErrorInvalidArgument, "MbufAlloc2d: cannot allocate %lldx%lld of %lld bits",
                       static_cast<long long>(sizeX), static_cast<long long>(sizeY),
                       static_cast<long long>(bits));
        return 0;
    }
    if (attribute != M_IMAGE_GRAB) {
        SetThreadError(kErrorInvalidArgument, "MbufAlloc2d: attribute %lld not supported",
                       static_cast<long long>(attribute));
        return 0;
    }
    std::shared_ptr<SimBuffer> buffer;
    try {
        buffer = std::make_shared<SimBuffer>(sysId, static_cast<int>(sizeX),
                                             static_cast<int>(sizeY), static_cast<int>(bits));
    } catch (const std::bad_alloc&) {
        SetThreadError(kErrorResources, "MbufAlloc2d: out of memory for %lldx%lld",
                       static_cast<long long>(sizeX), static_cast<long long>(sizeY));
        return 0;
    }
    const MilId id = NextId();
    bufferGeneration_.fetch_add(1, std::memory_order_acq_rel);
    buffers_[id] = std::move(buffer);
    WriteId(bufId, id);
    return id;
}

SimBuffer* Simulator::LookUpBufferLocked(MilId bufId) {
    BufferCache& cache = bufferCache_;
    platform::LockGuard lock(mutex_);
    const auto found = buffers_.find(bufId);
    cache.id = bufId;
    cache.generation = bufferGeneration_.load(std::memory_order_acquire);
    cache.buffer = found == buffers_.end() ? nullptr : found->second.get();
    return cache.buffer;
}

void Simulator::RefuseGet(MilId bufId, const SimBuffer* buffer, MilInt x, MilInt y, MilInt sizeX,
                          MilInt sizeY, const void* dest) {
    if (buffer == nullptr) {
        SetThreadError(kErrorInvalidId, "MbufGet2d: invalid buffer identifier %d", bufId);
        return;
    }
    SetThreadError(kErrorInvalidArgument, "MbufGet2d: %s",
                   buffer->Refusal(x, y, sizeX, sizeY, dest).c_str());
}

void Simulator::BufFree(MilId bufId) {
    platform::LockGuard lock(mutex_);
    bufferGeneration_.fetch_add(1, std::memory_order_acq_rel);
    if (buffers_.erase(bufId) == 0) {
        SetThreadError(kErrorInvalidId, "MbufFree: invalid buffer identifier %d", bufId);
    }
}

// --- for tests ---

std::shared_ptr<SimDigitizer> Simulator::FindDigitizer(MilId digId) {
    platform::LockGuard lock(mutex_);
    const auto found = digitizers_.find(digId);
    return found == digitizers_.end() ? nullptr : found->second;
}

MilId Simulator::DigitizerId(int systemIndex, int deviceNumber) {
    platform::LockGuard lock(mutex_);
    for (const auto& [id, digitizer] : digitizers_) {
        const auto system = systems_.find(digitizer->SystemId());
        if (system != systems_.end() && system->second.index == systemIndex &&
            digitizer->DeviceNumber() == deviceNumber) {
            return id;
        }
    }
    return 0;
}

bool Simulator::LastSystemControl(MilId sysId, MilInt type, MilInt& value) {
    platform::LockGuard lock(mutex_);
    const auto system = systems_.find(sysId);
    if (system == systems_.end()) {
        return false;
    }
    const auto found = system->second.controls.find(type);
    if (found == system->second.controls.end()) {
        return false;
    }
    value = found->second;
    return true;
}

std::size_t Simulator::LiveObjectCount() {
    platform::LockGuard lock(mutex_);
    return (appId_ != 0 ? 1 : 0) + systems_.size() + digitizers_.size() + buffers_.size();
}

void Simulator::Reset() {
    platform::LockGuard lock(mutex_);
    FreeAll();
}

}  // namespace korvane::mil::sim
