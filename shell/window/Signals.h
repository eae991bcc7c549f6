#pragma once
// Signals as flags that the event loop polls. A handler may only touch
// lock-free atomics: no SDL call, no allocation. The loop waits for events
// with a short time-out, so a flag is seen within that time.
//
// SIGTERM (how xscreensaver ends a hack), SIGINT and SIGHUP ask the program to
// end; SIGUSR1 asks for a screenshot of the next frame (tests).
void InstallSignalHandlers();
bool TerminationRequested();
// True once per SIGUSR1 received (several before a check count as one).
bool TakeScreenshotRequest();
