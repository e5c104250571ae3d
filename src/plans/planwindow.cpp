#include "planwindow.h"

#include "common/seams.h"
#include "counter/plantext.h"
#include "store/database.h"
#include "store/machinetable.h"
#include "store/plantable.h"
#include "ui_planwindow.h"
#include "widgets/windows.h"

#include <QHeaderView>
#include <QTableWidget>

namespace {

QVector<QStringList> rowsOf(const QTableWidget* table)
{
    QVector<QStringList> rows;
    for (int r = 0; r < table->rowCount(); ++r) {
        QStringList cells;
        for (int c = 0; c < table->columnCount(); ++c)
            cells.append(table->item(r, c) ? table->item(r, c)->text().trimmed() : QString());
        rows.append(cells);
    }
    return rows;
}

void appendRow(QTableWidget* table, const QStringList& cells)
{
    const int r = table->rowCount();
    table->insertRow(r);
    for (int c = 0; c < table->columnCount(); ++c)
        table->setItem(r, c, new QTableWidgetItem(cells.value(c)));
}

void setUp(QTableWidget* table, const QStringList& titles)
{
    table->setColumnCount(int(titles.size()));
    table->setHorizontalHeaderLabels(titles);
    table->horizontalHeader()->setStretchLastSection(true);
    table->verticalHeader()->setDefaultSectionSize(22);
    table->setSelectionBehavior(QAbstractItemView::SelectRows);
    table->setSelectionMode(QAbstractItemView::SingleSelection);
}

void removeCurrent(QTableWidget* table)
{
    const int r = table->currentRow();
    if (r >= 0)
        table->removeRow(r);
}

} // namespace

PlanWindow::PlanWindow(Database& db, const QString& rateText, QWidget* parent)
    : QDialog(parent)
    , m_ui(std::make_unique<Ui::PlanWindow>())
    , m_db(db)
    , m_rateText(rateText)
{
    m_ui->setupUi(this);
    layOutDialog(this, parent);
    setUp(m_ui->表格_时段, { QStringLiteral("开始"), QStringLiteral("结束"), QStringLiteral("每小时"), QStringLiteral("封顶") });
    setUp(m_ui->表格_套餐,
        { QStringLiteral("名称"), QStringLiteral("开始"), QStringLiteral("结束"), QStringLiteral("时长"), QStringLiteral("价格") });
    for (int c = 0; c < 4; ++c)
        m_ui->表格_时段->setColumnWidth(c, 100);
    m_ui->表格_套餐->setColumnWidth(0, 100);
    for (int c = 1; c < 5; ++c)
        m_ui->表格_套餐->setColumnWidth(c, 76);
    connect(m_ui->按钮_新增时段, &QPushButton::clicked, this, &PlanWindow::addBand);
    connect(m_ui->按钮_删除时段, &QPushButton::clicked, this, &PlanWindow::removeBand);
    connect(m_ui->按钮_新增套餐, &QPushButton::clicked, this, &PlanWindow::addPackage);
    connect(m_ui->按钮_删除套餐, &QPushButton::clicked, this, &PlanWindow::removePackage);
    connect(m_ui->按钮_保存, &QPushButton::clicked, this, &PlanWindow::save);
    connect(m_ui->按钮_关闭, &QPushButton::clicked, this, &PlanWindow::reject);
    connect(m_ui->组合框_区域, &QComboBox::currentTextChanged, this, &PlanWindow::zonePicked);
    read();
}

PlanWindow::~PlanWindow() = default;

void PlanWindow::read()
{
    MachineSetup setup;
    QVector<StoredPlan> plans;
    QString error;
    if (!readMachines(m_db, setup, &error) || !readPlans(m_db, plans, &error)) {
        showStoreError(error);
        setup = defaultMachineSetup();
    }
    m_stored.clear();
    for (const StoredPlan& p : std::as_const(plans))
        m_stored.insert(p.zone, { p.enabled, p.text, p.version });
    const QSignalBlocker quiet(m_ui->组合框_区域);
    m_ui->组合框_区域->clear();
    for (const ZoneInfo& zone : std::as_const(setup.zones))
        m_ui->组合框_区域->addItem(zone.name);
    m_ui->组合框_区域->setCurrentIndex(std::max(0, m_ui->组合框_区域->findText(m_zone)));
    showZone(m_ui->组合框_区域->currentText());
}

