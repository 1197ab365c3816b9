#pragma once

#include <QString>

// Command-line switches, compared exactly and case-sensitively.
const QString kHideStartBalloonSwitch = QStringLiteral("-hide-start-balloon");
const QString kFullDumpSwitch = QStringLiteral("-full-dump");

// True when one of the process's arguments, the program name included, equals `argument`.
// Needs the application object.
bool hasCommandLineArgument(const QString& argument);
