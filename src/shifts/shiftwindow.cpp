#include "shiftwindow.h"

#include "common/csv.h"
#include "common/seams.h"
#include "common/values.h"
#include "shiftslip.h"
#include "shifts/slipprinter.h"
#include "store/database.h"
#include "ui_shiftwindow.h"
#include "widgets/windows.h"

#include <QBuffer>
#include <QHeaderView>
#include <QLabel>
#include <QPdfWriter>
#include <QTextDocument>

namespace {

QString timeOf(DateTime t, bool withDate)
{
    const DateParts p = splitDate(t);
    return withDate ? QString::asprintf("%04d-%02d-%02d %02d:%02d", p.year, p.month, p.day, p.hour, p.minute)
                    : QString::asprintf("%02d-%02d %02d:%02d", p.month, p.day, p.hour, p.minute);
}

// The form's height, with the row of payments other than cash below the buttons.
constexpr int kHeightWithPayments = 384;
constexpr int kPaymentRowHeight = 28;

const char16_t* const kFigures[] = { u"备用金", u"上机现金", u"上机会员卡", u"商品现金", u"商品挂帐", u"押金收",
    u"押金退", u"在用押金", u"发卡", u"充值", u"应有现金", u"差额", u"实点现金", u"留存备用金" };

} // namespace

ShiftWindow::ShiftWindow(Database& db, double depositsHeld, bool floatEditable, QWidget* parent)
    : QDialog(parent)
    , m_ui(std::make_unique<Ui::ShiftWindow>())
    , m_db(db)
{
    m_ui->setupUi(this);
    layOutDialog(this, nullptr);
    m_ui->列表框_历史->setHeaderLabels({ QStringLiteral("班次"), QStringLiteral("操作员"), QStringLiteral("开始"),
        QStringLiteral("结束"), QStringLiteral("应有现金"), QStringLiteral("实点现金"), QStringLiteral("差额") });
    m_ui->列表框_历史->setRootIsDecorated(false);
    // Every column in sight at once, the amounts right-aligned against their own edge.
    m_ui->列表框_历史->header()->setStretchLastSection(false);
    for (const auto& [column, width] :
        { std::pair { 0, 36 }, { 1, 52 }, { 2, 80 }, { 3, 80 }, { 4, 60 }, { 5, 60 }, { 6, 60 } })
        m_ui->列表框_历史->setColumnWidth(column, width);
    m_ui->列表框_历史->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);

    QString error;
    bool found = false;
    if (!readOpenShift(m_db, m_shift, found, &error))
        showStoreError(error);
    m_open = found && readShiftTotals(m_db, m_shift.number, m_totals, &error);
    if (found && !m_open)
        showStoreError(error);
    m_shift.depositsHeld = depositsHeld;
    // A count made before, in a window closed without the handover, stands.
    bool countedBefore = false;
    if (m_open && readCount(m_db, m_shift.number, m_shift.counted, countedBefore, &error) && countedBefore) {
        m_counted = true;
        box(u"实点现金")->setText(shiftMoney(m_shift.counted));
        box(u"实点现金")->setReadOnly(true);
    }
    box(u"备用金")->setReadOnly(!(m_open && floatEditable && !m_counted));
    showOpenShift();
    if (m_counted)
        box(u"留存备用金")->setText(shiftMoney(std::min(m_shift.openingFloat, m_shift.counted)));

    connect(box(u"备用金"), &QLineEdit::editingFinished, this, &ShiftWindow::commitFloat);
    connect(box(u"实点现金"), &QLineEdit::editingFinished, this, &ShiftWindow::commitCount);
    connect(m_ui->按钮_确认交班, &QPushButton::clicked, this, &ShiftWindow::confirmHandover);
    connect(m_ui->按钮_打印, &QPushButton::clicked, this, &ShiftWindow::printSlip);
    connect(m_ui->按钮_导出, &QPushButton::clicked, this, &ShiftWindow::exportSlip);
    connect(m_ui->列表框_历史, &QTreeWidget::currentItemChanged, this, [this] {
        const bool picked = m_ui->列表框_历史->currentItem() != nullptr;
        m_ui->按钮_打印->setEnabled(picked);
        m_ui->按钮_导出->setEnabled(picked);
    });
    refreshHistory(0);
    if (m_open)
        ::setFocus(box(u"实点现金"));
}

