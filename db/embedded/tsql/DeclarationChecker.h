#pragma once

#include "db/embedded/tsql/Ast.h"

#include <QSet>
#include <QString>
#include <QStringList>

namespace db::tsql {

// What SQL Server checks when it compiles a batch or creates a procedure, before anything runs:
// every variable and table variable is declared (in the order of the text) before it is used,
// no variable is declared twice, every Set option is one SQL Server has, and the text uses
// nothing the embedded engine cannot run (Cross Apply, Top ... Percent, variables assigned
// inside an Update ... From, Set RowCount, dates read other than year, month, day). Throws
// TsqlError 137, 1087, 134, 195 or 40000 with the line.
class DeclarationChecker {
public:
    static void check(const StatementList& statements, const QStringList& parameters);
    // The checks of one Set option alone.
    static void checkOption(const SetOptionStatement& statement);

private:
    void statements(const StatementList& list);
    void statement(const Statement& statement);
    void expression(const Expr* expr);
    void query(const QueryExpr* query);
    void spec(const QuerySpec& spec);
    void source(const TableSource& source);
    void commonTables(const std::vector<CommonTable>& tables);
    void variable(const QString& name, int line);
    void tableVariable(const ObjectName& name, int line);
    void declare(const QString& name, int line);

    QSet<QString> declared_;
    QSet<QString> tables_;
    int line_ = 0;
};

} // namespace db::tsql
