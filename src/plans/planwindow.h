#pragma once

#include "counter/priceplan.h"

#include <QDialog>
#include <QHash>

#include <memory>

class Database;
class QTableWidget;
namespace Ui {
class PlanWindow;
}

// 计费方案: each zone's price plan, as the owner types it. 保存 checks the whole plan and stores
// it as a new version, or says the first fault and keeps what was typed; a usage goes on with
// the version it started on.
class PlanWindow : public QDialog {
    Q_OBJECT
public:
    // `rateText` is the rate box's, offered as the all-day band of a zone that has no plan yet.
    PlanWindow(Database& db, const QString& rateText, QWidget* parent = nullptr);
    ~PlanWindow() override;

    // A version was stored while the window was open: the counter reads the plans again.
    bool changed() const { return m_changed; }

    void save(); // 按钮_保存; true when stored
    void addBand(); // 按钮_新增时段
    void removeBand(); // 按钮_删除时段
    void addPackage(); // 按钮_新增套餐
    void removePackage(); // 按钮_删除套餐
    TypedPlan typed() const;
    // Closing, by 关闭 or the window's own box, keeps unsaved changes unless the owner drops them.
    void reject() override;

private:
    struct Shown {
        bool enabled = false;
        QString text; // the typed plan, as stored
        int version = 0;
    };
    void read();
    void showZone(const QString& zone);
    void zonePicked();
    // Unsaved changes are given up only when the owner says so.
    bool mayLeave();
    bool edited() const;
    QString typedText() const;

    std::unique_ptr<Ui::PlanWindow> m_ui;
    Database& m_db;
    QString m_rateText;
    QHash<QString, Shown> m_stored; // by zone, the newest version
    QString m_zone; // shown now
    bool m_shownEnabled = false; // as shown before the owner typed
    QString m_shownText;
    bool m_changed = false;
};
