#pragma once

#include <QDialog>
#include <QHash>
#include <QVector>

#include <functional>
#include <memory>

class Database;
namespace Ui {
class MachineWindow;
}

// 机器设置: which machines the counter times, their names, the zones of the room and the
// zones' colours. A machine in use is not removed: its bill would have no place left.
class MachineWindow : public QDialog {
    Q_OBJECT
public:
    // isOpen(n): machine n is timing or has its checkout open.
    MachineWindow(Database& db, std::function<bool(int)> isOpen, QWidget* parent = nullptr);
    ~MachineWindow() override;

    // Anything was stored while the window was open: the console lays out its machines again.
    bool changed() const { return m_changed; }

    void refresh();
    void add(); // 按钮_添加
    void remove(); // 按钮_删除
    void setZone(); // 按钮_设为
    void rename(); // 按钮_改名
    void addZone(); // 按钮_新增区域
    void removeZone(); // 按钮_删除区域
    void setColour(); // 按钮_设颜色
    void setCounter(); // 按钮_设柜台

private:
    QVector<int> picked() const;
    void pick();
    void zonePicked();
    void refuse(const QString& text);
    // After a write: a refusal is shown, a change is read back. True when it was stored.
    bool stored(bool ok, const QString& error);

    std::unique_ptr<Ui::MachineWindow> m_ui;
    Database& m_db;
    std::function<bool(int)> m_isOpen;
    QHash<QString, QString> m_colours; // of each zone, as read last
    bool m_changed = false;
};
