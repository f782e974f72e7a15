// MATRIX_API marks the names the matrix library exports; its objects are compiled with
// hidden visibility, so its solver, its assembly and its KLU wrappers stay inside it.
#pragma once

#include <td/Export.h>

#define MATRIX_API TD_EXPORT
