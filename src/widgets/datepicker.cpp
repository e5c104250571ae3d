#include "datepicker.h"

DatePicker::DatePicker(QWidget* parent)
    : QDateTimeEdit(parent)
{
    setCalendarPopup(true);
    setDisplayFormat(QStringLiteral("yyyy-MM-dd"));
    setDateTime(now().toQDateTime());
}

DateTime DatePicker::value() const { return DateTime::fromQDateTime(dateTime()); }

void DatePicker::setValue(DateTime t) { setDateTime(t.toQDateTime()); }
