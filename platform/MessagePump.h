#pragma once

namespace platform {

// Lets queued events (received bytes, timers, paints) run inside a long operation, so the
// window stays live while the caller waits.
void ProcessMessages();

// For loops that wait for a condition the events change: runs what is queued and, when nothing
// is, sleeps until the next event arrives (received bytes, a timer's tick, input) instead of
// spinning. A quarter of a second of real time bounds each call, in case nothing comes at all.
void WaitForMessages();

// A pause of at most `milliseconds` of the clock in use that ends at the next event, running
// what is queued. Under a test's virtual clock the whole pause passes at once.
void PauseForMessages(unsigned milliseconds);

// Waits for the next event for at most `milliseconds` of real time and runs what is queued.
void WaitForMessagesUpTo(unsigned milliseconds);

} // namespace platform