ShiftWindow::~ShiftWindow() = default;

QLineEdit* ShiftWindow::box(const char16_t* name) const
{
    return findChild<QLineEdit*>(QStringLiteral("编辑框_") + QString::fromUtf16(name));
}

void ShiftWindow::showFigure(const char16_t* name, double value) { box(name)->setText(shiftMoney(value)); }

void ShiftWindow::showPaymentRow(bool shown)
{
    // A shift of cash alone shows the window as it always was; the row below the buttons
    // appears only for scanned payments or bonuses.
    const std::pair<const char16_t*, double> figures[] = { { u"微信", m_totals.wechat }, { u"支付宝", m_totals.alipay },
        { u"银行卡", m_totals.bankCard }, { u"赠送", m_totals.bonuses } };
    for (const auto& [name, value] : figures) {
        showFigure(name, value);
        box(name)->setVisible(shown);
        findChild<QLabel*>(QStringLiteral("标签_") + QString::fromUtf16(name))->setVisible(shown);
    }
    resize(width(), shown ? kHeightWithPayments : kHeightWithPayments - kPaymentRowHeight);
}

void ShiftWindow::showOpenShift()
{
    if (!m_open) {
        showPaymentRow(false);
        for (const char16_t* name : kFigures)
            box(name)->clear();
        m_ui->标签_班次->setText(QStringLiteral("没有未交班的班次"));
        m_ui->标签_时间->clear();
        for (QWidget* w : { static_cast<QWidget*>(box(u"实点现金")), static_cast<QWidget*>(box(u"留存备用金")),
                 static_cast<QWidget*>(m_ui->编辑框_备注), static_cast<QWidget*>(m_ui->按钮_确认交班) })
            w->setEnabled(false);
        return;
    }
    m_ui->标签_班次->setText(QStringLiteral("第") + QString::number(m_shift.number) + QStringLiteral("班　操作员：")
        + m_shift.operatorName);
    m_ui->标签_时间->setText(timeOf(m_shift.opened, true) + QStringLiteral(" 至 ") + timeOf(now(), true));
    showFigure(u"备用金", m_shift.openingFloat);
    showFigure(u"上机现金", m_totals.machineCash);
    showFigure(u"上机会员卡", m_totals.machineCard);
    showFigure(u"商品现金", m_totals.goodsCash);
    showFigure(u"商品挂帐", m_totals.goodsOnAccount);
    showFigure(u"押金收", m_totals.depositsIn);
    showFigure(u"押金退", m_totals.depositsOut);
    showFigure(u"在用押金", m_shift.depositsHeld);
    showFigure(u"发卡", m_totals.newCards);
    showFigure(u"充值", m_totals.topUps);
    showPaymentRow(!m_totals.onlyCash());
    // A blind count: what the drawer should hold is shown only once the cash has been counted.
    if (!m_counted) {
        box(u"应有现金")->clear();
        box(u"差额")->clear();
        m_ui->标签_长短款->clear();
        return;
    }
    m_shift.expected = expectedCash(m_shift, m_totals);
    m_shift.difference = m_shift.counted - m_shift.expected;
    showFigure(u"应有现金", m_shift.expected);
    showFigure(u"差额", m_shift.difference);
    const QString kind = differenceKind(m_shift.difference);
    m_ui->标签_长短款->setText(kind);
    const QString red = kind.isEmpty() ? QString() : QStringLiteral("color: red;");
    box(u"差额")->setStyleSheet(red);
    m_ui->标签_长短款->setStyleSheet(red);
}

