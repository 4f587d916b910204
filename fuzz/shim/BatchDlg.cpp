#include "dialogs/BatchDlg.h"

#include <cstdio>
#include <cstdlib>

INT_PTR CBatchDlg::DoModal()
{
    fprintf(stderr, "CBatchDlg::DoModal is not available in the host build\n");
    abort();
}
