// Runs a clean-up when a scope ends, however it ends; reset() on a
// std::optional<OnExit> runs it earlier.
#pragma once

#include <utility>

template<typename Action>
class OnExit
{
public:
    explicit OnExit(Action action) : m_action(std::move(action)) { }
    OnExit(const OnExit&) = delete;
    OnExit& operator=(const OnExit&) = delete;
    ~OnExit() { m_action(); }

private:
    Action m_action;
};
