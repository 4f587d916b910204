#pragma once
// What the batch queue runs its lines through: the main window in the
// program, a recorder in the tests.
#include "framework/String.h"

class ICommandTarget {
public:
    virtual void RunCommand(CString& strLine, bool bSync) = 0;

protected:
    ~ICommandTarget() = default;
};
