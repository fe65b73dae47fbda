#pragma once

#include <functional>

// The one place where a handler lets the event loop run other handlers
// (the polling tick and the receive handling do). Nested yields are bounded,
// so that a stream of events arriving at every yield cannot recurse without
// end. Tests may replace what a yield does, to run a handler at that point.
class EventYield {
public:
    static constexpr int MaxDepth = 4;

    EventYield();

    void operator()();
    void replace(std::function<void()> body) { body_ = std::move(body); }
    int depth() const { return depth_; }

private:
    std::function<void()> body_;
    int depth_ = 0;
};
