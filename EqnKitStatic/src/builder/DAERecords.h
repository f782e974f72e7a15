// What the passes of a DAE model read ahead of its declarations and use after them: the
// states of its ODEs and its transfer functions. Held by the DAE pass of each road.
#pragma once

#include <vector>

#include <cnt/SafeFullVector.h>
#include <sc/TokenizedModel.h>
#include <td/String.h>
#include <td/Types.h>

#include "TextPlace.h"
#include "TransferFunction.h"

namespace sl
{
// One TFs statement y / u = f(s): the symbols, orders and forms the realisation reads,
// and where the statement stands.
struct TFStatement
{
    TransferFunction tf;
    sc::TokenizedModel::iterator line;
    // tf.input counts from the first parameter until the declarations pass has run.
    bool inputIsParam = false;
};

// The transfer functions in statement order, as read.
using TFStatements = cnt::SafeFullVector<TFStatement>;

struct DAERecords
{
    // The texts of an XML transfer function: output, input, f(s).
    struct XmlTFText
    {
        td::String output, input, fn;
    };
    // The state of an XML ODE, the text of its equation and its item number.
    struct XmlState
    {
        td::String name;
        const char* fx = nullptr;
        td::UINT4 eq = 0;
        // The line of its Eq element.
        td::UINT4 line = 0;
    };

    // The ODE states (sorted) and, on the text road, the line of the ODE of each.
    cnt::SafeFullVector<td::INT4> stateVars;
    cnt::SafeFullVector<Place> stateLines;
    // The transfer functions in statement order.
    TFStatements tfs;
    // XML documents: the texts of each transfer function and the sorted state names of a
    // stage method.
    std::vector<XmlTFText> xmlTFs;
    std::vector<XmlState> xmlStateNames;
};
} // namespace sl
