#pragma once

#include <QString>

#include <optional>

// The years a calculation takes: those whose every date SQL Server's datetime can hold.
// stockcost-admin calculate and the calculation windows refuse any other.
class CalculationYear {
public:
    static constexpr int first = 1753;
    static constexpr int last = 9999;

    // The year the text names when it is a whole number from first to last.
    static std::optional<int> fromText(const QString& text);
    // What a window shows when its year is refused.
    static QString refusal();
};
