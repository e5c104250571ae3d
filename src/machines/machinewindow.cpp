#include "machinewindow.h"

#include "common/seams.h"
#include "store/database.h"
#include "store/machinetable.h"
#include "ui_machinewindow.h"
#include "widgets/windows.h"

#include <QColor>
#include <QRegularExpressionValidator>

#include <algorithm>

namespace {

enum Column { Number, Name, Zone, CounterName };

// Light enough that the black text of a row stays easy to read.
const QVector<QPair<QString, QString>>& colourChoices()
{
    static const QVector<QPair<QString, QString>> choices { { QStringLiteral("无"), QString() },
        { QStringLiteral("浅黄"), QStringLiteral("#fff3c4") },
        { QStringLiteral("浅绿"), QStringLiteral("#d8f5d0") },
        { QStringLiteral("浅红"), QStringLiteral("#fbd9d9") },
        { QStringLiteral("浅蓝"), QStringLiteral("#d6e8fb") },
        { QStringLiteral("浅紫"), QStringLiteral("#e8dcf7") } };
    return choices;
}

// What a typed number box gives the store: an empty box is 0 (no end), text that is no number
// one the store refuses as out of range.
int typedNumber(const QString& text)
{
    bool ok = false;
    const int n = text.trimmed().toInt(&ok);
    return text.trimmed().isEmpty() ? 0 : ok ? n : -1;
}

} // namespace

MachineWindow::MachineWindow(Database& db, std::function<bool(int)> isOpen, QWidget* parent)
    : QDialog(parent)
    , m_ui(std::make_unique<Ui::MachineWindow>())
    , m_db(db)
    , m_isOpen(std::move(isOpen))
{
    m_ui->setupUi(this);
    layOutDialog(this, parent);
    QTreeWidget* list = m_ui->超级列表框1;
    // Which counter times a machine matters only where several share the store.
    const bool shared = sharedByCounters(m_db);
    for (QWidget* w : std::initializer_list<QWidget*> { m_ui->标签_柜台, m_ui->编辑框_柜台, m_ui->按钮_设柜台 })
        w->setVisible(shared);
    list->setHeaderLabels(shared ? QStringList { QStringLiteral("机号"), QStringLiteral("名称"), QStringLiteral("区域"),
                                       QStringLiteral("柜台") }
                                 : QStringList { QStringLiteral("机号"), QStringLiteral("名称"), QStringLiteral("区域") });
    list->setColumnWidth(Number, 50);
    // With the counter's column beside them, name and zone make room for it.
    list->setColumnWidth(Name, shared ? 90 : 130);
    if (shared)
        list->setColumnWidth(Zone, 70);
    const auto* digits = new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]*")), this);
    m_ui->编辑框_从->setValidator(digits);
    m_ui->编辑框_到->setValidator(digits);
    for (const auto& [text, colour] : colourChoices()) {
        m_ui->组合框_颜色->addItem(text, colour);
        if (!colour.isEmpty())
            m_ui->组合框_颜色->setItemData(
                m_ui->组合框_颜色->count() - 1, QColor(colour), Qt::BackgroundRole);
    }
    connect(list, &QTreeWidget::itemSelectionChanged, this, &MachineWindow::pick);
    connect(m_ui->组合框_区域, &QComboBox::currentTextChanged, this, &MachineWindow::zonePicked);
    connect(m_ui->按钮_添加, &QPushButton::clicked, this, &MachineWindow::add);
    connect(m_ui->按钮_删除, &QPushButton::clicked, this, &MachineWindow::remove);
    connect(m_ui->按钮_设为, &QPushButton::clicked, this, &MachineWindow::setZone);
    connect(m_ui->按钮_改名, &QPushButton::clicked, this, &MachineWindow::rename);
    connect(m_ui->按钮_新增区域, &QPushButton::clicked, this, &MachineWindow::addZone);
    connect(m_ui->按钮_删除区域, &QPushButton::clicked, this, &MachineWindow::removeZone);
    connect(m_ui->按钮_设颜色, &QPushButton::clicked, this, &MachineWindow::setColour);
    connect(m_ui->按钮_设柜台, &QPushButton::clicked, this, &MachineWindow::setCounter);
    connect(m_ui->按钮_关闭, &QPushButton::clicked, this, &QDialog::accept);
    refresh();
}

MachineWindow::~MachineWindow() = default;

