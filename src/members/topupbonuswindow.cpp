#include "topupbonuswindow.h"

#include "common/seams.h"
#include "common/values.h"
#include "members/membercards.h"
#include "store/membertable.h"
#include "ui_topupbonuswindow.h"
#include "widgets/windows.h"

#include <QHeaderView>

TopUpBonusWindow::TopUpBonusWindow(Database& db, QWidget* parent)
    : QDialog(parent)
    , m_ui(std::make_unique<Ui::TopUpBonusWindow>())
    , m_db(db)
{
    m_ui->setupUi(this);
    layOutDialog(this, parent);
    m_ui->表格_充值赠送->horizontalHeader()->setSectionResizeMode(QHeaderView::Stretch);
    connect(m_ui->按钮_新增, &QPushButton::clicked, this, &TopUpBonusWindow::addRow);
    connect(m_ui->按钮_删除, &QPushButton::clicked, this, &TopUpBonusWindow::removeRow);
    connect(m_ui->按钮_保存, &QPushButton::clicked, this, &TopUpBonusWindow::save);
    showOffers();
}

TopUpBonusWindow::~TopUpBonusWindow() = default;

void TopUpBonusWindow::showOffers()
{
    QVector<TopUpBonus> offers;
    QString error;
    if (!readTopUpBonuses(m_db, offers, &error))
        showStoreError(error);
    QTableWidget* table = m_ui->表格_充值赠送;
    table->setRowCount(0);
    for (const TopUpBonus& offer : offers) {
        const int row = table->rowCount();
        table->insertRow(row);
        table->setItem(row, 0, new QTableWidgetItem(toText(offer.threshold)));
        table->setItem(row, 1, new QTableWidgetItem(toText(offer.bonus)));
    }
}

void TopUpBonusWindow::addRow()
{
    QTableWidget* table = m_ui->表格_充值赠送;
    const int row = table->rowCount();
    table->insertRow(row);
    table->setItem(row, 0, new QTableWidgetItem);
    table->setItem(row, 1, new QTableWidgetItem);
    table->setCurrentCell(row, 0);
    table->editItem(table->item(row, 0));
}

void TopUpBonusWindow::removeRow()
{
    QTableWidget* table = m_ui->表格_充值赠送;
    if (table->currentRow() < 0) {
        messageBox(QStringLiteral("请选择要删除的行！"), MbOk, windowTitle());
        return;
    }
    table->removeRow(table->currentRow());
}

bool TopUpBonusWindow::save()
{
    QTableWidget* table = m_ui->表格_充值赠送;
    // An edit still open counts as typed.
    if (QWidget* editor = table->focusWidget(); editor && editor != table)
        table->setFocus();
    QVector<QPair<QString, QString>> typed;
    for (int r = 0; r < table->rowCount(); ++r) {
        const auto cell = [&](int c) { return table->item(r, c) ? table->item(r, c)->text() : QString(); };
        typed.append({ cell(0), cell(1) });
    }
    QVector<TopUpBonus> offers;
    const QString refusal = topUpBonusRefusal(typed, offers);
    if (!refusal.isEmpty()) {
        messageBox(refusal, MbOk | MbExclamation, windowTitle());
        return false;
    }
    QString error;
    if (!saveTopUpBonuses(m_db, offers, &error)) {
        showStoreError(error);
        return false;
    }
    showOffers();
    return true;
}
