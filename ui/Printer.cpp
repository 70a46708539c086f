#include "Printer.h"

#include <QPrinter>

QPrinter &currentPrinter()
{
    // Lives to the very end of the process, past the application object, so that no print
    // support code runs from a static destructor.
    static QPrinter *const printer = new QPrinter(QPrinter::HighResolution);
    return *printer;
}
