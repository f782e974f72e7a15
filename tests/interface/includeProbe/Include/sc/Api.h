// A header of the front end: it may include the containers and td below it.
#pragma once

#include <cnt/Run.h>
#include <td/Base.h>
