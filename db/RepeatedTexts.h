#pragma once

#include <QByteArray>
#include <QVariant>
#include <array>

// The texts lately met in one column. Columns repeat their texts (a discipline, a criterion on
// every row), so a text that is found here is shared instead of decoded and stored anew: reading
// goes faster, and the rows read take far less memory.
class RepeatedTexts
{
public:
    // The text of the UTF-8 bytes, as a QString in a QVariant.
    QVariant text(const char *bytes, int size);

private:
    // Short texts only: long ones seldom repeat.
    static constexpr int LongestKept = 96;
    struct Slot
    {
        QByteArray bytes;
        QVariant text;
    };
    std::array<Slot, 64> m_slots;
};
