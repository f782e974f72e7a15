// The default vocabulary set-up that every front-end test runs on, made once per process.
#pragma once

#include <sc/SCLib.h>

namespace test
{
inline void ensureDefaultVocabulary()
{
    static bool done = false;
    if (done)
        return;
    done = true;
    sc::reserveNamings(1);
    sc::setDefaultDataForAllNamings();
    sc::setDefaultDataForNaming(0);
}
} // namespace test
