#include "mil/MilApi.h"

#include <atomic>
#include <cstddef>
#include <cstdlib>
#include <list>
#include <mutex>
#include <type_traits>

#include "mil/UnavailableApi.h"
#include "mil/sim/SimulatorApi.h"
#include "platform/DynamicLibrary.h"
#include "platform/ThreadSafety.h"

namespace korvane::mil {
namespace {

// Each operation has the library's convention (LibraryCall matches no other)
// and pops the argument bytes the vendor library pops on i686. The shared
// object stand-in has the same integer widths, so the sums hold there too;
// 64-bit Windows widens the plain integer.
template <typename Function>
constexpr std::size_t kI686Bytes = abi::LibraryCall<Function>::i686Bytes;
#if !defined(_WIN64)
static_assert(kI686Bytes<decltype(MilApi::MappAlloc)> == 8);
static_assert(kI686Bytes<decltype(MilApi::MappControl)> == 8);
static_assert(kI686Bytes<decltype(MilApi::MappInquire)> == 8);
static_assert(kI686Bytes<decltype(MilApi::MappFree)> == 4);
static_assert(kI686Bytes<decltype(MilApi::MappGetError)> == 8);
static_assert(kI686Bytes<decltype(MilApi::MsysAlloc)> == 16);
static_assert(kI686Bytes<decltype(MilApi::MsysInquire)> == 12);
static_assert(kI686Bytes<decltype(MilApi::MsysControl)> == 12);
static_assert(kI686Bytes<decltype(MilApi::MsysFree)> == 4);
static_assert(kI686Bytes<decltype(MilApi::MdigAlloc)> == 20);
static_assert(kI686Bytes<decltype(MilApi::MdigInquire)> == 16);
static_assert(kI686Bytes<decltype(MilApi::MdigControl)> == 20);
static_assert(kI686Bytes<decltype(MilApi::MdigLut)> == 8);
static_assert(kI686Bytes<decltype(MilApi::MdigFree)> == 4);
static_assert(kI686Bytes<decltype(MilApi::MdigProcess)> == 28);
static_assert(kI686Bytes<decltype(MilApi::MbufAlloc2d)> == 28);
static_assert(kI686Bytes<decltype(MilApi::MbufGet2d)> == 24);
static_assert(kI686Bytes<decltype(MilApi::MbufFree)> == 4);
#endif
// The widths themselves: identifiers 32 bits everywhere, the plain integer
// 32 bits except on 64-bit Windows, digitizer types 64 bits.
static_assert(sizeof(abi::Id) == 4);
#if defined(_WIN64)
static_assert(sizeof(abi::Int) == 8);
#else
static_assert(sizeof(abi::Int) == 4);
#endif
static_assert(sizeof(abi::Int64) == 8 && sizeof(abi::Double) == 8);
#if defined(_WIN32) && !defined(_WIN64)
// On i686 a caller-pops function is another type: it is not matched.
static_assert(!std::is_same_v<decltype(MilApi::MappFree), void (*)(abi::Id)>);
#endif

#if defined(_WIN32)
constexpr const char* kDefaultBackend = "MIL.dll";
#else
constexpr const char* kDefaultBackend = "sim";
#endif

// A library bound by ordinal. Bindings stay loaded for the life of the
// process: a grab thread may still be inside the library when another
// backend is chosen.
struct Binding {
    platform::DynamicLibrary library;
    MilApi table{};
};

platform::CheckedMutex bindingsMutex;
std::list<Binding> bindings KORVANE_GUARDED_BY(bindingsMutex);

std::atomic<const MilApi*> current{nullptr};  // null: the simulator

// Shared objects carry no ordinals, so there each operation is exported
// under the name MilOrdinal<n>.
void* Resolve(const platform::DynamicLibrary& library, int ordinal, std::string& name,
              std::string& error) {
#if defined(_WIN32)
    name = "ordinal " + std::to_string(ordinal);
    return library.Ordinal(ordinal, error);
#else
    name = "MilOrdinal" + std::to_string(ordinal);
    return library.Symbol(name, error);
#endif
}

template <typename Function>
bool Bind(const platform::DynamicLibrary& library, int ordinal, Function& slot,
          std::string& error) {
    std::string name;
    std::string reason;
    void* address = Resolve(library, ordinal, name, reason);
    if (address == nullptr) {
        error =
            "imaging library '" + library.Path() + "' has no export " + name + " (" + reason + ")";
        return false;
    }
    slot = reinterpret_cast<Function>(address);
    return true;
}

bool BindAll(const platform::DynamicLibrary& library, MilApi& t, std::string& error) {
    return Bind(library, 1648, t.MappAlloc, error) && Bind(library, 101, t.MappControl, error) &&
           Bind(library, 106, t.MappInquire, error) && Bind(library, 102, t.MappFree, error) &&
           Bind(library, 103, t.MappGetError, error) && Bind(library, 1641, t.MsysAlloc, error) &&
           Bind(library, 276, t.MsysInquire, error) && Bind(library, 274, t.MsysControl, error) &&
           Bind(library, 275, t.MsysFree, error) && Bind(library, 1647, t.MdigAlloc, error) &&
           Bind(library, 147, t.MdigInquire, error) && Bind(library, 141, t.MdigControl, error) &&
           Bind(library, 148, t.MdigLut, error) && Bind(library, 142, t.MdigFree, error) &&
           Bind(library, 1506, t.MdigProcess, error) && Bind(library, 109, t.MbufAlloc2d, error) &&
           Bind(library, 125, t.MbufGet2d, error) && Bind(library, 123, t.MbufFree, error);
}

const MilApi* BindLibrary(const std::string& path, std::string& error) {
    platform::LockGuard lock(bindingsMutex);
    for (const Binding& binding : bindings) {
        if (binding.library.Path() == path) {
            return &binding.table;
        }
    }
    Binding binding;
    std::string reason;
    if (!binding.library.Open(path, reason)) {
        error = "cannot load imaging library '" + path + "': " + reason;
        return nullptr;
    }
    if (!BindAll(binding.library, binding.table, error)) {
        return nullptr;
    }
    bindings.push_back(std::move(binding));
    return &bindings.back().table;
}

}  // namespace

const MilApi* SelectBackend(std::string& error) {
    const char* env = std::getenv("KORVANE_MIL");
    const std::string choice = env != nullptr && *env != '\0' ? env : kDefaultBackend;
    const MilApi* table = nullptr;
    if (choice == "sim") {
        table = &sim::SimulatorApi();
    } else {
        table = BindLibrary(choice, error);
    }
    if (table == nullptr) {
        current.store(&UnavailableApi(error), std::memory_order_release);
        return nullptr;
    }
    current.store(table, std::memory_order_release);
    return table;
}

const MilApi& Api() {
    const MilApi* table = current.load(std::memory_order_acquire);
    return table != nullptr ? *table : sim::SimulatorApi();
}

}  // namespace korvane::mil
