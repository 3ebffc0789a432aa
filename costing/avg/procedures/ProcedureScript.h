#pragma once

#include <QHash>
#include <QString>

namespace costing {

class ProcedureVariables;

// The T-SQL creation script of one of the average costing's procedures, compiled into the
// program. Its set-based statements are marked by a comment line "--: Name" just before them
// and end with the first line that ends in ";"; the embedded engine's implementation runs those
// statements as they stand, so both engines compute the same amounts from the same text.
class ProcedureScript {
public:
    // The script of the procedure with that name (its resource is "<name>.sql").
    static const ProcedureScript& of(const QString& procedureName);

    const QString& text() const { return text_; }
    // The statement marked with that name, without its ";". A DatabaseError when the script has
    // none, which is a fault of the program.
    QString statement(const QString& name) const;
    // Sets @Prod through the statements FindProduct and, when it found none, FindProductTrimmed.
    void findProduct(ProcedureVariables& variables) const;

    explicit ProcedureScript(const QString& procedureName);

private:
    QString procedureName_;
    QString text_;
    QHash<QString, QString> statements_;
};

} // namespace costing
