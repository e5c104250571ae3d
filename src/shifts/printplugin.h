#pragma once

#include "shifts/slipprinter.h"

#include <QObject>

// The plugin's one object: the default printer of the system.
class PrintPlugin : public QObject, public SlipPrinter {
    Q_OBJECT
    Q_PLUGIN_METADATA(IID LANGTUO_SLIP_PRINTER_IID)
    Q_INTERFACES(SlipPrinter)
public:
    QString defaultPrinter() const override;
    void print(const QTextDocument& document) override;
};
