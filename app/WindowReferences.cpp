#include "WindowReferences.h"

#include "Unit1.h"
#include "Unit3.h"

QPointer<TForm1> Form1;
QPointer<Tabout> about;
