#pragma once

#include <QIcon>
#include <QObject>

class QAction;
class QMainWindow;
class QMenu;
class QPushButton;
class QShortcut;
class QSystemTrayIcon;

// The pilot's switch for the forces, wherever the pilot looks: a button in
// the window's status bar that says "Forces on" or "Forces off", a keyboard
// shortcut in the window, and the same switch in the tray icon's menu (where
// the desktop has a tray), whose icon shows the state. It only asks: the
// output loop switches and then confirms with setOn().
class ForcesControls : public QObject
{
    Q_OBJECT

public:
    static constexpr const char *Shortcut = "Ctrl+F";

    ForcesControls(QMainWindow *window, const QIcon &icon);
    ~ForcesControls() override;

    bool isOn() const { return m_on; }
    QPushButton *button() const { return m_button; }
    QAction *trayAction() const { return m_trayAction; }
    QMenu *trayMenu() const { return m_menu; }
    QSystemTrayIcon *tray() const { return m_tray; }

signals:
    // The pilot asked for the forces on or off.
    void switchRequested(bool on);
    void showWindowRequested();
    void quitRequested();

public slots:
    // What the output loop now does.
    void setOn(bool on);

private:
    void show();

    bool m_on = true;
    QIcon m_icon;
    QIcon m_offIcon;
    QPushButton *m_button;
    QShortcut *m_shortcut;
    QMenu *m_menu;
    QAction *m_trayAction;
    QSystemTrayIcon *m_tray;
};
