#pragma once

class QPrinter;

// The one printer of the process: set up in the printer dialog, used by every print.
QPrinter &currentPrinter();
