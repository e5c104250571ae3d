#include "inputfilter.h"

#include "common/egridmodel.h"
#include "common/seams.h"

#include <QKeyEvent>
#include <QLineEdit>
#include <QRegularExpressionValidator>

InputFilter::InputFilter(QLineEdit* edit, Mode mode)
    : QObject(edit)
    , m_mode(mode)
{
}

void InputFilter::attach(QLineEdit* edit, Mode mode)
{
    edit->installEventFilter(new InputFilter(edit, mode));
    // Pasted text and input-method commits bypass key presses: the validator and a plain
    // keyboard keep them to the same characters.
    edit->setAttribute(Qt::WA_InputMethodEnabled, false);
    const QString pattern = mode == WholeNumber ? QStringLiteral("[0-9-]*")
        : mode == Decimal                       ? QStringLiteral("[0-9.-]*")
                                                : QStringLiteral("-?[0-9]*\\.?[0-9]*");
    edit->setValidator(new QRegularExpressionValidator(QRegularExpression(pattern), edit));
}

bool InputFilter::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() != QEvent::KeyPress)
        return false;
    auto* key = static_cast<QKeyEvent*>(event);
    auto* edit = qobject_cast<QLineEdit*>(watched);
    if (!edit || key->text().isEmpty() || (key->modifiers() & (Qt::ControlModifier | Qt::AltModifier)))
        return false;
    for (QChar c : key->text()) {
        if (c.unicode() < 0x20 || c.unicode() == 0x7F)
            continue;
        if (m_mode == GridNumber) {
            // Typing replaces the selection, so the rule looks at the text without it.
            QString text = edit->text();
            int cursor = edit->cursorPosition();
            if (edit->hasSelectedText()) {
                cursor = edit->selectionStart();
                text.remove(cursor, edit->selectedText().size());
            }
            const KeyVerdict v = numericKeyVerdict(text, cursor, c);
            if (v == KeyVerdict::Refuse)
                beep();
            if (v != KeyVerdict::Accept)
                return true;
            continue;
        }
        const bool digit = c.unicode() >= '0' && c.unicode() <= '9';
        const bool allowed = digit || c == u'-' || (m_mode == Decimal && c == u'.');
        if (!allowed)
            return true;
    }
    return false;
}
