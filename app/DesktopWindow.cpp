#include "DesktopWindow.h"

#include <QGuiApplication>
#include <QWidget>

#include <xcb/xcb.h>

#include <array>
#include <cstdlib>
#include <cstring>

namespace {

xcb_atom_t InternAtom(xcb_connection_t* c, const char* name)
{
    xcb_intern_atom_reply_t* reply =
        xcb_intern_atom_reply(c, xcb_intern_atom(c, 0, static_cast<uint16_t>(std::strlen(name)), name), nullptr);
    if (!reply)
        return XCB_ATOM_NONE;
    xcb_atom_t atom = reply->atom;
    std::free(reply);
    return atom;
}

}  // namespace

void KeepOutOfTaskbar(QWidget* window)
{
    if (!window || QGuiApplication::platformName() != QLatin1String("xcb"))
        return;
    auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    xcb_connection_t* c = x11 ? x11->connection() : nullptr;
    if (!c)
        return;
    auto id = static_cast<xcb_window_t>(window->winId());
    xcb_atom_t state = InternAtom(c, "_NET_WM_STATE");
    std::array<xcb_atom_t, 2> skip = {InternAtom(c, "_NET_WM_STATE_SKIP_TASKBAR"),
                                      InternAtom(c, "_NET_WM_STATE_SKIP_PAGER")};
    if (state == XCB_ATOM_NONE || skip[0] == XCB_ATOM_NONE || skip[1] == XCB_ATOM_NONE)
        return;
    // Replacing is safe on an unmapped window: the toolkit merges its own states (above
    // others, modal, ...) into this property when it maps the window.
    xcb_change_property(c, XCB_PROP_MODE_REPLACE, id, state, XCB_ATOM_ATOM, 32, static_cast<uint32_t>(skip.size()),
                        skip.data());
    xcb_flush(c);
}
