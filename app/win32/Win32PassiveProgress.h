// The progress window of a /passive run: the product's name as its caption, the current job description and a
// marquee bar, on a thread of its own while the actions run on the main thread. No buttons, no close box, no input.
#pragma once

#include <memory>

#include "app/SetupRun.h"

class Win32PassiveProgress : public IProgressDisplay {
public:
    Win32PassiveProgress();
    ~Win32PassiveProgress() override;

    // Starts the window's thread and returns once the window is up (or could not be made: that is logged and the
    // run goes on without it).
    void Show(CInstallController& controller) override;
    // Tells the window's thread to destroy the window and waits until the thread has ended.
    void Close() override;

private:
    class Window;
    std::unique_ptr<Window> window_;
};
