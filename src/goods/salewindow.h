#pragma once

#include "counter/rights.h"

#include <QDialog>

#include <array>
#include <memory>

class Counter;
class Database;
class EGridModel;
class RecordSet;
namespace Ui {
class SaleWindow;
}

// Sells up to five lines of goods for one machine and one day: books them as income at once
// and, on account, adds the total to the machine's 商品额 through the counter.
class SaleWindow : public QDialog {
    Q_OBJECT
public:
    // The sale is booked through the counter, which puts goods on account on the machine's
    // bill in the same transaction; its grid gives the machine to preselect.
    // `rights` go on to the catalogue, whose changes are the owner's.
    SaleWindow(Database& db, RecordSet& rs, Counter& counter, QWidget* parent = nullptr,
        const Rights& rights = Rights::everyone());
    ~SaleWindow() override;

    // A goods name picked in line `row`: its price and a quantity of 1.
    void lookUpPrice(int row, int column, const QString& text);
    void recomputeSaleTotal();
    // 按钮_保存: book the sale and close; stays open when nothing could be booked.
    void saveSale();
    // 按钮_保存并新增: book the sale, then offer empty lines for the same machine, mode and day.
    void saveSaleAndStartNew();
    void openCatalogue();
    // The machines the counter lists, `chosen` (or else the one picked now) still picked.
    void showMachines(int chosen = 0);

private:
    void fillGoodsChoices();
    bool bookSale();

    std::unique_ptr<Ui::SaleWindow> m_ui;
    Database& m_db;
    RecordSet& m_rs;
    const Rights& m_rights;
    Counter& m_counter;
    // Lines whose price could not be read when their goods were picked.
    std::array<bool, 6> m_unpriced {};
};