void PlanWindow::showZone(const QString& zone)
{
    m_zone = zone;
    TypedPlan plan;
    const auto it = m_stored.constFind(zone);
    if (it != m_stored.constEnd()) {
        plan = typedPlanOf(it->text);
    } else {
        // What the zone bills now, written as a plan: one band all day at the rate box.
        plan.bands.append({ QStringLiteral("00:00"), QStringLiteral("24:00"), m_rateText, QString() });
        plan.unit = QStringLiteral("1");
        plan.minimum = QStringLiteral("0");
        plan.grace = QStringLiteral("0");
        plan.discount = QStringLiteral("10");
    }
    m_ui->选择框_使用计费方案->setChecked(it != m_stored.constEnd() && it->enabled);
    for (QTableWidget* table : { m_ui->表格_时段, m_ui->表格_套餐 })
        table->setRowCount(0);
    for (const QStringList& band : std::as_const(plan.bands))
        appendRow(m_ui->表格_时段, band);
    for (const QStringList& package : std::as_const(plan.packages))
        appendRow(m_ui->表格_套餐, package);
    m_ui->编辑框_计费单位->setText(plan.unit);
    m_ui->编辑框_起步分钟->setText(plan.minimum);
    m_ui->编辑框_免费分钟->setText(plan.grace);
    m_ui->编辑框_会员折扣->setText(plan.discount);
    m_ui->标签_状态->setText(it != m_stored.constEnd() ? QStringLiteral("第%1版").arg(it->version)
                                                      : QStringLiteral("还没有计费方案"));
    m_shownEnabled = m_ui->选择框_使用计费方案->isChecked();
    m_shownText = typedText();
}

TypedPlan PlanWindow::typed() const
{
    TypedPlan t;
    t.bands = rowsOf(m_ui->表格_时段);
    t.packages = rowsOf(m_ui->表格_套餐);
    t.unit = m_ui->编辑框_计费单位->text().trimmed();
    t.minimum = m_ui->编辑框_起步分钟->text().trimmed();
    t.grace = m_ui->编辑框_免费分钟->text().trimmed();
    t.discount = m_ui->编辑框_会员折扣->text().trimmed();
    return t;
}

QString PlanWindow::typedText() const
{
    // A plan typed again as it reads (8.50 for 8.5) is the same plan.
    PricePlan plan;
    const TypedPlan now = typed();
    return planRefusal(now, plan).isEmpty() ? typedPlanText(typedOf(plan)) : typedPlanText(now);
}

bool PlanWindow::edited() const
{
    return m_shownEnabled != m_ui->选择框_使用计费方案->isChecked() || m_shownText != typedText();
}

void PlanWindow::save()
{
    const TypedPlan now = typed();
    PricePlan plan;
    const QString refusal = planRefusal(now, plan);
    const bool enabled = m_ui->选择框_使用计费方案->isChecked();
    // A plan that is off may wait half typed; one that bills must be whole.
    if (enabled && !refusal.isEmpty()) {
        messageBox(refusal, MbOk | MbExclamation, windowTitle());
        return;
    }
    if (!edited()) {
        m_ui->标签_状态->setText(QStringLiteral("计费方案没有改动"));
        return;
    }
    StoredPlan stored { 0, m_zone, enabled, refusal.isEmpty() ? typedPlanText(typedOf(plan)) : typedPlanText(now) };
    const auto it = m_stored.constFind(m_zone);
    PricePlan before;
    const QString beforeText = it == m_stored.constEnd() ? QStringLiteral("无")
        : !it->enabled                                   ? QStringLiteral("不用计费方案")
        : planRefusal(typedPlanOf(it->text), before).isEmpty() ? describePlan(before)
                                                               : it->text;
    const QString afterText = !enabled ? QStringLiteral("不用计费方案") : describePlan(plan);
    QString error;
    if (!savePlan(m_db, stored, beforeText, afterText, &error)) {
        showStoreError(error);
        return;
    }
    m_changed = true;
    m_stored.insert(m_zone, { stored.enabled, stored.text, stored.version });
    showZone(m_zone);
    m_ui->标签_状态->setText(QStringLiteral("已保存为第%1版").arg(stored.version));
}

void PlanWindow::addBand()
{
    // Most plans go on where the last band ended.
    const QVector<QStringList> rows = rowsOf(m_ui->表格_时段);
    const QString from = rows.isEmpty() ? QStringLiteral("00:00") : rows.last().value(1);
    appendRow(m_ui->表格_时段, { from, QString(), QString(), QString() });
    m_ui->表格_时段->setCurrentCell(m_ui->表格_时段->rowCount() - 1, 1);
}

void PlanWindow::removeBand() { removeCurrent(m_ui->表格_时段); }

void PlanWindow::addPackage()
{
    appendRow(m_ui->表格_套餐, {});
    m_ui->表格_套餐->setCurrentCell(m_ui->表格_套餐->rowCount() - 1, 0);
}

void PlanWindow::removePackage() { removeCurrent(m_ui->表格_套餐); }

void PlanWindow::zonePicked()
{
    const QString picked = m_ui->组合框_区域->currentText();
    if (picked == m_zone)
        return;
    const QString next = picked;
    {
        // Asked on the zone still shown.
        const QSignalBlocker quiet(m_ui->组合框_区域);
        m_ui->组合框_区域->setCurrentIndex(m_ui->组合框_区域->findText(m_zone));
        if (!mayLeave())
            return;
        m_ui->组合框_区域->setCurrentIndex(m_ui->组合框_区域->findText(next));
    }
    showZone(next);
}

bool PlanWindow::mayLeave()
{
    return !edited()
        || messageBox(QStringLiteral("计费方案还没有保存，是否放弃修改？"), MbYesNo | MbQuestion, windowTitle()) == AnswerYes;
}

void PlanWindow::reject()
{
    if (mayLeave())
        QDialog::reject();
}
