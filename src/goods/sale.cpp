#include "sale.h"

#include "store/goodstable.h"
#include "common/egridmodel.h"
#include "store/database.h"
#include "store/recordset.h"

#include <cmath>

void setupSaleGrid(EGridModel& grid)
{
    using G = EGridModel;
    grid.setGridColumnCount(SaleColumn::Count);
    grid.setGridRowCount(kSaleRows);
    grid.setShowZero(true);
    for (int c = 0; c < SaleColumn::Count; ++c)
        grid.setColumnWidth(c, 60);

    grid.setAlignment(0, 0, kSaleRows - 1, SaleColumn::Count - 1, G::AlignCentre);
    static const char16_t* const titles[] = { u"商品", u"单价", u"数量", u"金额" };
    static const int widths[] = { 150, 60, 50, 80 };
    for (int c = 0; c < SaleColumn::Count; ++c) {
        grid.setCell(0, c, QString::fromUtf16(titles[c]));
        grid.setColumnWidth(c, widths[c]);
    }

    grid.setColumnType(SaleColumn::Price, G::MoneyColumn);
    grid.setDecimals(SaleColumn::Price, 2);
    grid.setColumnType(SaleColumn::Quantity, G::NumberColumn);
    grid.setColumnType(SaleColumn::Amount, G::MoneyColumn);
    grid.setDecimals(SaleColumn::Amount, 2);
    grid.setFormula(SaleColumn::Price, SaleColumn::Quantity, G::Multiply, SaleColumn::Amount);
    grid.setColumnType(SaleColumn::Goods, G::DropDownColumn);
}

void emptySaleLines(EGridModel& grid)
{
    // Clearing the cells would store zeros into them (show-zero is on); dropping the lines and
    // adding them again leaves them as new, and forgets the goods picked in them.
    grid.setGridRowCount(1);
    grid.setGridRowCount(kSaleRows);
    grid.setAlignment(1, 0, kSaleRows - 1, SaleColumn::Count - 1, EGridModel::AlignCentre);
}

QStringList goodsNames(RecordSet& rs)
{
    QStringList names;
    for (const GoodsItem& item : readCatalogue(rs))
        names.append(item.name);
    return names;
}

int lineOutOfRange(const EGridModel& grid)
{
    for (int r = 1; r < kSaleRows && r < grid.gridRowCount(); ++r) {
        for (int c : { SaleColumn::Price, SaleColumn::Quantity, SaleColumn::Amount })
            if (!isMoneyText(grid.getCell(r, c)))
                return r;
    }
    return 0;
}

float saleTotal(const EGridModel& grid)
{
    float sum = 0.0f;
    for (int r = 1; r < grid.gridRowCount(); ++r)
        sum = float(double(sum) + double(toSingle(grid.getCell(r, SaleColumn::Amount))));
    return sum;
}

QVector<IncomeRow> saleIncomeRows(const EGridModel& grid, int machineNo, DateTime day)
{
    QVector<IncomeRow> rows;
    for (int r = 1; r < kSaleRows; ++r) {
        const float amount = toSingle(grid.getCell(r, SaleColumn::Amount));
        if (!isNonZero(amount))
            continue;
        // The line's two decimals as they stand, not the single's 10.0100002.
        rows.append({ day, machineNo, QStringLiteral("商品销售"), grid.getCell(r, SaleColumn::Goods),
            toCents(toNumber(grid.getCell(r, SaleColumn::Amount))) });
    }
    return rows;
}
