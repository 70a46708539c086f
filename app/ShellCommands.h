#pragma once

#include <QString>

// Opens a document named relative to the current folder with the desktop's own handler.
// Whether that succeeds is not examined: the program shows no message of its own.
void openDocument(const QString &bareName);

// The first of the desktop's usual calculators found on the PATH; empty when there is none.
QString findCalculator();

// Starts the calculator detached; without one nothing happens.
void startCalculator();
