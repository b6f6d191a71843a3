#pragma once

#include <cstdint>

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
