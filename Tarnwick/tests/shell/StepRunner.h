// Drives a modal dialog from inside its own message loop: a thread timer runs the steps one per
// tick while the window is up, so that what a step posts (keys, clicks) is handled before the next.
// The last step should end the dialog; one that is still up two seconds later is ended with
// kAbandoned, so that a test fails instead of waiting for ever.
#pragma once

#include <windows.h>

#include <functional>
#include <utility>
#include <vector>

class StepRunner {
public:
    using Step = std::function<void(HWND)>;
    static const INT_PTR kAbandoned = -2;

    // window names the dialog (NULL while there is none); steps run once it is visible.
    StepRunner(std::function<HWND()> window, std::vector<Step> steps)
        : window_(std::move(window)), steps_(std::move(steps))
    {
        current_ = this;
        timer_ = SetTimer(NULL, 0, 20, &StepRunner::Tick);
    }
    StepRunner(const StepRunner&) = delete;
    StepRunner& operator=(const StepRunner&) = delete;
    ~StepRunner()
    {
        KillTimer(NULL, timer_);
        current_ = nullptr;
    }

    bool Finished() const { return next_ == steps_.size(); }
    bool Abandoned() const { return abandoned_; }

private:
    static void CALLBACK Tick(HWND, UINT, UINT_PTR, DWORD)
    {
        StepRunner* self = current_;
        if (self == nullptr)
            return;
        HWND window = self->window_();
        if (window == NULL || !IsWindowVisible(window))
            return;
        if (!self->Finished()) {
            self->steps_[self->next_++](window);
        } else if (++self->ticksAfterLastStep_ == 100) {
            self->abandoned_ = true;
            EndDialog(window, kAbandoned);
        }
    }

    std::function<HWND()> window_;
    std::vector<Step> steps_;
    size_t next_ = 0;
    int ticksAfterLastStep_ = 0;
    bool abandoned_ = false;
    UINT_PTR timer_ = 0;
    static inline StepRunner* current_ = nullptr;
};
