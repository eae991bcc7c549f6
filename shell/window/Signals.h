#pragma once
// Signals as flags that the event loop polls. A handler may only touch
// lock-free atomics: no SDL call, no allocation. The loop waits for events
// with a short time-out, so a flag is seen within that time.
//
// SIGTERM (how xscreensaver ends a hack), SIGINT and SIGHUP ask the program to
// end; SIGUSR1 asks for a screenshot of the next frame (tests). While a
// message box is open (the loop cannot poll then) they end the process at
// once, with status 0, and take the box with them.
void InstallSignalHandlers();
bool TerminationRequested();
// The first of SIGTERM, SIGINT and SIGHUP received; 0 before any.
int TerminationSignal();
// Ends the process by this signal, as if no handler had been installed for
// it: xscreensaver takes a hack that ends with a status of its own after its
// SIGTERM for one that crashed ("exited abnormally with status 0"); only the
// death by that signal is the answer it expects. Call once everything is
// cleaned up.
[[noreturn]] void EndBySignal(int signal);
// True once per SIGUSR1 received (several before a check count as one).
bool TakeScreenshotRequest();
