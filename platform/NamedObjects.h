#pragma once
// The per-user namespace of named objects (file mappings, mutexes, events
// and message pipes). Names are public: a client in another language finds
// an object under the path ObjectPath gives. Every named-object operation of
// the platform checks the name and the namespace's root first and touches no
// file when either is refused.
#include <string>

namespace korvane::platform {

enum class ObjectKind { Mapping, Mutex, Event, Pipe };

// Longest accepted name, in bytes.
inline constexpr std::size_t kMaxObjectName = 200;

// Checks that a name is one plain path component: not empty, no '/' or NUL,
// not "." or "..", at most kMaxObjectName bytes, and for a pipe a socket path
// that fits a Unix socket address. On refusal answers false, sets the last
// error to 123 (or 206 for a name too long) and reports the reason.
bool CheckObjectName(const std::string& name, ObjectKind kind);

// The namespace root: "$XDG_RUNTIME_DIR/korvane" when XDG_RUNTIME_DIR is an
// absolute path, else "/tmp/korvane-<uid>". Read from the environment at
// every call.
std::string RuntimeDirectory();

// Where an object of that kind and name lives: R/obj/map/N, R/obj/mutex/N,
// R/obj/event/N or R/pipe/N.
std::string ObjectPath(ObjectKind kind, const std::string& name);

// Receives the platform's level-1 complaints (a refused name, an unsafe
// runtime directory): one line of text without a line break. The sharing
// layer routes them into the driver log; unset, they are dropped.
using ReportProc = void (*)(const char* text);
void SetReportProc(ReportProc proc);

}  // namespace korvane::platform
