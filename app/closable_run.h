#pragma once
// ClosableRun: a conversion dialog that the main window can end when it is
// asked to close while the dialog's worker runs. The dialog object lives on
// the window thread's stack for its whole modal loop, and its worker uses it
// until its last act; so the main window must not go (taking the dialog with
// it) before that. Instead it asks the dialog to stop and closes once the
// dialog has ended.
//
// Window thread only.

class ClosableRun {
public:
    // Stops the worker as the dialog's stop button does and makes the dialog
    // end by itself once the worker has finished (at once when it has
    // finished already), without waiting for the user.
    virtual void stopAndEnd() = 0;

protected:
    ~ClosableRun() = default;
};

// Names run in slot for the lifetime of the scope (the modal loop of run's
// dialog). A null slot keeps nothing.
class ActiveRunScope {
public:
    ActiveRunScope(ClosableRun** slot, ClosableRun& run) : slot_(slot)
    {
        if (slot_)
            *slot_ = &run;
    }
    ~ActiveRunScope()
    {
        if (slot_)
            *slot_ = nullptr;
    }
    ActiveRunScope(const ActiveRunScope&) = delete;
    ActiveRunScope& operator=(const ActiveRunScope&) = delete;

private:
    ClosableRun** slot_;
};
