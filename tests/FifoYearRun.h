#pragma once

// A FIFO year on a company as stockcost-admin calculate runs it: the FIFO month run's four
// phases month by month, driven by the year run that goes back to a month whose finished goods
// took a work-order cost the run changed afterwards. A failing call is set aside and the run
// goes on; the failures of every year run so far are kept.
#include "RecordedProgress.h"
#include "costing/YearRun.h"
#include "costing/fifo/FifoMonthRun.h"

#include <QString>

#include <vector>

class FifoYearRun {
public:
    explicit FifoYearRun(const QString& alias) : monthRun_(progress_, alias), alias_(alias) {}

    void runYear(int year, int fromMonth = 1) {
        monthRun_.beginRun();
        YearRun yearRun(alias_, progress_);
        yearRun.run(year, fromMonth,
                    [&](int month) { monthRun_.CalculateProdFIFOMonth(year, month); });
        failures_.insert(failures_.end(), monthRun_.failures().begin(), monthRun_.failures().end());
        progress_.events.clear();
        progress_.positions.clear();
    }

    const std::vector<FifoMonthRun::Failure>& failures() const { return failures_; }

private:
    RecordedProgress progress_;
    FifoMonthRun monthRun_;
    QString alias_;
    std::vector<FifoMonthRun::Failure> failures_;
};
