#include "salewindow.h"

#include "store/ledgertable.h"

#include "widgets/egrid.h"
#include "common/seams.h"
#include "common/values.h"
#include "widgets/windows.h"
#include "goods/goodswindow.h"
#include "goods/sale.h"
#include "store/goodstable.h"
#include "counter/consolegrid.h"
#include "counter/counter.h"
#include "store/database.h"
#include "store/recordset.h"
#include "store/income.h"
#include "ui_salewindow.h"

#include <QTimer>

SaleWindow::SaleWindow(Database& db, RecordSet& rs, Counter& counter, QWidget* parent, const Rights& rights)
    : QDialog(parent)
    , m_ui(std::make_unique<Ui::SaleWindow>())
    , m_db(db)
    , m_rs(rs)
    , m_rights(rights)
    , m_counter(counter)
{
    m_ui->setupUi(this);
    addComboItem(m_ui->组合框_销售方式, QStringLiteral("挂帐"));
    addComboItem(m_ui->组合框_销售方式, QStringLiteral("现款"));
    m_ui->组合框_销售方式->setCurrentIndex(0);
    // How it was paid matters only to a sale for cash: goods on account are paid at the checkout.
    const auto showPayment = [this] {
        const bool forCash = m_ui->组合框_销售方式->currentIndex() == 1;
        m_ui->组合框_支付方式->setEnabled(forCash);
        m_ui->编辑框_单号->setEnabled(forCash);
    };
    showPayment();
    connect(m_ui->组合框_销售方式, &QComboBox::currentIndexChanged, this, showPayment);

    EGrid* grid = m_ui->高级表格1;
    setupSaleGrid(grid->cells());
    layOutWindow(this, grid);
    fillGoodsChoices();

    // The console's header row (or no current row at all) stands for the first machine.
    showMachines(m_counter.state().machineAt(m_counter.grid().getCurrentRow()));

    connect(grid, &EGrid::listItemChosen, this, &SaleWindow::lookUpPrice);
    connect(grid, &EGrid::cellChanged, this, &SaleWindow::recomputeSaleTotal);
    connect(m_ui->按钮_保存, &QPushButton::clicked, this, &SaleWindow::saveSale);
    connect(m_ui->按钮_保存并新增, &QPushButton::clicked, this, &SaleWindow::saveSaleAndStartNew);
    connect(m_ui->按钮_商品管理, &QPushButton::clicked, this, &SaleWindow::openCatalogue);
    connect(&m_db, &Database::changedElsewhere, this, &SaleWindow::fillGoodsChoices);
}

SaleWindow::~SaleWindow() = default;

void SaleWindow::showMachines(int chosen)
{
    QComboBox* list = m_ui->组合框_机号;
    if (chosen == 0)
        chosen = toInteger(list->currentText());
    list->clear();
    for (const MachineSlot& m : m_counter.state().machines)
        addComboItem(list, toText(m.number));
    list->setCurrentIndex(std::max(0, m_counter.state().rowOf(chosen) - 1));
}

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
    float price = 0.0f;
    const bool known = readGoodsPrice(m_rs, text, price);
    if (row >= 0 && row < kSaleRows)
        m_unpriced[std::size_t(row)] = !known;
    if (!known)
        cells.forgetChoice(); // so that picking the same goods again looks its price up again
    cells.setCell(row, SaleColumn::Price, toText(price));
    cells.setCell(row, SaleColumn::Quantity, QStringLiteral("1"));
}

