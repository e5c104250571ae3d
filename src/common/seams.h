#pragma once

#include <QDateTime>
#include <QString>

class QObject;

#include <functional>

// The few places where the program meets the outside world and a test may stand in:
// the clock, the message box and the beep, and the program's own directory.
namespace seams {

using Clock = std::function<QDateTime()>;
using MessageResponder = std::function<int(const QString& text, int style, const QString& title)>;
using BeepResponder = std::function<void()>;

// An empty function restores the real one.
void setClock(Clock clock);
// Local time to the second: the program counts no finer.
QDateTime clockNow();
// Time that really passed, in milliseconds from an arbitrary start, whatever the system clock
// is set to. With a stand-in wall clock and no stand-in of its own it follows that clock.
using MonotonicClock = std::function<qint64()>;
void setMonotonicClock(MonotonicClock clock);
qint64 monotonicMs();

void setMessageResponder(MessageResponder responder);
void setBeepResponder(BeepResponder responder);
int showMessage(const QString& text, int style, const QString& title);
void ringBeep();

// Asks where to save a file; the empty text when the operator cancels (or no window system
// has been installed to ask).
using SaveFileChooser = std::function<QString(const QString& title, const QString& suggestedName)>;
void setSaveFileChooser(SaveFileChooser chooser);
QString chooseSaveFile(const QString& title, const QString& suggestedName);

// Opens a page in the desktop's browser; false when none could be started.
using UrlOpener = std::function<bool(const QString& localFile)>;
void setUrlOpener(UrlOpener opener);
bool openInBrowser(const QString& localFile);

// Copies of the database are written through this check, so a test can stand for a full or
// failing disk: a fault returns the reason the write fails, the empty text lets it go on.
using WriteFault = std::function<QString(const QString& path)>;
void setWriteFault(WriteFault fault);
QString writeFault(const QString& path);

// Where jishi.ini, date.mdb and the help page live; by default the executable's directory.
void setProgramDir(const QString& dir);
QString programDir();
QString programFile(const QString& name);

// Where jishi.ini, date.mdb and backup/ live: the program directory, as always, when it is
// writable and not an installed program's (bin/ beside share/langtuo/); otherwise the user's
// data directory (~/.local/share/langtuo), made when missing.
bool isPortable();
QString dataDir();
QString dataFile(const QString& name);
// A file the program ships (help/index.html): beside it, or in share/langtuo when installed.
QString sharedFile(const QString& name);

// A part of the program that only one window needs (the charts, printing), loaded when that
// window first asks for it, so the counter does not carry it all day: from the directory a
// test sets, beside the executable, or from lib/langtuo when installed; only a plugin of the
// interface `iid` (another build's, or another program's, is passed over). Null, with the
// reason, when none can be loaded.
void setPluginDir(const QString& dir);
QObject* loadPlugin(const QString& baseName, const char* iid, QString* error);

} // namespace seams

// Message box styles, combined with |: the buttons, then the icon.
enum MessageStyle : int {
    MbOk = 0,
    MbOkCancel = 1,
    MbYesNo = 4,
    MbError = 0x10,
    MbQuestion = 0x20,
    MbExclamation = 0x30,
    MbInformation = 0x40
};

// Message box answers.
enum MessageAnswer { AnswerOk = 0, AnswerCancel, AnswerAbort, AnswerRetry, AnswerIgnore, AnswerYes, AnswerNo };

int messageBox(const QString& text, int style = 0, const QString& title = QString());
void beep();
