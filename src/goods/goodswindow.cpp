#include "goodswindow.h"

#include "store/database.h"

#include "widgets/inputfilter.h"
#include "common/seams.h"
#include "common/values.h"
#include "widgets/windows.h"
#include "store/goodstable.h"
#include "ui_goodswindow.h"

namespace {

enum ListColumn { Number = 0, Name = 1, Price = 2 };

} // namespace

GoodsWindow::GoodsWindow(Database& db, RecordSet& rs, QWidget* parent, const Rights& rights)
    : QDialog(parent)
    , m_ui(std::make_unique<Ui::GoodsWindow>())
    , m_db(db)
    , m_rs(rs)
    , m_rights(rights)
{
    m_ui->setupUi(this);
    layOutWindow(this);
    m_ui->超级列表框1->setColumns(
        { QStringLiteral("序号"), QStringLiteral("    商品名称"), QStringLiteral("单价") }, { 50, 150, 50 });
    InputFilter::attach(m_ui->编辑框_单价, InputFilter::Decimal);

    refreshGoodsList();

    // A click makes a row current before it selects it, and the pick reads the selected row:
    // so the pick follows the selection, which a click and the arrow keys move alike.
    connect(m_ui->超级列表框1, &QTreeWidget::itemSelectionChanged, this, &GoodsWindow::pickGoods);
    connect(m_ui->按钮_新增, &QPushButton::clicked, this, &GoodsWindow::startNewGoods);
    // Another counter changed the catalogue or a price: listed again.
    connect(&m_db, &Database::changedElsewhere, this,
        [this] { m_ui->超级列表框1->refillKeepingPick(Name, [this] { listGoods(); }); });
    connect(m_ui->按钮_保存, &QPushButton::clicked, this, &GoodsWindow::saveGoods);
    connect(m_ui->按钮_删除, &QPushButton::clicked, this, &GoodsWindow::deleteGoods);
}

GoodsWindow::~GoodsWindow() = default;

void GoodsWindow::refreshGoodsList()
{
    listGoods();
    startNewGoods();
}

void GoodsWindow::listGoods()
{
    ListView* list = m_ui->超级列表框1;
    const QVector<GoodsItem> items = readCatalogue(m_rs);
    list->clearRows();
    for (int i = 0; i < items.size(); ++i) {
        const int row = list->appendRow();
        list->setListCell(row, Number, toText(i + 1));
        list->setListCell(row, Name, items[i].name);
        list->setListCell(row, Price, toText(items[i].price));
    }
}

void GoodsWindow::startNewGoods()
{
    m_ui->编辑框_单价->clear();
    m_ui->编辑框_商品名称->clear();
    m_goodsIsNew = true;
}

void GoodsWindow::pickGoods()
{
    const int row = m_ui->超级列表框1->selectedRow();
    m_goodsIsNew = false;
    m_ui->编辑框_商品名称->setText(m_ui->超级列表框1->getListCell(row, Name));
    m_ui->编辑框_单价->setText(m_ui->超级列表框1->getListCell(row, Price));
}

void GoodsWindow::saveGoods()
{
    const QString name = m_ui->编辑框_商品名称->text();
    const QString price = m_ui->编辑框_单价->text();
    if (name.isEmpty() || price.isEmpty()) {
        messageBox(QStringLiteral("商品名称或单价不能为空！"));
        return;
    }
    if (!isStorableText(name)) {
        messageBox(unstorableTextMessage());
        return;
    }
    if (!isMoneyText(price)) {
        messageBox(moneyRangeMessage());
        return;
    }
    if (toNumber(price) < 0.0) {
        messageBox(negativeAmountMessage(QStringLiteral("单价")));
        return;
    }
    const GoodsItem item { name, toSingle(price) };
    const OwnerPermit permit = m_rights.permit(OwnerAction::ChangeGoods);
    if (!permit)
        return;
    QString error;
    const bool saved = m_goodsIsNew
        ? addGoods(m_rs, item, &error)
        : changeGoods(m_rs, m_ui->超级列表框1->getListCell(m_ui->超级列表框1->selectedRow(), Name), item, &error);
    // A failed save keeps the boxes, so the operator can try again once the cause is gone.
    if (!saved) {
        showStoreError(error);
        return;
    }
    refreshGoodsList();
}

void GoodsWindow::deleteGoods()
{
    const int row = m_ui->超级列表框1->selectedRow();
    if (row == -1) {
        messageBox(QStringLiteral("请选择要删除的商品！"));
        return;
    }
    const OwnerPermit permit = m_rights.permit(OwnerAction::ChangeGoods);
    if (!permit)
        return;
    QString error;
    if (!::deleteGoods(m_db, m_ui->超级列表框1->getListCell(row, Name), &error)) {
        showStoreError(error);
        return;
    }
    refreshGoodsList();
}
