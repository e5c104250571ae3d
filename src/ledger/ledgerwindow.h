#pragma once

#include "store/ledgertable.h"

#include <QVector>
#include <QWidget>

#include <memory>

class Database;
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
    void checkChain();
    void exportRows();

private:
    std::unique_ptr<Ui::LedgerWindow> m_ui;
    Database& m_db;
    QVector<LedgerRow> m_rows;
};
