#pragma once

#include <windows.h>

#include <functional>
#include <string>

namespace velkaro::app {

// Runs `work` on a thread of its own while this, the window's thread, goes on
// answering the system (painting, moving, the taskbar), so that a long press
// never shows the window as not responding. Whatever the user types or clicks
// meanwhile, and a quit posted meanwhile, is dropped: it came before the
// outcome was shown, and is no answer to it. Returns what `work` returned, or
// throws what it threw. Where no thread can be started, `work` runs on this one.
std::string RunWhileWindowWaits(const std::function<std::string()>& work);

// Called from a message that the window answers while it waits (the session
// ending): waits up to `milliseconds` for the work to end. True when it ended,
// or none runs.
bool WaitForTheWork(DWORD milliseconds);

}  // namespace velkaro::app
