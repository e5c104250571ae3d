#include "openshiftwindow.h"

#include "common/seams.h"
#include "common/values.h"
#include "shiftslip.h"
#include "ui_openshiftwindow.h"
#include "widgets/windows.h"

OpenShiftWindow::OpenShiftWindow(double leftInTheDrawer, QWidget* parent)
    : QDialog(parent)
    , m_ui(std::make_unique<Ui::OpenShiftWindow>())
    , m_float(leftInTheDrawer)
{
    m_ui->setupUi(this);
    layOutDialog(this, parent);
    m_ui->编辑框_备用金->setText(shiftMoney(leftInTheDrawer));
    m_ui->标签_说明->setText(QStringLiteral("上一班留存：") + shiftMoney(leftInTheDrawer));
    m_ui->编辑框_备用金->selectAll();
    connect(m_ui->按钮_确定, &QPushButton::clicked, this, &OpenShiftWindow::confirm);
}

OpenShiftWindow::~OpenShiftWindow() = default;

void OpenShiftWindow::confirm()
{
    if (!readCashAmount(m_ui->编辑框_备用金->text(), m_float)) {
        messageBox(QStringLiteral("请输入备用金金额！"), MbOk | MbExclamation, windowTitle());
        ::setFocus(m_ui->编辑框_备用金);
        return;
    }
    accept();
}

void OpenShiftWindow::reject()
{
    // A shift cannot open without its float; closing the window takes the amount offered.
    confirm();
}
