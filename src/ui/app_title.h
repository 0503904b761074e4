#pragma once

#include <QString>

// The program's title: it names the settings store and heads every message box and caption.
inline const QString kAppTitle = QStringLiteral("TELVARON Server");
