// The matrices stand on td alone: the utility library is no level below them.
#pragma once

#include <td/Base.h>
#include <mu/Reader.h>
