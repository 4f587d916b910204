#include "screen/ConsoleView.h"

// The Find dialog's part: until it exists, a search without a pattern has
// nothing to ask and only beeps.
void CConsoleView::ShowFindDialog(bool)
{
    ::Beep(252, 20);
}
