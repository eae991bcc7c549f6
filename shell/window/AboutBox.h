#pragma once
// The About box of a running view, shown by a process of its own: this
// program started again in configure mode ("/c"), which shows the box and
// ends when it is closed. SDL's boxes are modal: the thread that shows one
// waits until OK is pressed, and the view's frames would stop meanwhile. A
// box in another process leaves the view drawing, and nothing of SDL or Xlib
// is shared between threads.
//
// The box goes when the view goes: the destructor ends it, and the process is
// tied to ours (it gets SIGKILL when we end without that, as SIGKILL would
// make us). UI thread only.
#include <sys/types.h>

class AboutBoxProcess {
public:
    AboutBoxProcess() = default;
    ~AboutBoxProcess() { Close(); }
    AboutBoxProcess(const AboutBoxProcess&) = delete;
    AboutBoxProcess& operator=(const AboutBoxProcess&) = delete;

    // Starts the box unless one is open. False when no process could be started.
    bool Open();
    // Whether the box is still on the screen (reaps it once it has closed).
    bool IsOpen();
    // Ends an open box and waits for its process.
    void Close();

private:
    pid_t child = -1;
};