void MachineWindow::refresh()
{
    MachineSetup setup;
    QString error;
    if (!readMachines(m_db, setup, &error)) {
        showStoreError(error);
        return;
    }
    // The operator goes on with the machines and the zone they had picked.
    const QVector<int> keep = picked();
    const QString zone = m_ui->组合框_区域->currentText();
    m_colours.clear();
    for (const ZoneInfo& z : std::as_const(setup.zones))
        m_colours.insert(z.name, z.colour);
    QTreeWidget* list = m_ui->超级列表框1;
    {
        const QSignalBlocker quiet(list);
        list->clear();
        for (const MachineInfo& m : std::as_const(setup.machines)) {
            auto* item = new QTreeWidgetItem({ QString::number(m.number), m.name, m.zone, m.counter });
            item->setTextAlignment(Number, Qt::AlignRight | Qt::AlignVCenter);
            const QString colour = m_colours.value(m.zone);
            for (int c = Number; c <= CounterName && !colour.isEmpty(); ++c)
                item->setBackground(c, QColor(colour));
            list->addTopLevelItem(item);
            item->setSelected(keep.contains(m.number));
        }
    }
    {
        const QSignalBlocker quiet(m_ui->组合框_区域);
        m_ui->组合框_区域->clear();
        for (const ZoneInfo& z : std::as_const(setup.zones))
            m_ui->组合框_区域->addItem(z.name);
        m_ui->组合框_区域->setCurrentIndex(std::max(0, m_ui->组合框_区域->findText(zone)));
    }
    zonePicked();
    pick();
}

QVector<int> MachineWindow::picked() const
{
    QVector<int> numbers;
    for (const QTreeWidgetItem* item : m_ui->超级列表框1->selectedItems())
        numbers.append(item->text(Number).toInt());
    std::sort(numbers.begin(), numbers.end());
    return numbers;
}

void MachineWindow::pick()
{
    const QList<QTreeWidgetItem*> items = m_ui->超级列表框1->selectedItems();
    if (items.size() == 1) {
        m_ui->编辑框_名称->setText(items[0]->text(Name));
        m_ui->编辑框_柜台->setText(items[0]->text(CounterName));
    }
}

void MachineWindow::zonePicked()
{
    const int choice = m_ui->组合框_颜色->findData(m_colours.value(m_ui->组合框_区域->currentText()));
    m_ui->组合框_颜色->setCurrentIndex(std::max(0, choice));
}

void MachineWindow::refuse(const QString& text) { messageBox(text, MbOk | MbExclamation, windowTitle()); }

bool MachineWindow::stored(bool ok, const QString& error)
{
    if (!ok) {
        // A file that went away is an outage, told as such; anything else is the store's refusal.
        if (!m_db.isOpen())
            showStoreError(error);
        else if (!error.isEmpty())
            refuse(error);
        return false;
    }
    m_changed = true;
    refresh();
    return true;
}

void MachineWindow::add()
{
    QString error;
    const bool ok = addMachines(m_db, typedNumber(m_ui->编辑框_从->text()),
        typedNumber(m_ui->编辑框_到->text()), m_ui->组合框_区域->currentText(), &error);
    if (ok) {
        m_ui->编辑框_从->clear();
        m_ui->编辑框_到->clear();
    }
    stored(ok, error);
}

void MachineWindow::remove()
{
    const QVector<int> numbers = picked();
    for (int n : numbers) {
        if (m_isOpen && m_isOpen(n)) {
            refuse(QStringLiteral("%1号机正在计时或等待结帐，不能删除！").arg(n));
            return;
        }
    }
    QString error;
    stored(removeMachines(m_db, numbers, &error), error);
}

void MachineWindow::setCounter()
{
    const QVector<int> numbers = picked();
    // A usage under way stays with the counter that started it, which alone can settle it.
    for (int n : numbers) {
        if (m_isOpen && m_isOpen(n)) {
            refuse(QStringLiteral("%1号机正在计时或等待结帐，不能改柜台！").arg(n));
            return;
        }
    }
    if (numbers.isEmpty()) {
        refuse(QStringLiteral("请选择机器！"));
        return;
    }
    QString error;
    stored(setMachineCounter(m_db, numbers, m_ui->编辑框_柜台->text(), &error), error);
}

void MachineWindow::setZone()
{
    QString error;
    stored(setMachineZone(m_db, picked(), m_ui->组合框_区域->currentText(), &error), error);
}

void MachineWindow::rename()
{
    const QVector<int> numbers = picked();
    if (numbers.size() != 1) {
        refuse(QStringLiteral("请选择一台机器！"));
        return;
    }
    QString error;
    stored(renameMachine(m_db, numbers[0], m_ui->编辑框_名称->text(), &error), error);
}

void MachineWindow::addZone()
{
    const QString name = m_ui->编辑框_区域名称->text().trimmed();
    QString error;
    if (!stored(::addZone(m_db, name, m_ui->组合框_颜色->currentData().toString(), &error), error))
        return;
    // A new zone is made to be filled: the next 设为 or 添加 goes into it.
    m_ui->编辑框_区域名称->clear();
    m_ui->组合框_区域->setCurrentText(name);
}

void MachineWindow::removeZone()
{
    QString error;
    stored(::removeZone(m_db, m_ui->组合框_区域->currentText(), &error), error);
}

void MachineWindow::setColour()
{
    QString error;
    stored(setZoneColour(
               m_db, m_ui->组合框_区域->currentText(), m_ui->组合框_颜色->currentData().toString(), &error),
        error);
}
