#pragma once

#include <QTest>
#include <QWidget>
#include <QWindow>

// Mouse input through the window system, the way a real pointer arrives:
// delivered to the widget under the cursor, with enter and leave events, and
// with moves while no button is held. Positions are in the widget's own
// coordinates; the widget's window must be shown.
namespace pointer {

inline QWindow *windowOf(QWidget *widget)
{
    return widget->window()->windowHandle();
}

inline QPoint inWindow(QWidget *widget, QPoint position)
{
    return widget->mapTo(widget->window(), position);
}

inline void move(QWidget *widget, QPoint position)
{
    QTest::mouseMove(windowOf(widget), inWindow(widget, position));
}

inline void press(QWidget *widget, QPoint position, Qt::MouseButton button = Qt::LeftButton)
{
    QTest::mousePress(windowOf(widget), button, {}, inWindow(widget, position));
}

inline void release(QWidget *widget, QPoint position, Qt::MouseButton button = Qt::LeftButton)
{
    QTest::mouseRelease(windowOf(widget), button, {}, inWindow(widget, position));
}

// Hover, press, move to the target in one step, release there.
inline void drag(QWidget *widget, QPoint from, QPoint to)
{
    move(widget, from);
    press(widget, from);
    move(widget, to);
    release(widget, to);
}

} // namespace pointer
