// PluginConfig: the plug-in configuration dialog, where the user loads and unloads input
// plug-ins and sets "Plugin First". The engine owns one and tells it its message window.
#pragma once

#include "MessageWindow.h"

class TPluginConfigForm {
public:
    TPluginConfigForm() = default;
    // The engine's message window, to which "Plugin First" clicks are posted.
    void SetPluginConfigTarget(HWND Window) { target_ = Window; }
    HWND PluginConfigTarget() const { return target_; }

private:
    HWND target_ = 0;
};
