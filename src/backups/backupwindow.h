#pragma once

#include "store/backup.h"

#include <QDialog>

#include <memory>

class BackupRunner;
namespace Ui {
class BackupWindow;
}

// 备份: the copies with their time, size and check, the age of the newest, 立即备份, the
// second folder, and 恢复, which the console carries out once the window has said yes to it.
class BackupWindow : public QDialog {
    Q_OBJECT
public:
    // `busyReason`: why no restore can be made now (machines timing), empty when it can.
    BackupWindow(BackupRunner& runner, const QString& busyReason, QWidget* parent = nullptr);
    ~BackupWindow() override;

    // The copy to restore, once 恢复 was confirmed; the console asks an owner and restores it.
    QString restorePath() const { return m_restorePath; }

    void refresh();
    void backUpNow(); // 按钮_立即备份
    void chooseSecondFolder(); // 按钮_选择目录
    void commitSecondFolder(); // the second folder typed
    void askRestore(); // 按钮_恢复

private:
    void copyDone();

    std::unique_ptr<Ui::BackupWindow> m_ui;
    BackupRunner& m_runner;
    QString m_busyReason;
    QString m_restorePath;
};
