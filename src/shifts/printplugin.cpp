#include "printplugin.h"

#include <QPrinter>
#include <QPrinterInfo>
#include <QTextDocument>

QString PrintPlugin::defaultPrinter() const { return QPrinterInfo::defaultPrinter().printerName(); }

void PrintPlugin::print(const QTextDocument& document)
{
    QPrinter out(QPrinterInfo::defaultPrinter());
    document.print(&out);
}
