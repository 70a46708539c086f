#pragma once

#include <QString>

// Opens a document named relative to the current folder with the desktop's own handler.
// Whether that succeeds is not examined: the program shows no message of its own.
void openDocument(const QString &bareName);

// Whether the help file lies in the current folder and a program that shows CHM files is on
// the PATH.
bool canShowHelpFile(const QString &bareName);

// The desktop's usual calculators, in the order they are looked for on the PATH.
QStringList calculatorNames();

// The first of calculatorNames() found on the PATH; empty when there is none.
QString findCalculator();

// Starts the calculator detached. Throws std::runtime_error, saying what was looked for, when
// none is found or it does not start.
void startCalculator();
