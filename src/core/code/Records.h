#pragma once
// The definition records and modules the code model is made from.

#include "records/BlockInfo.h"
#include "records/Definitions.h"
#include "records/InstructionInfo.h"
#include "records/ModuleBase.h"
#include "records/ParameterInfo.h"
#include "records/TypeInfo.h"
