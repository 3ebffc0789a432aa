#pragma once

#include "db/embedded/TsqlTokenizer.h"

#include <QByteArray>
#include <QString>
#include <QVariant>

#include <map>
#include <vector>

namespace db {

// One argument of "Exec Name @A = value, ...".
struct ExecArgument {
    QString name;    // with its "@"; empty when the argument is given by position
    QVariant value;  // the literal value; invalid for NULL
    int marker = -1; // the statement's '?' marker (0-based) that gives the value, if any
    bool output = false;
};

// One statement of a T-SQL text as the embedded engine runs it.
struct TranslatedStatement {
    enum class Kind {
        Sql,            // sql is SQLite's text
        If,             // sql selects 1 when the condition holds; then body runs
        Exec,           // call procedure name with arguments
        CreateDatabase, // name
        DropDatabase,   // name
        Nothing,        // accepted and ignored (Set NoCount On, Create Type)
    };

    Kind kind = Kind::Sql;
    QByteArray sql;
    int markerCount = 0; // the '?' markers of this statement, its body not included
    std::vector<TranslatedStatement> body;
    QString name;
    std::vector<ExecArgument> arguments;
    // Sql: the table a Create Table or Alter Table ... Add gave new columns.
    QString changedTable;

    // The markers of the statement and its body together.
    int totalMarkerCount() const;
};

using TranslatedBatch = std::vector<TranslatedStatement>;

// Rewrites the T-SQL the system sends into SQLite's dialect, token by token, leaving quoted
// text, bracketed names and comments alone: Convert/Cast into the engine's conversion
// functions, IsNull, Left and Right, N'...', dbo. prefixes, Select Top n, collation names,
// the column types of Create Table and Alter Table ... Add (collations, Identity, Clustered,
// On [Primary]), If [Not] Exists (...) statement, Exec, Create/Drop Database and Set options.
// Statements separated by ';' become a batch. Variables, cursors and other procedural T-SQL are
// refused with SQL Server's error.
class TsqlTranslator {
public:
    static TranslatedBatch translate(const QString& sql);

private:
    explicit TsqlTranslator(const QString& sql);

    TranslatedBatch batch(int begin, int end);
    void statement(int begin, int end, TranslatedBatch& out);
    void ifStatement(int begin, int end, TranslatedBatch& out);
    void execStatement(int begin, int end, TranslatedBatch& out);
    void createTable(int begin, int end, TranslatedBatch& out);
    void alterTableAdd(int begin, int add, int end, TranslatedBatch& out);
    void markIndexOptions(int begin, int end);
    void markColumnDefinition(int begin, int end);
    void markTableTail(int begin, int end);
    void addSql(const QString& sql, int begin, int end, TranslatedBatch& out);

    QString render(int begin, int end);
    int renderConvert(int at, QString& out);
    int renderCast(int at, QString& out);
    int renderTop(int at, QString& out);
    QString conversion(const QString& type, const QStringList& arguments, const QString& expression,
                       const QString& style) const;

    // A parenthesis at open holding a table hint such as NoLock.
    bool isTableHint(int open, int end, bool afterWith) const;
    // The first significant token at or after index, or end.
    int next(int index, int end) const;
    // The last significant token before end, or begin - 1.
    int previous(int end, int begin) const;
    int closing(int open, int end) const;
    std::vector<std::pair<int, int>> splitOnCommas(int begin, int end) const;
    int countMarkers(int begin, int end) const;
    // The unquoted name of the last name in [begin, end): "Product" of "[dbo].[Product]".
    QString lastName(int begin, int end) const;

    std::vector<TsqlToken> tokens_;
    std::vector<int> partner_;
    std::vector<bool> dropped_;
    std::map<int, QString> replaced_;
    std::map<int, QString> insertedBefore_;
    int statementBegin_ = 0;
    int statementEnd_ = 0;
    int markerNumber_ = 0; // the last '?' numbered in the SQL being written
};

} // namespace db
