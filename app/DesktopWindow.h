// What the desktop is told about the player's one window. The window is a splash and an
// about box, never a task of its own: it must not get a taskbar or pager entry, whatever
// the window manager (or none at all) makes of its window type.
#pragma once

class QWidget;

// Marks the window to be skipped by taskbars and pagers. Call it before the window is
// mapped (from its show event); window managers drop the marks when a window is hidden.
// Does nothing on platforms other than X11 (offscreen, Wayland).
void KeepOutOfTaskbar(QWidget* window);
