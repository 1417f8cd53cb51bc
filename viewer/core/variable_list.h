// Stand-in: the text-variable list holds no variables yet.
// The text variables of the machine and of the user.
#pragma once

#include "foundation/ref_counted.h"

class VariableList : public RefCounted {};

inline Ref<VariableList> VariableListCreate() { return MakeRef<VariableList>(); }
