// Loading a model text for the front-end tests: a recording logger, header values and a
// symbol table that outlive the tokenized model.
#pragma once

#include <fstream>
#include <memory>
#include <sstream>
#include <string>

#include <sc/TokenizedModel.h>
#include <support/RecordingLog.h>

#include "Vocabulary.h"

namespace test
{
inline td::String keepKey(const char* key) { return td::String(key); }

inline std::string dataPath(const std::string& name) { return std::string(EQNKIT_TEST_DATA) + "/frontend/" + name; }

inline std::string readData(const std::string& name)
{
    std::ifstream in(dataPath(name), std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

struct LoadedModel
{
    RecordingLog log;
    cnt::SafeFullVector<td::Variant> header;
    sc::Naming naming;
    std::unique_ptr<sc::TokenizedModel> model;
    bool ok = false;

    LoadedModel()
    {
        ensureDefaultVocabulary();
        model = std::make_unique<sc::TokenizedModel>(&log, header, &keepKey, naming, 0);
    }

    bool fromString(const std::string& text) { return ok = model->loadFromString(td::String(text)); }
    bool fromFile(const std::string& path) { return ok = model->loadFromFile(td::String(path)); }

    // Keys of the messages of one type, in order.
    std::string errors(sc::ILog::Type type = sc::ILog::Error) const
    {
        std::string out;
        for (const auto& m : log.messages)
            if (m.type == type)
                out += m.text + " @" + std::to_string(m.line) + ":" + std::to_string(m.col) + "\n";
        return out;
    }

    int varPos(const char* name, sc::ModelLevel level = sc::ModelLevel::Main) const
    {
        return pos(sc::UserLabel::Var, name, level);
    }
    int paramPos(const char* name, sc::ModelLevel level = sc::ModelLevel::Main) const
    {
        return pos(sc::UserLabel::Param, name, level);
    }
    int pos(sc::UserLabel kind, const char* name, sc::ModelLevel level) const
    {
        const sc::Naming::SymbolMap* pMap =
            level == sc::ModelLevel::Main ? &const_cast<sc::Naming&>(naming).getUserLabels()[sc::idx(kind)]
                                          : &const_cast<sc::Naming&>(naming).getUserSubModelLabels()[sc::idx(kind)];
        auto it = pMap->find(std::string_view(name));
        return it == pMap->end() ? -1 : static_cast<int>(it->second);
    }
};
} // namespace test
