#pragma once

#include <concepts>
#include <functional>
#include <string>
#include <utility>

class TObject;

// An event is a method pointer: a callable plus the name of the handler it is
// bound to, so that a form resource can say "OnClick = BSumarClick" and a
// writer can say it back. Calling an unassigned event does nothing.
template <typename... Args>
class TEvent {
public:
    TEvent() = default;
    template <typename F>
        requires std::invocable<F &, Args...> && (!std::same_as<std::remove_cvref_t<F>, TEvent>)
    TEvent(F &&handler, std::string handlerName = {})
        : handler_(std::forward<F>(handler)), name_(std::move(handlerName))
    {
    }

    explicit operator bool() const { return static_cast<bool>(handler_); }
    void operator()(Args... args) const
    {
        if (handler_)
            handler_(std::forward<Args>(args)...);
    }

    const std::string &HandlerName() const { return name_; }
    void Clear() { handler_ = nullptr, name_.clear(); }

private:
    std::function<void(Args...)> handler_;
    std::string name_;
};

using TNotifyEvent = TEvent<TObject *>;
