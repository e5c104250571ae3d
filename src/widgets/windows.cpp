#include "windows.h"

#include "common/seams.h"
#include "egrid.h"

#include <QApplication>
#include <QComboBox>
#include <QDialog>
#include <QEventLoop>
#include <QFileDialog>
#include <QFileInfo>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QStatusBar>

namespace {

int showWidgetMessage(const QString& text, int style, const QString& title)
{
    QMessageBox box(QApplication::activeWindow());
    box.setWindowTitle(title);
    box.setText(text);
    switch (style & 0xF0) {
    case 0x10:
        box.setIcon(QMessageBox::Critical);
        break;
    case 0x20:
        box.setIcon(QMessageBox::Question);
        break;
    case 0x30:
        box.setIcon(QMessageBox::Warning);
        break;
    case 0x40:
        box.setIcon(QMessageBox::Information);
        break;
    default:
        box.setIcon(QMessageBox::NoIcon);
    }
    using B = QMessageBox;
    switch (style & 0x0F) {
    case 1:
        box.setStandardButtons(B::Ok | B::Cancel);
        break;
    case 2:
        box.setStandardButtons(B::Abort | B::Retry | B::Ignore);
        break;
    case 3:
        box.setStandardButtons(B::Yes | B::No | B::Cancel);
        break;
    case 4:
        box.setStandardButtons(B::Yes | B::No);
        break;
    case 5:
        box.setStandardButtons(B::Retry | B::Cancel);
        break;
    default:
        box.setStandardButtons(B::Ok);
    }
    // The buttons speak the operator's language whatever translations are installed.
    const std::pair<QMessageBox::StandardButton, const char16_t*> captions[] = { { B::Ok, u"确定" },
        { B::Cancel, u"取消" }, { B::Yes, u"是" }, { B::No, u"否" }, { B::Abort, u"中止" }, { B::Retry, u"重试" },
        { B::Ignore, u"忽略" } };
    for (const auto& [button, caption] : captions) {
        if (QAbstractButton* b = box.button(button))
            b->setText(QString::fromUtf16(caption));
    }
    box.exec();
    switch (box.standardButton(box.clickedButton())) {
    case B::Cancel:
        return AnswerCancel;
    case B::Abort:
        return AnswerAbort;
    case B::Retry:
        return AnswerRetry;
    case B::Ignore:
        return AnswerIgnore;
    case B::Yes:
        return AnswerYes;
    case B::No:
        return AnswerNo;
    default:
        return AnswerOk;
    }
}

} // namespace

void installWidgetResponders()
{
    seams::setMessageResponder(showWidgetMessage);
    seams::setBeepResponder([] { QApplication::beep(); });
    seams::setSaveFileChooser([](const QString& title, const QString& suggested) {
        // The kind of file offered is the suggested name's: a slip is a PDF, an export a CSV.
        const QString suffix = QFileInfo(suggested).suffix().toLower();
        return QFileDialog::getSaveFileName(QApplication::activeWindow(), title, suggested,
            suffix.isEmpty() ? QString() : suffix.toUpper() + QStringLiteral(" 文件 (*.") + suffix + u')');
    });
}

void layOutDialog(QWidget* dialog, QWidget* over)
{
    layOutWindow(dialog);
    dialog->setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    if (over)
        dialog->move(over->window()->geometry().center() - dialog->rect().center());
}

bool loadWindow(QWidget* window, QWidget* parent, bool modal)
{
    if (!window)
        return false;
    if (parent && window->parentWidget() != parent)
        window->setParent(parent, window->windowFlags() | Qt::Window);
    if (!modal) {
        window->setAttribute(Qt::WA_DeleteOnClose);
        window->show();
        return true;
    }
    if (auto* dialog = qobject_cast<QDialog*>(window)) {
        dialog->setModal(true);
        dialog->exec();
        return true;
    }
    window->setWindowModality(Qt::ApplicationModal);
    window->setAttribute(Qt::WA_DeleteOnClose, false);
    QEventLoop loop;
    QObject::connect(window, &QObject::destroyed, &loop, &QEventLoop::quit);
    QPointer<QWidget> guard(window);
    window->show();
    while (guard && guard->isVisible())
        loop.processEvents(QEventLoop::WaitForMoreEvents);
    return true;
}

void closeWindow(QWidget* window)
{
    if (window)
        window->close();
}

QPushButton* copyControl(QPushButton* templateButton, QWidget* parent)
{
    auto* b = new QPushButton(parent ? parent : templateButton->parentWidget());
    b->setObjectName(templateButton->objectName());
    b->setGeometry(templateButton->geometry());
    b->setText(templateButton->text());
    // Only what the template has of its own: each setter that changes nothing still costs its
    // events and style work, which hundreds of machine buttons at start would feel.
    if (templateButton->testAttribute(Qt::WA_SetFont) || b->font() != templateButton->font())
        b->setFont(templateButton->font());
    if (!templateButton->toolTip().isEmpty())
        b->setToolTip(templateButton->toolTip());
    if (!templateButton->isEnabled())
        b->setEnabled(false);
    if (b->focusPolicy() != templateButton->focusPolicy())
        b->setFocusPolicy(templateButton->focusPolicy());
    if (b->sizePolicy() != templateButton->sizePolicy())
        b->setSizePolicy(templateButton->sizePolicy());
    if (!templateButton->styleSheet().isEmpty())
        b->setStyleSheet(templateButton->styleSheet());
    setTag(b, tagOf(templateButton));
    b->setVisible(!templateButton->isHidden());
    return b;
}

QString tagOf(const QObject* control) { return control ? control->property("tag").toString() : QString(); }

void setTag(QObject* control, const QString& tag) { control->setProperty("tag", tag); }

void setFocus(QWidget* control)
{
    if (control)
        control->setFocus(Qt::OtherFocusReason);
}

void fitLabels(QWidget* window)
{
    for (QLabel* label : window->findChildren<QLabel*>()) {
        if (qobject_cast<QStatusBar*>(label->parentWidget()))
            continue;
        const int wanted = label->sizeHint().width();
        if (wanted > label->width())
            label->resize(wanted, label->height());
    }
}

int addComboItem(QComboBox* box, const QString& text, int itemNumber)
{
    if (!box)
        return -1;
    box->addItem(text, itemNumber);
    return box->count() - 1;
}

QString getComboItem(const QComboBox* box, int index)
{
    if (!box || index < 0 || index >= box->count())
        return QString();
    return box->itemText(index);
}

void showStoreError(const QString& text)
{
    if (!text.isEmpty())
        messageBox(text, MbOk | MbError, QStringLiteral("错误"));
}

void layOutWindow(QWidget* window, EGrid* grid)
{
    window->move(50, 50);
    fitLabels(window);
    if (grid)
        grid->setRowHeight(24);
}