void ShiftWindow::commitFloat()
{
    QLineEdit* floatBox = box(u"备用金");
    if (floatBox->isReadOnly() || !m_open || floatBox->text() == shiftMoney(m_shift.openingFloat))
        return;
    double value = 0.0;
    if (!readCashAmount(floatBox->text(), value)) {
        floatBox->setText(shiftMoney(m_shift.openingFloat));
        messageBox(QStringLiteral("请输入备用金金额！"), MbOk | MbExclamation, windowTitle());
        return;
    }
    QString error;
    if (!changeOpeningFloat(m_db, m_shift.number, value, &error)) {
        floatBox->setText(shiftMoney(m_shift.openingFloat));
        showStoreError(error);
        return;
    }
    m_shift.openingFloat = value;
    showOpenShift();
}

void ShiftWindow::commitCount()
{
    QLineEdit* count = box(u"实点现金");
    if (!m_open || m_counted || count->text().trimmed().isEmpty())
        return;
    double counted = 0.0;
    if (!readCashAmount(count->text(), counted)) {
        count->clear();
        // Told once the box has finished its edit, which a box shown from inside it would cut short.
        QMetaObject::invokeMethod(
            this, [this] { messageBox(QStringLiteral("请输入实点现金金额！"), MbOk | MbExclamation, windowTitle()); },
            Qt::QueuedConnection);
        return;
    }
    QString error;
    if (!recordCount(m_db, m_shift.number, counted, &error)) {
        count->clear();
        showStoreError(error);
        return;
    }
    m_shift.counted = counted;
    m_counted = true;
    // The float counted against stays as it was.
    box(u"备用金")->setReadOnly(true);
    // The count stands once the expected figure is seen, so it is not adjusted to match.
    count->setReadOnly(true);
    count->setText(shiftMoney(counted));
    showOpenShift();
    box(u"留存备用金")->setText(shiftMoney(std::min(m_shift.openingFloat, counted)));
    ::setFocus(!differenceKind(m_shift.difference).isEmpty() ? m_ui->编辑框_备注 : box(u"留存备用金"));
}

void ShiftWindow::confirmHandover()
{
    if (!m_open)
        return;
    if (!m_counted) {
        messageBox(QStringLiteral("请先输入实点现金！"), MbOk | MbExclamation, windowTitle());
        ::setFocus(box(u"实点现金"));
        return;
    }
    double left = -1.0;
    const QString note = m_ui->编辑框_备注->text().trimmed();
    const bool leftRead = readCashAmount(box(u"留存备用金")->text(), left);
    const QString refusal
        = closingRefusal(m_shift.difference, note, leftRead ? left : -1.0, m_shift.counted);
    if (!refusal.isEmpty()) {
        messageBox(refusal, MbOk | MbExclamation, windowTitle());
        return;
    }
    if (messageBox(QStringLiteral("确认交班？交班后本班的记录不能再修改。"), MbYesNo | MbQuestion, windowTitle())
        != AnswerYes)
        return;
    ShiftRecord closing = m_shift;
    closing.note = note;
    closing.leftFloat = left;
    QString error;
    if (!closeShift(m_db, closing, &error)) {
        showStoreError(error);
        return;
    }
    m_shift = closing;
    m_handedOver = true;
    m_open = false;
    // The figures stay in sight as handed over; nothing of them can be typed any more.
    m_ui->标签_班次->setText(m_ui->标签_班次->text() + QStringLiteral("　已交班"));
    m_ui->标签_时间->setText(timeOf(closing.opened, true) + QStringLiteral(" 至 ") + timeOf(closing.closedAt, true));
    box(u"备用金")->setReadOnly(true);
    box(u"留存备用金")->setText(shiftMoney(left));
    for (QWidget* w : { static_cast<QWidget*>(box(u"留存备用金")), static_cast<QWidget*>(m_ui->编辑框_备注),
             static_cast<QWidget*>(m_ui->按钮_确认交班) })
        w->setEnabled(false);
    refreshHistory(closing.number);
}

