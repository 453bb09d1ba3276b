#pragma once

namespace psucal {

// The program is ending: the window is closing (a wait saw StopFlag) or the wizard's CLOSE.
// It unwinds the procedures to where the event loop called in (BenchUi::guard) or to main, so
// that every destructor runs. Deliberately not a std::exception: a page reports those as a
// failed step and goes on.
class Cancelled {
public:
    explicit Cancelled(int status) : status_(status) {}
    int status() const { return status_; }

private:
    int status_;
};

} // namespace psucal
