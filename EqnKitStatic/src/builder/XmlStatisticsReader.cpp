#include "XmlStatisticsReader.h"

#include <vector>

#include "StatisticsNames.h"
#include "XmlNames.h"
#include "XmlNodes.h"

namespace sl
{
using namespace xmlnodes;

template <typename T> bool XmlStatisticsReader<T>::loadStats(const xml::Node& root)
{
    SolverData<T>& d = _s.data();
    const xml::Node stats = child(root, "Stats");
    if (stats.isEmpty())
        return true;
    StatisticsStore<T>& store = d.stores.statistics;
    d.currentSection = static_cast<td::BYTE>(ErrorSection::Stats);
    const ElementLine line(d.xmlLine, stats);
    const char* text = attrib(stats, "name");
    if (!text)
        text = attrib(stats, "names");
    bool ok = true;
    if (!text)
        ok = _s.xmlError("Stats needs attribute name or names!");
    else if (!std::strchr(text, ','))
    {
        store.reserve(1);
        ok = XmlNames<T>(_s).checkXmlName(text, cNoItem, false) &&
             (sl::setStatsName(store, 0, td::String(text)) || _s.xmlError("Stats unexpected error!"));
    }
    else
    {
        std::vector<td::String> names;
        for (const char* p = text;; ++p)
        {
            const char* comma = std::strchr(p, ',');
            const char* end = comma ? comma : p + std::strlen(p);
            const char* b = skipBlanks(p);
            const char* e = end;
            while (e > b && isBlank(e[-1]))
                --e;
            names.push_back(b < e ? td::String(b, static_cast<std::size_t>(e - b)) : td::String());
            if (!comma)
                break;
            p = comma;
        }
        store.reserve(static_cast<td::UINT4>(names.size()));
        for (td::UINT4 i = 0; ok && i < names.size(); ++i)
        {
            if (!XmlNames<T>(_s).checkXmlName(names[i].c_str(), cNoItem, false))
                ok = false;
            else if (!sl::setStatsName(store, i, names[i]))
            {
                d.addError("Stats name @ entered two times! Second time on pos @!", names[i], static_cast<td::INT4>(i));
                ok = false;
            }
        }
    }
    d.currentSection = 0;
    return ok;
}

template class XmlStatisticsReader<double>;
template class XmlStatisticsReader<std::complex<double>>;
} // namespace sl
