// SPDX-License-Identifier: Apache-2.0
#pragma once

// How a window looks and behaves on the desktop. On X11 the style becomes window-manager hints:
// the rectangle the window's position and size hints, border, title bar and close button the
// Motif decoration hints, task bar and stacking the EWMH window state.

#include <Kr/GeRectangle.h>
#include <Kr/KrExport.h>
#include <Kr/Lk.h>
#include <Kr/RC.h>

namespace Kr {

class KR_EXPORT WsWindowStyle : public RCBase<LkCounter<int>> {
public:
    enum BorderStyle { BorderNone = 0, BorderFixed = 1, BorderResizable = 2 };
    enum TitleBarStyle { TitleBarNone = 0, TitleBarNormal = 1 };
    enum TaskBarStyle { TaskBarHidden = 0, TaskBarShown = 1 };
    enum StackingStyle { StackingBelow = 0, StackingNormal = 1, StackingAbove = 2 };
    enum CloseButtonStyle { CloseButtonNone = 0, CloseButtonShown = 1 };

    // An empty rectangle leaves position and size to the window manager (the window is then
    // one pixel square until it is resized).
    WsWindowStyle(const GeRectangle<int>& rect, int screen, BorderStyle border, TitleBarStyle titleBar,
                  TaskBarStyle taskBar, StackingStyle stacking, CloseButtonStyle closeButton)
        : _rect(rect), _screen(screen), _border(border), _titleBar(titleBar), _taskBar(taskBar), _stacking(stacking),
          _closeButton(closeButton) {}

    const GeRectangle<int>& getRect() const { return _rect; }
    // The X screen the window opens on.
    int getScreen() const { return _screen; }
    BorderStyle getBorderStyle() const { return _border; }
    TitleBarStyle getTitleBarStyle() const { return _titleBar; }
    TaskBarStyle getTaskBarStyle() const { return _taskBar; }
    StackingStyle getStackingStyle() const { return _stacking; }
    CloseButtonStyle getCloseButtonStyle() const { return _closeButton; }

private:
    GeRectangle<int> _rect;
    int _screen;
    BorderStyle _border;
    TitleBarStyle _titleBar;
    TaskBarStyle _taskBar;
    StackingStyle _stacking;
    CloseButtonStyle _closeButton;
};

class KR_EXPORT WsWindowStyleUtils {
public:
    // The style of an ordinary top-level window.
    static RCShdPtr<WsWindowStyle>
    getNormalWindowStyle(const GeRectangle<int>& rect, int screen, WsWindowStyle::BorderStyle border,
                         WsWindowStyle::TitleBarStyle titleBar, WsWindowStyle::TaskBarStyle taskBar,
                         WsWindowStyle::StackingStyle stacking, WsWindowStyle::CloseButtonStyle closeButton);
};

} // namespace Kr
