#pragma once

#include <QStatusBar>
#include <QVector>

class QLabel;

// A status bar made of parts of fixed widths; a width of -1 takes the rest of the row.
class PartStatusBar : public QStatusBar {
    Q_OBJECT
public:
    explicit PartStatusBar(QWidget* parent = nullptr);
    void setParts(const QVector<int>& widths);
    void setStatusText(int part, const QString& text);
    QString statusText(int part) const;
    QLabel* part(int index) const;

private:
    QVector<QLabel*> m_parts;
};
