#include "seams.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QDir>
#include <QElapsedTimer>
#include <QHash>
#include <QJsonObject>
#include <QJsonValue>
#include <QPluginLoader>
#include <QFileInfo>
#include <QStandardPaths>
#include <QUrl>

#include <cstdio>

#ifdef Q_OS_LINUX
#include <time.h>
#endif

namespace {

seams::Clock g_clock;
seams::MonotonicClock g_monotonic;
seams::MessageResponder g_message;
seams::BeepResponder g_beep;
QString g_programDir;
seams::UrlOpener g_urlOpener;
seams::SaveFileChooser g_saveChooser;
seams::WriteFault g_writeFault;

// The system clock in local time, to the second. Turning the time into local time consults the
// time-zone files on every call; within one second the answer cannot change, and the tick asks
// once for every timing machine.
QDateTime systemNow()
{
    static qint64 cachedSecond = -1;
    static QDateTime cachedLocal;
    const qint64 ms = QDateTime::currentMSecsSinceEpoch();
    const qint64 second = ms >= 0 ? ms / 1000 : (ms - 999) / 1000;
    if (second != cachedSecond || !cachedLocal.isValid()) {
        cachedLocal = QDateTime::fromMSecsSinceEpoch(second * 1000, Qt::LocalTime);
        cachedSecond = second;
    }
    return cachedLocal;
}

} // namespace

namespace seams {

void setClock(Clock clock) { g_clock = std::move(clock); }

QDateTime clockNow() { return g_clock ? g_clock() : systemNow(); }

void setMonotonicClock(MonotonicClock clock) { g_monotonic = std::move(clock); }

qint64 monotonicMs()
{
    if (g_monotonic)
        return g_monotonic();
    // A stand-in wall clock is time passing as far as the program can tell, unless a test says
    // otherwise: moving it on is no jump of the system clock.
    if (g_clock)
        return g_clock().toMSecsSinceEpoch();
#ifdef Q_OS_LINUX
    // The clock that goes on while the PC sleeps: waking from suspend is no set clock.
    timespec ts {};
    if (clock_gettime(CLOCK_BOOTTIME, &ts) == 0)
        return qint64(ts.tv_sec) * 1000 + ts.tv_nsec / 1000000;
#endif
    static QElapsedTimer started;
    if (!started.isValid())
        started.start();
    return started.elapsed();
}

void setMessageResponder(MessageResponder responder) { g_message = std::move(responder); }

void setBeepResponder(BeepResponder responder) { g_beep = std::move(responder); }

int showMessage(const QString& text, int style, const QString& title)
{
    if (g_message)
        return g_message(text, style, title);
    // Without a window system to ask, the box is written out and taken as answered with OK.
    std::fprintf(stderr, "%s: %s\n", title.toLocal8Bit().constData(), text.toLocal8Bit().constData());
    return AnswerOk;
}

void ringBeep()
{
    if (g_beep)
        g_beep();
}

void setSaveFileChooser(SaveFileChooser chooser) { g_saveChooser = std::move(chooser); }

void setWriteFault(WriteFault fault) { g_writeFault = std::move(fault); }

QString writeFault(const QString& path) { return g_writeFault ? g_writeFault(path) : QString(); }

QString chooseSaveFile(const QString& title, const QString& suggestedName)
{
    return g_saveChooser ? g_saveChooser(title, suggestedName) : QString();
}

void setUrlOpener(UrlOpener opener) { g_urlOpener = std::move(opener); }

bool openInBrowser(const QString& localFile)
{
    return g_urlOpener ? g_urlOpener(localFile) : QDesktopServices::openUrl(QUrl::fromLocalFile(localFile));
}

void setProgramDir(const QString& dir) { g_programDir = dir; }

QString programDir()
{
    QString dir = g_programDir.isEmpty() ? QCoreApplication::applicationDirPath() : g_programDir;
    while (dir.size() > 1 && (dir.endsWith(u'/') || dir.endsWith(u'\\')))
        dir.chop(1);
    return dir;
}

QString programFile(const QString& name) { return QDir(programDir()).filePath(name); }

namespace {

QString installedShareDir() { return QDir(programDir()).filePath(QStringLiteral("../share/langtuo")); }

} // namespace

bool isPortable()
{
    return QFileInfo(programDir()).isWritable() && !QFileInfo(installedShareDir()).isDir();
}

QString dataDir()
{
    if (isPortable())
        return programDir();
    const QString dir = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
    QDir().mkpath(dir);
    return dir;
}

QString dataFile(const QString& name) { return QDir(dataDir()).filePath(name); }

// Set by the build from the install layout (lib/<multiarch>/langtuo on Debian).
#ifndef LANGTUO_INSTALLED_PLUGIN_DIR
#define LANGTUO_INSTALLED_PLUGIN_DIR "../lib/langtuo"
#endif

namespace {

QString& pluginDirOverride()
{
    static QString dir; // made on first use: a test may set it before main runs
    return dir;
}

} // namespace

void setPluginDir(const QString& dir) { pluginDirOverride() = dir; }

QObject* loadPlugin(const QString& baseName, const char* iid, QString* error)
{
    // Each loaded once and kept for the program's life: a window made by it may outlive the
    // window that asked for it.
    static QHash<QString, QPluginLoader*> loaded;
    if (QPluginLoader* loader = loaded.value(baseName))
        return loader->instance();
    QStringList dirs;
    if (!pluginDirOverride().isEmpty())
        dirs.append(pluginDirOverride());
    dirs.append(QCoreApplication::applicationDirPath());
    dirs.append(QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral(LANGTUO_INSTALLED_PLUGIN_DIR)));
    QString why;
    for (const QString& dir : dirs) {
        auto* loader = new QPluginLoader(QDir(dir).filePath(baseName));
        // Its metadata is read without loading it: one of another interface is not run at all.
        const bool fits = loader->metaData().value(QStringLiteral("IID")).toString() == QLatin1String(iid);
        if (QObject* instance = fits ? loader->instance() : nullptr) {
            loaded.insert(baseName, loader);
            return instance;
        }
        // A file that is there but cannot be loaded says more than the places it is not.
        if (QFileInfo::exists(loader->fileName()))
            why = fits ? loader->errorString() : loader->fileName() + QStringLiteral("不是本程序这一版的组件");
        delete loader;
    }
    if (error)
        *error = why.isEmpty() ? QStringLiteral("程序目录中没有") + baseName : why;
    return nullptr;
}

QString sharedFile(const QString& name)
{
    const QString beside = programFile(name);
    if (QFileInfo::exists(beside) || !QFileInfo(installedShareDir()).isDir())
        return beside;
    return QDir::cleanPath(QDir(installedShareDir()).filePath(name));
}

} // namespace seams

int messageBox(const QString& text, int style, const QString& title)
{
    return seams::showMessage(text, style, title.isNull() ? QStringLiteral("信息：") : title);
}

void beep() { seams::ringBeep(); }
