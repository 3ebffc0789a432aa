#pragma once

#include "db/Connection.h"
#include "db/embedded/tsql/Ast.h"
#include "db/embedded/tsql/Catalog.h"
#include "db/embedded/tsql/StatementCompiler.h"
#include "db/embedded/tsql/TsqlError.h"
#include "db/embedded/tsql/TsqlValue.h"

#include <QHash>
#include <QSet>
#include <QString>

#include <functional>
#include <list>
#include <memory>
#include <optional>
#include <vector>

struct sqlite3;

namespace db {
class SqliteStatement;
class StatementCache;
} // namespace db

namespace db::tsql {

class SqlFunctions;
struct Frame;
struct Variable;
class FrameEnvironment;
class FrameContext;

// Runs T-SQL on one embedded database as SQL Server runs it: batches sent by the client and the
// procedures installed in the database, from their text. Data statements are compiled to
// SQLite's dialect (StatementCompiler) and run there; procedural statements (variables, table
// variables, cursors, If and While, Exec, Try/Catch, transactions) run here.
//
// Errors behave as on SQL Server: most end only their statement (the batch goes on and the error
// reaches the client at the end), conversion failures and errors under Set XAct_Abort On end the
// batch, and Try/Catch catches both. Transactions nest by count (@@TranCount): an inner Commit
// only counts down, Rollback undoes everything. Cursors read their rows when they are opened.
class Interpreter {
public:
    Interpreter(sqlite3* database, Catalog& catalog, SqlFunctions& functions,
                StatementCache& statements, QString databaseName);
    ~Interpreter();

    Interpreter(const Interpreter&) = delete;
    Interpreter& operator=(const Interpreter&) = delete;

    // A batch from the client with its values for the text's ? markers; the first result that
    // has columns.
    ResultSet runBatch(const QString& text, const std::vector<SqlValue>& values);
    // A procedure the client calls by name, its parameters passed by name.
    int callProcedure(const QString& name, std::vector<ProcedureParam>& params);
    std::vector<ProcedureParameter> procedureParameters(const QString& name);

    // Create Database and Drop Database, which only the master database takes.
    std::function<void(const QString&)> createDatabase;
    std::function<void(const QString&)> dropDatabase;

    // Statements after which this connection's table definitions have to be read again.
    void schemaChanged();

private:
    friend class FrameEnvironment;
    friend class FrameContext;
    struct CompiledEntry;

public:
    struct Unit;

private:
    struct Results;
    enum class Flow { Next, Break, Continue, Return };

    // units and compiled statements
    std::shared_ptr<Unit> batchUnit(const QString& text, const std::vector<SqlType>& markerTypes);
    std::shared_ptr<Unit> procedureUnit(const QString& name);
    CompiledEntry& compiled(const Statement& statement, Frame& frame, int part,
                            const std::function<CompiledStatement(StatementCompiler&)>& compile);

    // running
    void runTopLevel(Frame& frame, const StatementList& statements, Results* results);
    Flow runList(const StatementList& statements, Frame& frame, Results* results);
    Flow runStatement(const Statement& statement, Frame& frame, Results* results);
    void handleError(TsqlError& error, Frame& frame);
    std::vector<std::vector<TsqlValue>> execute(CompiledEntry& entry, Frame& frame, bool wantRows,
                                                qint64* changes = nullptr);
    void executeSql(const QByteArray& sql);
    void runCompiledSteps(CompiledEntry& entry, Frame& frame);
    TsqlValue bindingValue(const Binding& binding, Frame& frame);

    Flow runSelect(const SelectStatement& statement, Frame& frame, Results* results);
    void runInsert(const InsertStatement& statement, Frame& frame);
    void runDeclare(const DeclareStatement& statement, Frame& frame);
    Variable& declareVariable(const VariableDeclaration& declaration, Frame& frame);
    // The frame's variable (key in lower case), or nullptr when the text declares none.
    Variable* findVariable(Frame& frame, const QString& key);
    void runSetVariable(const SetVariableStatement& statement, Frame& frame);
    void runSetOption(const SetOptionStatement& statement, Frame& frame);
    struct CallArgument;
    Flow runExec(const ExecStatement& statement, Frame& frame, Results* results);
    int runProcedure(const std::shared_ptr<Unit>& unit, Frame& caller,
                     std::vector<CallArgument>& arguments, Results* results);
    Flow runExecuteSql(const ExecStatement& statement, Frame& frame, Results* results);
    void runRename(const ExecStatement& statement, Frame& frame);
    Flow runTryCatch(const TryCatchStatement& statement, Frame& frame, Results* results);
    void runThrow(const SimpleStatement& statement, Frame& frame);
    void runRaisError(const RaisErrorStatement& statement, Frame& frame);
    void runTransaction(const SimpleStatement& statement, Frame& frame);
    void runCursor(const Statement& statement, Frame& frame);
    void runFetch(const FetchStatement& statement, Frame& frame);
    void runSchema(const Statement& statement, Frame& frame);

    // values
    bool isSimple(const Expr& expression, Frame& frame);
    TsqlValue evaluate(const Expr& expression, Frame& frame);
    SqlType staticType(const Expr& expression, Frame& frame);
    std::optional<bool> test(const Expr& condition, Frame& frame, const Statement& owner, int part);
    TsqlValue scalarValue(const Expr& expression, Frame& frame, const Statement& owner, int part);
    void assign(Frame& frame, const QString& variable, const TsqlValue& value, int line);
    TsqlValue sessionValue(const QString& name, Frame& frame);

    // transactions
    void beginTransaction();
    void commitTransaction();
    void rollbackTransaction();
    void checkWritable(const Statement& statement);
    void syncTransactionState();

    // scope
    void leaveFrame(Frame& frame) noexcept;
    // Table variables keep their rows when a transaction rolls back: their rows are read
    // before and put back after.
    struct TableVariableRows;
    std::vector<TableVariableRows> saveTableVariables();
    void restoreTableVariables(const std::vector<TableVariableRows>& saved);
    QString tableVariableName(const Frame& frame, const QString& variable) const;
    void checkDeclarations(const StatementList& statements, const QStringList& parameters);

    sqlite3* database_;
    Catalog& catalog_;
    SqlFunctions& functions_;
    StatementCache& statements_;
    QString databaseName_;

    // session
    int tranCount_ = 0;
    bool doomed_ = false;
    int tryDepth_ = 0;
    QString transactionName_;
    // The savepoints of the open transaction, the most recent last (names in lower case).
    QStringList savepoints_;
    std::optional<TsqlValue> identity_;
    qint64 rowCount_ = 0;
    int lastError_ = 0;
    int fetchStatus_ = -1;
    QSet<QString> identityInsert_;
    QHash<QString, QString> tableVariableShapes_; // instance name -> its definition
    // The highest identity number this session gave each table ("main.T"), put back after a
    // rollback: identity numbers are not given again.
    QHash<QString, qint64> identitiesGiven_;
    std::vector<TsqlError> pendingErrors_;
    // The frames being run, outermost first.
    std::vector<Frame*> frames_;

    QHash<QString, std::shared_ptr<Unit>> batches_;
    std::list<QString> batchOrder_;
    QHash<QString, std::shared_ptr<Unit>> procedures_;
    int procedureGeneration_ = -1;
};

} // namespace db::tsql
