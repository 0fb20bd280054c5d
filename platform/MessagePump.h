#pragma once

namespace platform {

// Lets queued events (received bytes, timers, paints) run inside a long operation, so the
// window stays live while the caller waits.
void ProcessMessages();

} // namespace platform
