#include "backupwindow.h"

#include "backuprunner.h"
#include "common/csv.h"
#include "common/seams.h"
#include "common/values.h"
#include "ui_backupwindow.h"
#include "widgets/windows.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>

namespace {


QString sizeOf(qint64 bytes)
{
    return bytes >= 1 << 20 ? QString::number(double(bytes) / double(1 << 20), 'f', 1) + QStringLiteral(" MB")
                            : QString::number((bytes + 1023) / 1024) + QStringLiteral(" KB");
}

QString ageOf(DateTime then)
{
    const qint64 minutes = qint64((now().days - then.days) * 24.0 * 60.0 + 0.5);
    if (minutes < 60)
        return QString::number(std::max<qint64>(minutes, 0)) + QStringLiteral("分钟前");
    if (minutes < 48 * 60)
        return QString::number(minutes / 60) + QStringLiteral("小时前");
    return QString::number(minutes / (24 * 60)) + QStringLiteral("天前");
}

} // namespace

BackupWindow::BackupWindow(BackupRunner& runner, const QString& busyReason, QWidget* parent)
    : QDialog(parent)
    , m_ui(std::make_unique<Ui::BackupWindow>())
    , m_runner(runner)
    , m_busyReason(busyReason)
{
    m_ui->setupUi(this);
    layOutDialog(this, nullptr);
    m_ui->列表框_备份->setHeaderLabels({ QStringLiteral("时间"), QStringLiteral("大小"), QStringLiteral("校验") });
    m_ui->列表框_备份->setRootIsDecorated(false);
    m_ui->列表框_备份->setColumnWidth(0, 170);
    m_ui->列表框_备份->setColumnWidth(1, 100);
    m_ui->进度条_备份->setRange(0, 0);
    m_ui->进度条_备份->setVisible(m_runner.isRunning());
    m_ui->编辑框_第二目录->setText(QDir::toNativeSeparators(m_runner.secondFolder()));
    connect(m_ui->按钮_立即备份, &QPushButton::clicked, this, &BackupWindow::backUpNow);
    connect(m_ui->按钮_选择目录, &QPushButton::clicked, this, &BackupWindow::chooseSecondFolder);
    connect(m_ui->编辑框_第二目录, &QLineEdit::editingFinished, this, &BackupWindow::commitSecondFolder);
    connect(m_ui->按钮_恢复, &QPushButton::clicked, this, &BackupWindow::askRestore);
    connect(&m_runner, &BackupRunner::finished, this, &BackupWindow::copyDone);
    refresh();
}

BackupWindow::~BackupWindow() = default;

void BackupWindow::refresh()
{
    QTreeWidget* list = m_ui->列表框_备份;
    list->clear();
    const QVector<BackupFile> copies = listBackups(m_runner.folder());
    for (const BackupFile& copy : copies) {
        auto* item = new QTreeWidgetItem({ csvDateTime(copy.taken), sizeOf(copy.size), QStringLiteral("正常") });
        item->setData(0, Qt::UserRole, copy.path);
        list->addTopLevelItem(item);
    }
    m_ui->标签_最近备份->setText(copies.isEmpty()
            ? QStringLiteral("还没有备份。")
            : QStringLiteral("最近一次备份：") + csvDateTime(copies.first().taken) + QStringLiteral("（")
                + ageOf(copies.first().taken) + QStringLiteral("），共") + QString::number(copies.size())
                + QStringLiteral("份"));
    m_ui->标签_最近备份->setToolTip(QStringLiteral("备份保存在") + QDir::toNativeSeparators(m_runner.folder()));
}

void BackupWindow::backUpNow()
{
    if (!m_runner.start())
        return; // one is under way; its end refreshes the list
    m_ui->进度条_备份->setVisible(true);
    m_ui->按钮_立即备份->setEnabled(false);
}

void BackupWindow::copyDone()
{
    m_ui->进度条_备份->setVisible(false);
    m_ui->按钮_立即备份->setEnabled(true);
    refresh(); // a failure is said by the console, which hears every copy end
}

void BackupWindow::chooseSecondFolder()
{
    const QString folder = QFileDialog::getExistingDirectory(this, QStringLiteral("第二备份目录"),
        m_runner.secondFolder());
    if (folder.isEmpty())
        return;
    m_ui->编辑框_第二目录->setText(QDir::toNativeSeparators(folder));
    commitSecondFolder();
}

void BackupWindow::commitSecondFolder()
{
    const QString folder = QDir::fromNativeSeparators(m_ui->编辑框_第二目录->text().trimmed());
    if (!folder.isEmpty() && !QFileInfo(folder).isDir()) {
        messageBox(QStringLiteral("找不到目录“") + m_ui->编辑框_第二目录->text() + QStringLiteral("”！"),
            MbOk | MbExclamation, windowTitle());
        m_ui->编辑框_第二目录->setText(QDir::toNativeSeparators(m_runner.secondFolder()));
        return;
    }
    m_runner.setSecondFolder(folder);
}

void BackupWindow::askRestore()
{
    const QTreeWidgetItem* item = m_ui->列表框_备份->currentItem();
    if (!item) {
        messageBox(QStringLiteral("请选择要恢复的备份！"), MbOk | MbExclamation, windowTitle());
        return;
    }
    if (!m_busyReason.isEmpty()) {
        messageBox(m_busyReason, MbOk | MbExclamation, windowTitle());
        return;
    }
    if (m_runner.isRunning()) {
        messageBox(QStringLiteral("正在备份，请稍后再恢复。"), MbOk | MbExclamation, windowTitle());
        return;
    }
    const QString name = item->text(0);
    if (messageBox(QStringLiteral("将用") + name
                + QStringLiteral("的备份替换现在的数据库，现在的数据库会先另存为安全副本。是否继续？"),
            MbYesNo | MbExclamation, QStringLiteral("恢复确认"))
        != AnswerYes)
        return;
    m_restorePath = item->data(0, Qt::UserRole).toString();
    accept();
}
