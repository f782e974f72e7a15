// The words of the model language that can never name a symbol, as the default vocabulary
// has them: reserved words, functions, constants, embedded parameters, truth and logic.
#pragma once

namespace sc::priv
{
// A reserved word: @main, repeat, s, group, if, else, switch, case, default, end.
bool isReservedWord(const char* name);
// A reserved word, a function (complexFunctions adds those that only the complex domain
// knows), a constant, an embedded parameter, a truth or a logical word.
bool isLanguageWord(const char* name, bool complexFunctions);
} // namespace sc::priv
