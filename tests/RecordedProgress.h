#pragma once

#include "costing/MonthRunProgress.h"

#include <QString>

#include <functional>
#include <vector>

// Everything a month run shows, in order, as "status:...", "month:...", "product:...",
// "max:N"; positions are kept apart. onProduct, when set, runs after each product text.
struct RecordedProgress : MonthRunProgress {
    std::vector<QString> events;
    std::vector<int> positions;
    int refreshes = 0;
    std::function<void()> onProduct;

    void setStatus(const QString& text) override { events.push_back("status:" + text); }
    void setMonth(const QString& text) override { events.push_back("month:" + text); }
    void setProduct(const QString& text) override {
        events.push_back("product:" + text);
        if (onProduct)
            onProduct();
    }
    void setProgressMaximum(int maximum) override {
        events.push_back("max:" + QString::number(maximum));
    }
    void setProgressPosition(int position) override { positions.push_back(position); }
    void refresh() override { ++refreshes; }
    void showLockWait(const QString& database, int seconds) override {
        events.push_back("wait:" + database + " " + QString::number(seconds));
    }

    std::vector<QString> only(const QString& kind) const {
        std::vector<QString> found;
        for (const auto& event : events)
            if (event.startsWith(kind + ':'))
                found.push_back(event.mid(kind.size() + 1));
        return found;
    }
};