void ShiftWindow::refreshHistory(int select)
{
    QTreeWidget* list = m_ui->列表框_历史;
    list->clear();
    QVector<ShiftRecord> closed;
    QString error;
    if (!readClosedShifts(m_db, closed, 500, &error))
        showStoreError(error);
    for (const ShiftRecord& s : std::as_const(closed)) {
        auto* item = new QTreeWidgetItem({ QString::number(s.number), s.operatorName, timeOf(s.opened, false),
            timeOf(s.closedAt, false), shiftMoney(s.expected), shiftMoney(s.counted), shiftMoney(s.difference) });
        for (int c = 4; c <= 6; ++c)
            item->setTextAlignment(c, Qt::AlignRight | Qt::AlignVCenter);
        if (!differenceKind(s.difference).isEmpty())
            item->setForeground(6, Qt::red);
        list->addTopLevelItem(item);
        if (s.number == select)
            list->setCurrentItem(item);
    }
    m_ui->按钮_打印->setEnabled(list->currentItem() != nullptr);
    m_ui->按钮_导出->setEnabled(list->currentItem() != nullptr);
}

bool ShiftWindow::pickedShift(ShiftRecord& shift, ShiftTotals& totals)
{
    const QTreeWidgetItem* item = m_ui->列表框_历史->currentItem();
    if (!item) {
        messageBox(QStringLiteral("请选择已交班的班次！"), MbOk | MbExclamation, windowTitle());
        return false;
    }
    QString error;
    if (!readShift(m_db, item->text(0).toInt(), shift, &error) || !readShiftTotals(m_db, shift.number, totals, &error)) {
        showStoreError(error);
        return false;
    }
    return true;
}

void ShiftWindow::printSlip()
{
    ShiftRecord shift;
    ShiftTotals totals;
    if (!pickedShift(shift, totals))
        return;
    QTextDocument slip;
    slip.setHtml(slipHtml(shift, totals));
    QString error;
    auto* printer = qobject_cast<SlipPrinter*>(seams::loadPlugin(QStringLiteral("langtuo-print"), LANGTUO_SLIP_PRINTER_IID, &error));
    const QString printerName = printer ? printer->defaultPrinter() : QString();
    if (!printerName.isEmpty()) {
        printer->print(slip);
        messageBox(QStringLiteral("交班单已送往打印机") + printerName + QStringLiteral("。"), MbOk, windowTitle());
        return;
    }
    if (!printer)
        messageBox(QStringLiteral("打印组件无法加载：") + error + QStringLiteral("。交班单将保存为PDF文件。"),
            MbOk | MbExclamation, windowTitle());
    // No printer set up: the slip becomes a PDF file, written whole or not at all.
    const QString path = seams::chooseSaveFile(QStringLiteral("保存交班单"),
        QStringLiteral("交班单_第") + QString::number(shift.number) + QStringLiteral("班.pdf"));
    if (path.isEmpty())
        return;
    QBuffer pdf;
    pdf.open(QIODevice::WriteOnly);
    {
        QPdfWriter out(&pdf);
        out.setPageSize(QPageSize(QPageSize::A5));
        out.setResolution(1200);
        slip.print(&out);
    }
    // Made in memory and saved as the exports are: a full disk leaves the old file, not half a
    // new one.
    QString why;
    if (!saveWholeFile(path, pdf.data(), &why))
        showStoreError(why);
}

void ShiftWindow::exportSlip()
{
    ShiftRecord shift;
    ShiftTotals totals;
    if (!pickedShift(shift, totals))
        return;
    const QString path = seams::chooseSaveFile(QStringLiteral("导出交班单"),
        QStringLiteral("交班单_第") + QString::number(shift.number) + QStringLiteral("班.csv"));
    if (path.isEmpty())
        return;
    QString error;
    if (!saveWholeFile(path, slipCsv(shift, totals), &error))
        showStoreError(error);
}
