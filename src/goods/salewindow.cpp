#include "salewindow.h"

#include "common/egrid.h"
#include "common/seams.h"
#include "common/values.h"
#include "common/windows.h"
#include "goods/goodswindow.h"
#include "goods/sale.h"
#include "store/database.h"
#include "store/income.h"
#include "ui_salewindow.h"

SaleWindow::SaleWindow(
    Database& db, RecordSet& rs, EGridModel& consoleGrid, int machineCount, QWidget* parent)
    : QDialog(parent)
    , m_ui(std::make_unique<Ui::SaleWindow>())
    , m_db(db)
    , m_rs(rs)
    , m_console(consoleGrid)
{
    m_ui->setupUi(this);
    move(50, 50); // as laid out; the form gives a top-level window its size only
    fitLabels(this);
    addComboItem(m_ui->组合框_销售方式, QStringLiteral("挂帐"));
    addComboItem(m_ui->组合框_销售方式, QStringLiteral("现款"));
    m_ui->组合框_销售方式->setCurrentIndex(0);

    EGrid* grid = m_ui->高级表格1;
    setupSaleGrid(grid->cells());
    grid->setRowHeight(24);
    fillGoodsChoices();

    for (int i = 1; i <= machineCount; ++i)
        addComboItem(m_ui->组合框_机号, toText(i));
    // The console's header row (or no current row at all) stands for machine 1.
    m_ui->组合框_机号->setCurrentIndex(m_console.getCurrentRow() - 1);
    if (m_ui->组合框_机号->currentIndex() == -1)
        m_ui->组合框_机号->setCurrentIndex(0);

    connect(grid, &EGrid::listItemChosen, this, &SaleWindow::lookUpPrice);
    connect(grid, &EGrid::cellChanged, this, &SaleWindow::recomputeSaleTotal);
    connect(m_ui->按钮_保存, &QPushButton::clicked, this, &SaleWindow::saveSale);
    connect(m_ui->按钮_保存并新增, &QPushButton::clicked, this, &SaleWindow::saveSaleAndStartNew);
    connect(m_ui->按钮_商品管理, &QPushButton::clicked, this, &SaleWindow::openCatalogue);
}

SaleWindow::~SaleWindow() = default;

void SaleWindow::fillGoodsChoices()
{
    EGridModel& cells = m_ui->高级表格1->cells();
    cells.clearItemList();
    for (const QString& name : goodsNames(m_rs))
        cells.addItem(SaleColumn::Goods, name);
}

void SaleWindow::lookUpPrice(int row, int /*column*/, const QString& text)
{
    EGridModel& cells = m_ui->高级表格1->cells();
    cells.setCell(row, SaleColumn::Price, toText(goodsPrice(m_rs, text)));
    cells.setCell(row, SaleColumn::Quantity, QStringLiteral("1"));
}

void SaleWindow::recomputeSaleTotal()
{
    m_ui->编辑框_金额合计->setText(toText(saleTotal(m_ui->高级表格1->cells())));
}

bool SaleWindow::bookSale()
{
    const QString total = m_ui->编辑框_金额合计->text();
    if (total.isEmpty()) {
        messageBox(QStringLiteral("金额不能为零！"));
        return false;
    }
    const int machine = m_ui->组合框_机号->currentIndex() + 1;
    const QVector<IncomeRow> rows = saleIncomeRows(m_ui->高级表格1->cells(), machine, m_ui->日期框1->value());
    // A sale is booked whole or not at all, and reaches the bill only once it is booked.
    QString error;
    if (!rows.isEmpty() && !bookIncome(m_db, m_rs, rows, &error)) {
        if (!error.isEmpty())
            messageBox(error, MbOk | MbError, QStringLiteral("错误"));
        return false;
    }
    if (m_ui->组合框_销售方式->currentIndex() == 0)
        chargeToMachine(m_console, machine, total);
    return true;
}

void SaleWindow::saveSale()
{
    if (bookSale())
        closeWindow(this);
}

void SaleWindow::saveSaleAndStartNew()
{
    if (!bookSale())
        return;
    emptySaleLines(m_ui->高级表格1->cells());
    m_ui->编辑框_金额合计->clear();
}

void SaleWindow::openCatalogue()
{
    // The drop-down keeps the names it opened with; a new sale window lists the changes.
    GoodsWindow catalogue(m_db, m_rs, this);
    loadWindow(&catalogue, this, true);
}
