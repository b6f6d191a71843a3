#pragma once

#include <cstdint>
#include <vector>

// What a history record re-creates.
enum HistoryKind : int32_t { hkPage = 0, hkHome = 2, hkContents = 5 };

// One navigation record. The flag of the constructor chooses which argument
// takes the value; every push in the program passes false (Arg2).
class HistoryCommand
{
public:
    HistoryCommand() = default;
    HistoryCommand(int32_t kind, bool flag, int32_t value) : Kind(kind)
    {
        if (flag)
            Arg1 = value;
        else
            Arg2 = value;
    }
    int32_t GetKind() const { return Kind; }

    int32_t Kind = -1;
    int32_t Arg1 = 0;
    int32_t Arg2 = 0;

    friend bool operator==(const HistoryCommand &, const HistoryCommand &) = default;
};

namespace reader {

// The reader's navigation history: a stack of records, newest on top.
class NavigationHistory
{
public:
    void push(const HistoryCommand &record)
    {
        m_records.push_back(record);
        m_leftAt.push_back(-1);
    }
    // Takes the newest record off; false when there is none.
    bool pop(HistoryCommand &record);
    const std::vector<HistoryCommand> &records() const { return m_records; }
    std::size_t size() const { return m_records.size(); }
    bool empty() const { return m_records.empty(); }
    void clear()
    {
        m_records.clear();
        m_leftAt.clear();
    }

    // Where the view of the newest record was when the learner went on from
    // it (a page's text position at the top), so Back returns there; -1
    // when not known. Kept beside the records, which stay as pushed.
    void setTopLeftAt(int position)
    {
        if (!m_leftAt.empty())
            m_leftAt.back() = position;
    }
    int topLeftAt() const { return m_leftAt.empty() ? -1 : m_leftAt.back(); }

private:
    std::vector<HistoryCommand> m_records;
    std::vector<int> m_leftAt;
};

} // namespace reader
