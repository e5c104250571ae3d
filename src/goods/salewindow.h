#pragma once

#include <QDialog>

#include <array>
#include <memory>

class Database;
class EGridModel;
class RecordSet;
namespace Ui {
class SaleWindow;
}

// Sells up to five lines of goods for one machine and one day: books them as income at once
// and, on account, has the console add the total to the machine's 商品额.
class SaleWindow : public QDialog {
    Q_OBJECT
public:
    // The console grid is read only: for the machine to preselect and the goods on its bill.
    SaleWindow(Database& db, RecordSet& rs, const EGridModel& consoleGrid, int machineCount,
        QWidget* parent = nullptr);
    ~SaleWindow() override;

    // A goods name picked in line `row`: its price and a quantity of 1.
    void lookUpPrice(int row, int column, const QString& text);
    void recomputeSaleTotal();
    // 按钮_保存: book the sale and close; stays open when nothing could be booked.
    void saveSale();
    // 按钮_保存并新增: book the sale, then offer empty lines for the same machine, mode and day.
    void saveSaleAndStartNew();
    void openCatalogue();

signals:
    // A sale on account is booked: the console adds the total to the machine's 商品额.
    void goodsOnAccount(int machineNo, const QString& totalText);

private:
    void fillGoodsChoices();
    bool bookSale();

    std::unique_ptr<Ui::SaleWindow> m_ui;
    Database& m_db;
    RecordSet& m_rs;
    const EGridModel& m_console;
    // Lines whose price could not be read when their goods were picked.
    std::array<bool, 6> m_unpriced {};
};
