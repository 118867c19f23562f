#pragma once

#include <QString>

// What every long operation reports to: a progress sheet in the window, a
// bar on the terminal, or nothing. Driven from worker threads, so every
// implementation must be callable from any thread.
class ProgressIndicator {
public:
    virtual ~ProgressIndicator() = default;
    // An indeterminate bar with a caption (kept when the text is empty).
    virtual void NotifyBeginInd(const QString& text, bool cancelable) = 0;
    // A determinate bar from min to max at 0 (caption kept when text is null).
    virtual void NotifyBeginDet(const QString& text, int min, int max, bool cancelable) = 0;
    // Advances the bar by an increment.
    virtual void NotifyBump(int amount) = 0;
    // One animation step of an indeterminate bar.
    virtual void NotifyAnimate() = 0;
    // Whether the user asked to cancel.
    virtual bool cancelled() = 0;
};
