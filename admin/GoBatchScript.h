#pragma once

#include "db/Connection.h"
#include "db/SqlBatches.h"

#include <QString>
#include <QTextStream>

#include <functional>
#include <vector>

// A file of batches separated by lines "Go", run the way sqlcmd runs one: each batch sent to
// the server as it stands (no :NAME parameters, semicolons and "/" lines kept), one after
// another, the rows a batch returns handed to the caller. The first batch that fails stops
// the run; its error then names the batch and the line of the fault (the line the batch starts
// on when the server does not say).
class GoBatchScript {
public:
    using ResultPrinter = std::function<void(const db::ResultSet&)>;

    explicit GoBatchScript(const QString& text);

    const std::vector<db::SqlBatch>& batches() const { return batches_; }

    // Each batch under a line "-- batch N line L", without a database.
    void show(QTextStream& out) const;
    // Throws a DatabaseError when the file holds no batch or a batch fails.
    void run(db::Connection& connection, const ResultPrinter& print) const;

private:
    std::vector<db::SqlBatch> batches_;
};
