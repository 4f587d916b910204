// The finder's searches as first written (_mbsnbicmp at every byte), for the
// benchmark build of the program that measures the search it replaced. Its
// definitions take the place of the library's, which the linker then
// leaves out.
#include "support/LiteralFind.h"

bool CTextFinder::SearchForward(ILineSource& source)
{
    return LiteralFind::SearchForward(*this, source);
}

bool CTextFinder::SearchBackward(ILineSource& source)
{
    return LiteralFind::SearchBackward(*this, source);
}
