#pragma once

#include <functional>
#include <utility>

// The reader's completion notifier: one plain function, called by the reader
// thread as its last act.
class ThreadExecutionInfo {
public:
    explicit ThreadExecutionInfo(std::function<void()> function) : function_(std::move(function)) {}
    void Invoke() const {
        if (function_)
            function_();
    }

private:
    std::function<void()> function_;
};
