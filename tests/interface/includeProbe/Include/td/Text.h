// A header of td that includes one of the front end, which stands above it.
#pragma once

#include <td/Base.h>
#include <sc/Api.h>
