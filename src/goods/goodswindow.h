#pragma once

#include "counter/rights.h"

#include <QDialog>

#include <memory>

class Database;
class RecordSet;
namespace Ui {
class GoodsWindow;
}

// Keeps the goods catalogue: lists every item, adds, changes and deletes items, each
// change written at once.
class GoodsWindow : public QDialog {
    Q_OBJECT
public:
    // Changing the catalogue is the owner's: `rights` says who works the counter.
    GoodsWindow(Database& db, RecordSet& rs, QWidget* parent = nullptr, const Rights& rights = Rights::everyone());
    ~GoodsWindow() override;

    // Whether the boxes describe a new item to add rather than the item picked in the list.
    bool goodsIsNew() const { return m_goodsIsNew; }

    void refreshGoodsList();
    // The catalogue listed again, the item being typed left as it is.
    void listGoods();
    void startNewGoods();
    // A row of the list became the current one: its name and price into the boxes.
    void pickGoods();
    void saveGoods();
    void deleteGoods();

private:
    std::unique_ptr<Ui::GoodsWindow> m_ui;
    Database& m_db;
    RecordSet& m_rs;
    const Rights& m_rights;
    bool m_goodsIsNew = false;
};
