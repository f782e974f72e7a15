// Loader of one model text: the header pass, the structure pass with its declarations,
// the statement pass and the model-line reader, run by sc::TokenizedModel.
#pragma once

#include <cnt/SafeFullVector.h>
#include <mu/LineLoader.h>
#include <sc/ILog.h>
#include <sc/priv/Tokenizer.h>
#include <td/String.h>
#include <td/Variant.h>

namespace sc
{
class ModelLoader
{
public:
    struct HeaderEnd
    {
        td::UINT4 bodyPosition = 0; // line-loader position behind the header's end line
        td::UINT4 headerLines = 0;  // lines read up to and including that line
    };

    ModelLoader() = default;
    ModelLoader(const ModelLoader&) = delete;
    ModelLoader& operator=(const ModelLoader&) = delete;

    void setLog(ILog* pLog) { _pLog = pLog; }
    ILog* getLog() const { return _pLog; }

    // Fills the ten header values (defaults first) from the text's header block; both
    // results are 0 when the block is missing or broken.
    HeaderEnd readHeader(cnt::SafeFullVector<td::Variant>& headerValues, td::MutableString& line, mu::LineLoader& loader);

private:
    ILog* _pLog = nullptr;
};
} // namespace sc
