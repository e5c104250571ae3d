#pragma once

#include "common/seams.h"
#include "store/inifile.h"

#include <QString>

// The session's own keys in jishi.ini, for the files that make up the session.
inline const QString kSection = QStringLiteral("set");
inline const QString kSecondFolderKey = QStringLiteral("备份目录2");

inline IniFile settingsFile() { return IniFile(seams::dataFile(QStringLiteral("jishi.ini"))); }
