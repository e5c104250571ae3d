#include "columnkinds.h"

#include <cmath>

ColumnKind kindOfDecl(const QString& decl)
{
    const QString d = decl.toUpper();
    using K = ColumnKind;
    if (d.isEmpty())
        return K::Unknown;
    if (d.contains(u"CHAR") || d.contains(u"TEXT") || d.contains(u"MEMO") || d.contains(u"CLOB"))
        return K::Text;
    if (d.contains(u"MONEY") || d.contains(u"CURRENCY"))
        return K::Currency;
    if (d.contains(u"SINGLE"))
        return K::Single;
    if (d.contains(u"DATE") || d.contains(u"TIME"))
        return K::DateTime;
    if (d.contains(u"INT") || d.contains(u"BYTE") || d.contains(u"LONG") || d.contains(u"COUNTER"))
        return K::Integer;
    if (d.contains(u"DOUB") || d.contains(u"REAL") || d.contains(u"FLOA") || d.contains(u"NUMERIC")
        || d.contains(u"DECIMAL"))
        return K::Double;
    return K::Unknown;
}

bool isNumericKind(ColumnKind k)
{
    return k == ColumnKind::Single || k == ColumnKind::Double || k == ColumnKind::Currency;
}

double toCurrency(double v) { return std::round(v * 10000.0) / 10000.0; }
