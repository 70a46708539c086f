#pragma once

// The database windows' references (adddata, analiz, addp, eff) live with their classes, in
// the libraries below this one.
#include "analysis/Unit4.h"
#include "analysis/Unit7.h"
#include "db/forms/Unit6.h"
#include "entry/Unit2.h"

#include <QPointer>

class TForm1;
class Tabout;

// One global reference per window class: set when the window is created, empty again as
// soon as the window is destroyed (QPointer clears itself).
extern QPointer<TForm1> Form1;
extern QPointer<Tabout> about;
