#include "admin/GoBatchScript.h"

#include "db/DatabaseError.h"

GoBatchScript::GoBatchScript(const QString& text) : batches_(db::batchesAtGo(text)) {}

void GoBatchScript::show(QTextStream& out) const {
    for (size_t i = 0; i < batches_.size(); ++i) {
        const auto& text = batches_[i].text;
        out << "-- batch " << i + 1 << " line " << batches_[i].firstLine << "\n" << text;
        if (!text.endsWith('\n'))
            out << "\n";
    }
}

void GoBatchScript::run(db::Connection& connection, const ResultPrinter& print) const {
    if (batches_.empty())
        throw db::DatabaseError(QStringLiteral("The file holds no batch to run"));
    for (size_t i = 0; i < batches_.size(); ++i) {
        const auto& batch = batches_[i];
        try {
            const auto result = connection.execute(batch.text, {});
            if (!result.columns.isEmpty())
                print(result);
        } catch (const db::DatabaseError& error) {
            // The batches before this one are done: say where the run stopped, on the line of
            // the file where the server found the fault when it says which.
            int line = batch.firstLine;
            for (const auto& entry : error.entries()) {
                if (entry.line > 0) {
                    line = batch.textLine + entry.line - 1;
                    break;
                }
            }
            const auto where = QStringLiteral("Error in batch %1 on line %2").arg(i + 1).arg(line);
            if (!error.hasEntries())
                throw db::DatabaseError(error.message() + QStringLiteral(". ") + where);
            auto entries = error.entries();
            entries.push_back({QStringLiteral("0"), line, where});
            throw db::DatabaseError(std::move(entries));
        }
    }
}
