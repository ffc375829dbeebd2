// Modal message boxes (the counterpart of MessageBoxA). Every box of the player goes
// through ShowMessageBox, so tests can replace what it does and observe each message.
#pragma once

#include <functional>
#include <string>

enum class TMessageIcon { None, Information, Warning, Error };

// Shows text under caption with an OK button and waits until the user closes it.
void ShowMessageBox(const std::string& text, const std::string& caption, TMessageIcon icon);

using MessageBoxHandler =
    std::function<void(const std::string& text, const std::string& caption, TMessageIcon icon)>;

// Replaces the box (an empty handler restores the real one); returns the previous handler.
MessageBoxHandler SetMessageBoxHandler(MessageBoxHandler handler);
