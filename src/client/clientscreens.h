#pragma once

#include <QObject>

#include <memory>

class ClientAgent;
class QWidget;
namespace Ui {
class WaitWindow;
class LockWindow;
class TimerWindow;
}

// The client PC's three windows, one shown at a time as the agent's view says: 客户机 while
// the counter has not allowed it, the full-screen 客户机锁定 (on top, with the keyboard held
// where the window system allows it) while locked, and the small 上机计时 while it runs.
class ClientScreens : public QObject {
    Q_OBJECT
public:
    explicit ClientScreens(ClientAgent& agent, QObject* parent = nullptr);
    ~ClientScreens() override;

    QWidget* waitWindow() const { return m_wait.get(); }
    QWidget* lockWindow() const { return m_lock.get(); }
    QWidget* timerWindow() const { return m_timer.get(); }
    // One line a change, for the log the program writes with --log.
    QString stateLine() const;

signals:
    void shown(const QString& stateLine);

private:
    void show();

    ClientAgent& m_agent;
    std::unique_ptr<QWidget> m_wait, m_lock, m_timer;
    std::unique_ptr<Ui::WaitWindow> m_waitUi;
    std::unique_ptr<Ui::LockWindow> m_lockUi;
    std::unique_ptr<Ui::TimerWindow> m_timerUi;
};
