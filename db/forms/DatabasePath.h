#pragma once

#include <QString>

class QLabel;

// The main window publishes the database path in the caption of its invisible label;
// every database window reads it from there when it needs it.
void publishDatabasePathLabel(const QLabel *label);
// The published path; empty while no database has been chosen (or no label is published).
QString publishedDatabasePath();
