#include "app/WindowReferences.h"

#include "app/Unit1.h"
#include "app/Unit3.h"

QPointer<TForm1> Form1;
QPointer<Tabout> about;
