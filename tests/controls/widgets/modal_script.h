#pragma once

// Scripts for modal windows, run as a person would once the window shows.

#include "platform/ui/forms.h"
#include "platform/ui/testing.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>

inline TCustomForm *OpenModal()
{
    for (int i = Screen->FormCount() - 1; i >= 0; --i)
        if (Screen->Forms(i)->IsModal())
            return Screen->Forms(i);
    return nullptr;
}

// A window the script ended may still be in its modal loop for a few turns
// of the event queue (a key's default button, the loop's own ending); one
// still open after that was left open by the script, and is cancelled.
// The check holds the window's life token: a window made later at the same
// address is not this one.
inline void ExpectClosed(TCustomForm *window, std::weak_ptr<int> alive, int turns = 0)
{
    QueueCall([window, alive, turns] {
        if (alive.expired() || OpenModal() != window)
            return;
        if (turns < 100)
            return ExpectClosed(window, alive, turns + 1);
        ADD_FAILURE() << "the script left the window open";
        window->SetModalResult(mrCancel);
    });
}

// Runs the script on the modal window of class Window once it shows and is
// active; a window the script leaves open fails the test and is cancelled.
template <typename Window> void WhenShown(std::function<void(Window *)> script, int waited = 0)
{
    QueueCall([script, waited] {
        auto *window = dynamic_cast<Window *>(OpenModal());
        if (!window || !window->Active()) {
            if (waited < 1000)
                return WhenShown<Window>(script, waited + 1);
            ADD_FAILURE() << "the window never showed";
            return;
        }
        std::weak_ptr<int> alive = window->AliveToken();
        script(window);
        ExpectClosed(window, alive);
    });
}
