#include "partstatusbar.h"

#include <QLabel>

PartStatusBar::PartStatusBar(QWidget* parent)
    : QStatusBar(parent)
{
    setSizeGripEnabled(false);
}

void PartStatusBar::setParts(const QVector<int>& widths)
{
    qDeleteAll(m_parts);
    m_parts.clear();
    for (int i = 0; i < widths.size(); ++i) {
        auto* label = new QLabel(this);
        label->setObjectName(objectName() + QStringLiteral("_%1").arg(i));
        if (widths[i] >= 0)
            label->setFixedWidth(widths[i]);
        addWidget(label, widths[i] < 0 ? 1 : 0);
        m_parts.append(label);
    }
}

void PartStatusBar::setStatusText(int part, const QString& text)
{
    if (part >= 0 && part < m_parts.size()) {
        m_parts[part]->setText(text);
        m_parts[part]->setAccessibleName(text);
    }
}

QString PartStatusBar::statusText(int part) const
{
    return part >= 0 && part < m_parts.size() ? m_parts[part]->text() : QString();
}

QLabel* PartStatusBar::part(int index) const { return m_parts.value(index); }

