#pragma once

#include <QObject>

class QLineEdit;

// Refuses typed characters that an edit box's input mode does not allow.
class InputFilter : public QObject {
    Q_OBJECT
public:
    enum Mode {
        WholeNumber, // digits and the minus sign
        Decimal, // digits, the minus sign and the decimal point
        GridNumber // a number or money cell of a grid; refusals beep
    };

    static void attach(QLineEdit* edit, Mode mode);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    InputFilter(QLineEdit* edit, Mode mode);
    Mode m_mode;
};
