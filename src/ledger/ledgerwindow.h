#pragma once

#include "store/ledgertable.h"

#include <QVector>
#include <QWidget>

#include <memory>

class Database;
class QThread;
class QTimer;
class EGrid;
namespace Ui {
class LedgerWindow;
}

// 操作记录: the ledger's rows of a range of days (today when it opens), by operator and kind,
// with the sums of their cash and card columns; 核对 checks the whole chain, 导出 writes the
// rows shown to a spreadsheet file.
class LedgerWindow : public QWidget {
    Q_OBJECT
public:
    explicit LedgerWindow(Database& db, QWidget* parent = nullptr);
    ~LedgerWindow() override;

    EGrid* grid() const;
    void showRows();
    // 核对, in a thread of its own so the counter goes on meanwhile; pressed again, it stops.
    void checkChain();
    bool isChecking() const { return m_checker != nullptr; }
    // Whether the last check ended before it had walked the whole chain.
    bool lastCheckStopped() const;
    void exportRows();

protected:
    void hideEvent(QHideEvent* event) override;

private:
    struct Check;
    void checkDone();
    void stopChecking();

    std::unique_ptr<Ui::LedgerWindow> m_ui;
    std::shared_ptr<Check> m_check; // shared with the thread that walks the chain
    QThread* m_checker = nullptr;
    QTimer* m_progress = nullptr;
    Database& m_db;
    QVector<LedgerRow> m_rows;
};
