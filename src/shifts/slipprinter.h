#pragma once

#include <QString>
#include <QtPlugin>

class QTextDocument;

// Printing is a plugin of the program's own (langtuo-print), which alone carries Qt's printing
// support: the counter loads it when a slip is first printed.
class SlipPrinter {
public:
    virtual ~SlipPrinter() = default;
    // The printer the system prints on, empty when none is set up.
    virtual QString defaultPrinter() const = 0;
    virtual void print(const QTextDocument& document) = 0;
};

#define LANGTUO_SLIP_PRINTER_IID "cn.langtuo.Counter.SlipPrinter/1"
Q_DECLARE_INTERFACE(SlipPrinter, LANGTUO_SLIP_PRINTER_IID)
