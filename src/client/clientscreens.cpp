#include "clientscreens.h"

#include "clientagent.h"
#include "ui_lockwindow.h"
#include "ui_timerwindow.h"
#include "ui_waitwindow.h"

#include <QGuiApplication>
#include <QScreen>

ClientScreens::ClientScreens(ClientAgent& agent, QObject* parent)
    : QObject(parent)
    , m_agent(agent)
    , m_wait(std::make_unique<QWidget>())
    , m_lock(std::make_unique<QWidget>())
    , m_timer(std::make_unique<QWidget>())
    , m_waitUi(std::make_unique<Ui::WaitWindow>())
    , m_lockUi(std::make_unique<Ui::LockWindow>())
    , m_timerUi(std::make_unique<Ui::TimerWindow>())
{
    m_waitUi->setupUi(m_wait.get());
    m_lockUi->setupUi(m_lock.get());
    m_timerUi->setupUi(m_timer.get());
    // Waiting to be allowed is locked too: only the fingerprints to compare are shown.
    for (QWidget* w : { m_lock.get(), m_wait.get() })
        w->setWindowFlags(Qt::Window | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint);
    m_timer->setWindowFlags(Qt::Window | Qt::WindowStaysOnTopHint | Qt::WindowCloseButtonHint);
    m_lockUi->标签_机号->setText(QString::number(agent.machineNo()) + QStringLiteral("号机"));
    QFont big = m_lockUi->标签_机号->font();
    big.setPixelSize(48);
    m_lockUi->标签_机号->setFont(big);
    big.setPixelSize(28);
    m_lockUi->标签_请开机->setFont(big);
    // Read across the room while the owner compares them with the counter's screen.
    m_waitUi->标签_等待->setFont(big);
    big.setPixelSize(22);
    for (QLabel* l : { m_waitUi->标签_指纹, m_waitUi->标签_收银台指纹, m_waitUi->标签_说明, m_lockUi->标签_说明 })
        l->setFont(big);
    connect(&agent, &ClientAgent::viewChanged, this, &ClientScreens::show);
    show();
}

ClientScreens::~ClientScreens() = default;

QString ClientScreens::stateLine() const
{
    const ClientView& v = m_agent.view();
    const QString screen = v.screen == ClientView::Waiting ? QStringLiteral("等待允许")
        : v.screen == ClientView::Locked                   ? QStringLiteral("锁定")
                                                           : QStringLiteral("计时");
    return screen + (v.connected ? QStringLiteral(" 在线") : QStringLiteral(" 离线")) + QStringLiteral(" ") + v.amount
        + QStringLiteral(" ") + v.left + QStringLiteral(" ") + v.warning + v.note;
}

void ClientScreens::show()
{
    const ClientView& v = m_agent.view();
    m_waitUi->标签_指纹->setText(QStringLiteral("本机指纹：") + m_agent.ownFingerprint());
    const QString counter = m_agent.counterFingerprint();
    m_waitUi->标签_收银台指纹->setText(QStringLiteral("收银台指纹：")
        + (counter.isEmpty() ? QStringLiteral("（尚未连接）") : counter));
    m_waitUi->标签_说明->setText(v.note.isEmpty() ? QStringLiteral("请店主在收银台的“客户机”中核对指纹后允许。") : v.note);
    m_lockUi->标签_说明->setText(v.note);
    m_timerUi->标签_已用时间->setText(v.used);
    m_timerUi->标签_金额->setText(v.amount);
    m_timerUi->标签_剩余时间->setText(v.left.isEmpty() ? QStringLiteral("不限") : v.left);
    m_timerUi->标签_提醒->setText(v.warning);
    for (QWidget* w : { m_wait.get(), m_lock.get() }) {
        const bool shown = (w == m_wait.get()) == (v.screen == ClientView::Waiting) && v.screen != ClientView::Running;
        if (shown) {
            if (!w->isVisible()) {
                // The whole screen, with or without a window manager to make it so.
                if (const QScreen* screen = QGuiApplication::primaryScreen())
                    w->setGeometry(screen->geometry());
                w->showFullScreen();
            }
            w->raise();
            w->activateWindow();
            // Where the window system lets a window hold the keyboard (X11), it does.
            if (QGuiApplication::platformName() == u"xcb")
                w->grabKeyboard();
        } else if (w->isVisible()) {
            w->releaseKeyboard();
            w->hide();
        }
    }
    m_timer->setVisible(v.screen == ClientView::Running);
    emit shown(stateLine());
}
