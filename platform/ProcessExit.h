#pragma once
// Whether the process is ending the way Windows ends one: every other thread
// has been stopped wherever it stood, and only then do a library's static
// destructors run. A lock such a thread held then stays taken and an event
// it was to set stays unset, so those destructors must take no lock and wait
// for no thread: they leave the memory and the handles to the system. On
// POSIX the other threads go on running through the exit handlers, so this
// is always false there and the usual teardown applies.

namespace korvane::platform {

bool ProcessIsEnding() noexcept;

}  // namespace korvane::platform
