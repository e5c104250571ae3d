#pragma once

#include "common/values.h"

#include <QDateTimeEdit>

// A date picker; one laid out without a stored date opens on the current date and time.
class DatePicker : public QDateTimeEdit {
    Q_OBJECT
public:
    explicit DatePicker(QWidget* parent = nullptr);
    DateTime value() const;
    void setValue(DateTime t);
};
