#include "reader/NavigationHistory.h"

namespace reader {

bool NavigationHistory::pop(HistoryCommand &record)
{
    if (m_records.empty())
        return false;
    record = m_records.back();
    m_records.pop_back();
    m_leftAt.pop_back();
    return true;
}

} // namespace reader
