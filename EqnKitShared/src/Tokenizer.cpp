#include <sc/priv/Tokenizer.h>

namespace sc
{
TokenizerBase<1> s_tokenizer;
} // namespace sc