void SaleWindow::recomputeSaleTotal()
{
    EGridModel& cells = m_ui->高级表格1->cells();
    QString refusal;
    for (int r = 1; r < kSaleRows; ++r) {
        if (!isStorableText(cells.getCell(r, SaleColumn::Goods))) {
            cells.setCell(r, SaleColumn::Goods, QString());
            refusal = unstorableTextMessage();
        }
    }
    while (const int r = lineOutOfRange(cells)) {
        if (!isMoneyText(cells.getCell(r, SaleColumn::Price)))
            cells.setCell(r, SaleColumn::Price, QString());
        cells.setCell(r, SaleColumn::Quantity, QString()); // the formula then clears the amount
        if (!isMoneyText(cells.getCell(r, SaleColumn::Amount)))
            cells.setCell(r, SaleColumn::Amount, QString());
        refusal = moneyRangeMessage();
    }
    m_ui->编辑框_金额合计->setText(toText(saleTotal(cells)));
    // Told once the grid has closed its editor: a box shown from inside the edit would leave
    // the editor to be deleted under the grid's feet.
    if (!refusal.isEmpty())
        QTimer::singleShot(0, this, [refusal] { messageBox(refusal, MbOk | MbExclamation); });
}

bool SaleWindow::bookSale()
{
    const QString total = m_ui->编辑框_金额合计->text();
    if (total.isEmpty()) {
        messageBox(QStringLiteral("金额不能为零！"));
        return false;
    }
    for (int r = 1; r < kSaleRows; ++r) {
        if (m_unpriced[std::size_t(r)]) {
            // Its 0.00 is no price: booked, the goods would leave the shelf for nothing.
            messageBox(QStringLiteral("第") + toText(r) + QStringLiteral("行商品的单价未能读取，请重新选择该商品！"),
                MbOk | MbExclamation);
            return false;
        }
    }
    const int machine = toInteger(m_ui->组合框_机号->currentText());
    const bool onAccount = m_ui->组合框_销售方式->currentIndex() == 0;
    if (onAccount && !m_counter.state().isListed(machine)) {
        // Taken out in 机器设置 while this window was open: there is no bill to put it on.
        showMachines();
        messageBox(QStringLiteral("该机器已不在机器列表中，请重新选择机号！"), MbOk | MbExclamation);
        return false;
    }
    if (!isMoneyText(total)
        || (onAccount && !isMoneyInRange(toNumber(total) + toNumber(m_counter.grid().getCell(m_counter.state().rowOf(machine), ConsoleColumn::Goods))))) {
        messageBox(moneyRangeMessage(), MbOk | MbExclamation);
        return false;
    }
    const QString method = onAccount ? QString() : m_ui->组合框_支付方式->currentText();
    const QString reference = onAccount ? QString() : paymentReference(m_ui->编辑框_单号->text());
    QString refusal = paymentRefusal(method, reference);
    if (refusal.isEmpty() && !isCashMethod(method) && toCents(toNumber(total)) <= 0.0)
        refusal = QStringLiteral("没有要收的款，请选择现金！"); // a scan takes money, it gives none back
    if (!refusal.isEmpty()) {
        messageBox(refusal, MbOk | MbExclamation, QStringLiteral("支付方式"));
        return false;
    }
    const QVector<IncomeRow> rows = saleIncomeRows(m_ui->高级表格1->cells(), machine, m_ui->日期框1->value());
    // A sale is booked whole or not at all, and reaches the bill only once it is booked.
    QString error;
    QStringList names;
    for (const IncomeRow& row : rows)
        names.append(row.name);
    // What is booked and recorded is the lines' sum to the cent; the box keeps the six digits
    // it shows.
    double exact = 0.0;
    for (const IncomeRow& row : rows)
        exact += row.amount;
    const bool booked = m_counter.bookGoods(
        machine, onAccount, formatFixed(toCents(exact), 2),
        [&](QString* why) { return rows.isEmpty() || writeIncomeRows(m_rs, rows, why); }, &error,
        names.join(u'、'), method, reference);
    if (!booked) {
        showStoreError(error);
        return false;
    }
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
    m_unpriced.fill(false);
    m_ui->编辑框_金额合计->clear();
    // The next customer pays as he pays: in cash unless the cashier says otherwise.
    m_ui->组合框_支付方式->setCurrentIndex(0);
    m_ui->编辑框_单号->clear();
}

void SaleWindow::openCatalogue()
{
    // The drop-down keeps the names it opened with; a new sale window lists the changes.
    GoodsWindow catalogue(m_db, m_rs, this, m_rights);
    loadWindow(&catalogue, this, true);
}
