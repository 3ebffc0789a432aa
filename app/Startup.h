#pragma once

#include "app/CommandLine.h"

#include <QString>
#include <QWidget>

#include <memory>

class TDM;
class TDMConfig;

// The start-up sequence after the data modules exist: up to eleven immediate attempts of the
// access check, the company look-up and the reconnection of the company data, then the window
// that matches the company's costing method.
class Startup {
public:
    static constexpr int maxAttempts = 11;

    Startup(TDM& dm, TDMConfig& dmConfig) : dm_(dm), dmConfig_(dmConfig) {}

    // Runs the attempts; every error of an attempt is discarded, the last one kept in
    // lastError(). True when an attempt got through all three steps.
    bool connect(const CommandLine& commandLine);
    int attempts() const { return attempts_; }
    const QString& lastError() const { return lastError_; }

    // When access was granted and the start mode is 1: the calculation window of the costing
    // method (methods 1 and 3, argument 7 handed over), or the message of methods 2 and 4.
    std::unique_ptr<QWidget> dispatch(const CommandLine& commandLine);

private:
    TDM& dm_;
    TDMConfig& dmConfig_;
    int attempts_ = 0;
    QString lastError_;
};
