#pragma once
// Everything of the COM-compatible runtime in one include.

#include "comlite/activation.h"
#include "comlite/bstr.h"
#include "comlite/com_ptr.h"
#include "comlite/dispatch.h"
#include "comlite/error_info.h"
#include "comlite/guid.h"
#include "comlite/interfaces.h"
#include "comlite/registry.h"
#include "comlite/text.h"
#include "comlite/types.h"
#include "comlite/variant.h"
