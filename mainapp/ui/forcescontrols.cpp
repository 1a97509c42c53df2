#include "forcescontrols.h"

#include <QAction>
#include <QMainWindow>
#include <QMenu>
#include <QPainter>
#include <QPushButton>
#include <QShortcut>
#include <QStatusBar>
#include <QSystemTrayIcon>

namespace {

// The application's icon crossed out in red: forces off.
QIcon crossedOut(const QIcon &icon)
{
    QPixmap pixmap = icon.isNull() ? QPixmap(64, 64) : icon.pixmap(64, 64);
    if (icon.isNull())
        pixmap.fill(Qt::gray);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(QColor(200, 30, 30), 8, Qt::SolidLine, Qt::RoundCap));
    painter.drawLine(8, 56, 56, 8);
    return QIcon(pixmap);
}

} // namespace

ForcesControls::ForcesControls(QMainWindow *window, const QIcon &icon)
    : QObject(window), m_icon(icon), m_offIcon(crossedOut(icon)), m_button(new QPushButton(window)),
      m_shortcut(new QShortcut(QKeySequence(QLatin1String(Shortcut)), window)), m_menu(new QMenu(window)),
      m_trayAction(new QAction(m_menu)), m_tray(new QSystemTrayIcon(this))
{
    m_button->setObjectName(QStringLiteral("forces_switch"));
    m_button->setCheckable(true);
    m_button->setToolTip(tr("Switch the forces on or off (%1)").arg(QLatin1String(Shortcut)));
    window->statusBar()->addPermanentWidget(m_button);
    connect(m_button, &QPushButton::clicked, this, [this](bool checked) {
        m_button->setChecked(m_on); // until the output loop confirms
        emit switchRequested(checked);
    });
    m_shortcut->setContext(Qt::WindowShortcut);
    connect(m_shortcut, &QShortcut::activated, this, [this] { emit switchRequested(!m_on); });

    m_trayAction->setObjectName(QStringLiteral("tray_forces_switch"));
    m_trayAction->setCheckable(true);
    connect(m_trayAction, &QAction::triggered, this, [this](bool checked) {
        m_trayAction->setChecked(m_on);
        emit switchRequested(checked);
    });
    m_menu->addAction(m_trayAction);
    m_menu->addSeparator();
    QAction *showWindow = m_menu->addAction(tr("Show window"));
    showWindow->setObjectName(QStringLiteral("tray_show_window"));
    connect(showWindow, &QAction::triggered, this, &ForcesControls::showWindowRequested);
    QAction *quit = m_menu->addAction(tr("Quit"));
    quit->setObjectName(QStringLiteral("tray_quit"));
    connect(quit, &QAction::triggered, this, &ForcesControls::quitRequested);
    m_tray->setContextMenu(m_menu);
    connect(m_tray, &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason reason) {
        if (reason == QSystemTrayIcon::Trigger)
            emit showWindowRequested();
    });
    show();
    if (QSystemTrayIcon::isSystemTrayAvailable())
        m_tray->show();
}

ForcesControls::~ForcesControls() = default;

void ForcesControls::setOn(bool on)
{
    m_on = on;
    show();
}

void ForcesControls::show()
{
    const QString state = m_on ? tr("Forces on") : tr("Forces off");
    m_button->setChecked(m_on);
    m_button->setText(state);
    // Off is what the pilot must not miss.
    m_button->setStyleSheet(m_on ? QString() : QStringLiteral("QPushButton { color: #c81e1e; font-weight: bold; }"));
    m_trayAction->setChecked(m_on);
    m_trayAction->setText(state);
    m_tray->setIcon(m_on ? m_icon : m_offIcon);
    m_tray->setToolTip(QStringLiteral("Kestrox Vantrell: %1").arg(state));
}
