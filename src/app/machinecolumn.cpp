#include "machinecolumn.h"

#include "common/seams.h"
#include "common/values.h"
#include "widgets/egrid.h"
#include "widgets/windows.h"

#include <QCoreApplication>
#include <QKeyEvent>
#include <QPushButton>
#include <QScrollBar>

MachineColumn::MachineColumn(EGrid* grid, QPushButton* model, const CounterState& state, QObject* parent)
    : QObject(parent)
    , m_grid(grid)
    , m_model(model)
    , m_state(state)
    , m_strip(new QWidget(model->parentWidget()))
    , m_column(new QWidget(m_strip))
{
    m_strip->setObjectName(QStringLiteral("机器按钮栏"));
    m_strip->setGeometry(model->x(), grid->y(), model->width(), grid->height());
    m_strip->installEventFilter(this);
    m_strip->show();
    m_grid->installEventFilter(this);
    connect(m_grid->verticalScrollBar(), &QScrollBar::valueChanged, this, &MachineColumn::followGridScroll);
}

void MachineColumn::showState(QPushButton* button, int machineNo, bool timing)
{
    button->setText(toText(machineNo) + (timing ? QStringLiteral("号停止") : QStringLiteral("号开始")));
    QFont font = button->font();
    font.setBold(timing);
    button->setFont(font);
}

void MachineColumn::rebuild(const std::function<bool(int)>& isTiming)
{
    // Deleted later: the click that changed the list may still be on the stack of one of them.
    for (QPushButton* b : std::as_const(m_buttons)) {
        b->hide();
        b->deleteLater();
    }
    m_buttons.clear();
    const int step = m_model->height() + 4;
    const int top = m_model->y() - m_grid->y();
    int i = 0;
    for (const MachineSlot& m : m_state.machines) {
        ++i;
        QPushButton* b = copyControl(m_model);
        b->setParent(m_column);
        b->setObjectName(m_model->objectName() + QStringLiteral("_%1").arg(m.number));
        b->move(0, top + i * step);
        showState(b, m.number, isTiming(m.number));
        if (!m.name.isEmpty())
            b->setAccessibleDescription(m.name);
        setTag(b, toText(m.number));
        b->setVisible(true);
        b->installEventFilter(this);
        connect(b, &QPushButton::clicked, this, [this, b] { emit clicked(b); });
        m_buttons.insert(m.number, b);
    }
    m_column->setGeometry(0, 0, m_model->width(), top + (i + 1) * step);
    followGridScroll(m_grid->verticalScrollBar()->value());
    m_model->setVisible(false);
}

void MachineColumn::followGridScroll(int firstRow) { m_column->move(0, -firstRow * m_grid->rowHeight(0)); }

bool MachineColumn::findTypedMachine(QKeyEvent* key)
{
    EGridModel& cells = m_grid->cells();
    const int row = cells.getCurrentRow();
    const int column = cells.getCurrentColumn() < 0 ? 0 : cells.getCurrentColumn();
    // In 定时 and 押金 digits are the cell's own.
    if (key->text().size() != 1 || !key->text().at(0).isDigit() || (row >= 1 && !cells.isReadOnly(row, column)))
        return false;
    const qint64 moment = qint64(now().days * 86400000.0);
    if (moment - m_typedAt > 1500 || m_typedNumber.size() >= 3)
        m_typedNumber.clear();
    m_typedAt = moment;
    m_typedNumber += key->text();
    const int found = m_state.rowOf(toInteger(m_typedNumber));
    if (found > 0) {
        cells.setCurrentCell(found, column);
        m_grid->scrollTo(m_grid->model()->index(found, column));
    }
    return true;
}

bool MachineColumn::eventFilter(QObject* watched, QEvent* event)
{
    // The wheel over the buttons scrolls the grid, which the buttons follow.
    if (event->type() == QEvent::Wheel && (watched == m_strip || watched->parent() == m_column)) {
        QCoreApplication::sendEvent(m_grid->verticalScrollBar(), event);
        return true;
    }
    if (watched == m_grid && event->type() == QEvent::KeyPress)
        return findTypedMachine(static_cast<QKeyEvent*>(event));
    return QObject::eventFilter(watched, event);
}
