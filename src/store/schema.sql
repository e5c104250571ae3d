-- The delivered database date.mdb. The program never creates, alters or drops these tables;
-- the build makes a fresh file from this script when none exists.
-- Declared types: TEXT, MONEY (currency, four decimal places), SINGLE (single precision),
-- INTEGER, DATETIME (stored as 'yyyy-mm-dd hh:mm:ss' text, so it compares by day).

CREATE TABLE 会员表 (
    会员编号 TEXT,
    面值 MONEY,
    使用额 MONEY,
    余额 MONEY
);

-- Two cards with one number would both be debited by one checkout.
CREATE UNIQUE INDEX 会员表_会员编号 ON 会员表 (会员编号);

CREATE TABLE 商品表 (
    商品名称 TEXT,
    单价 SINGLE
);

CREATE INDEX 商品表_商品名称 ON 商品表 (商品名称);

CREATE TABLE 收入记录 (
    日期 DATETIME,
    机号 INTEGER,
    收入类型 TEXT,
    收入名称 TEXT,
    收入金额 MONEY
);

-- The report and the daily detail read by day.
CREATE INDEX 收入记录_日期 ON 收入记录 (日期);

-- The report's two views sum one income type per day: this index answers each of them
-- without touching the table.
CREATE INDEX 收入记录_类型日期 ON 收入记录 (收入类型, 日期, 收入金额);
