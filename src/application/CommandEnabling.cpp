#include "application/CommandEnabling.h"

CommandEnabling CommandEnabling::compute(bool rowSelected, int rowCount)
{
    CommandEnabling e;
    e.listCommands = rowCount > 0;
    e.selectionCommands = rowSelected && rowCount > 0;
    return e;
}
