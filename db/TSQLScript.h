#pragma once

#include "db/DatabaseError.h"
#include "db/ParamParser.h"
#include "db/TParams.h"

#include <QHash>
#include <QString>
#include <QStringList>

#include <exception>
#include <functional>
#include <initializer_list>

namespace db {

class Session;

// Raised by a script whose error hook chose to abort: the run ends quietly, nothing is shown.
class SilentAbort : public std::exception {
public:
    const char* what() const noexcept override { return "Operation aborted"; }
};

// What a script does after a failing statement, chosen by its error hook.
enum class ScriptErrorAction { Fail, Abort, Retry, Ignore, Continue };

// A multi-statement SQL text run statement by statement on a connection, each statement a
// request of its own (so a column added by one statement can be used by the next). Statements
// end at a line holding only the terminator ("/" by default), at the first semicolon of a
// line (when SemicolonTerm is on) and at the end of the text. Every statement commits by
// itself unless Transaction is on.
class TSQLScript {
public:
    using Notify = std::function<void(TSQLScript&)>;
    using ErrorHook = std::function<void(TSQLScript& sender, DatabaseError& error, int lineNo,
                                         int statementNo, ScriptErrorAction& action)>;
    // Receives every statement a dry run would send: its number, its line and its text.
    using DryRunSink = std::function<void(int statementNo, int lineNo, const QString& text)>;
    // How "continue" reports an error before going on; the application installs its own.
    using ExceptionDisplay = std::function<void(const DatabaseError&)>;

    struct ParamDeclaration {
        QString name;
        DataType type;
    };

    explicit TSQLScript(QString name = {}, Session* session = nullptr);

    const QString& name() const { return name_; }

    QString databaseName() const { return databaseName_; }
    void setDatabaseName(const QString& name) { databaseName_ = name; }
    bool ignoreParams() const { return ignoreParams_; }
    void setIgnoreParams(bool on) { ignoreParams_ = on; }
    bool semicolonTerm() const { return semicolonTerm_; }
    void setSemicolonTerm(bool on) { semicolonTerm_ = on; }
    QChar term() const { return term_; }
    void setTerm(QChar term) { term_ = term; }
    bool transaction() const { return transaction_; }
    void setTransaction(bool on) { transaction_ = on; }
    // The number of a script's first line in what it reports (errors, the hook, a dry run):
    // 0, as the suite's programs count, unless changed; 1 for a person reading the file.
    int firstLineNumber() const { return firstLineNumber_; }
    void setFirstLineNumber(int number) { firstLineNumber_ = number; }

    const QStringList& sql() const { return sql_; }
    // Replaces the text; the parameter list is rebuilt from it (surviving names keep their
    // values and types).
    void setSql(const QStringList& lines);
    void setSql(const QString& text);

    // Replaces the parameter list with fixed names and types, as stored with the script.
    void setParamData(std::initializer_list<ParamDeclaration> declarations);
    TParams& params() { return params_; }
    // The parameter with that name; raises "Parameter '%s' not found".
    TParam& param(const QString& name);

    void setBeforeExec(Notify hook) { beforeExec_ = std::move(hook); }
    void setAfterExec(Notify hook) { afterExec_ = std::move(hook); }
    void setOnScriptError(ErrorHook hook) { onScriptError_ = std::move(hook); }
    // With a sink set, no connection is opened and nothing is sent: each statement that would
    // run, its parameters checked, goes to the sink instead.
    void setDryRun(DryRunSink sink) { dryRun_ = std::move(sink); }

    static void setExceptionDisplay(ExceptionDisplay display);

    // Runs every statement in order.
    void execute();
    // Runs only the statement with that zero-based number (empty statements not counted).
    void executeStatement(int statementNo);

private:
    void run(int wanted);
    void statementLoop(int wanted);
    void runStatement(const QStringList& buffer, int lineNo, int statementNo);
    void send(const QString& text, int lineNo, int statementNo);

    QString name_;
    Session* session_;
    QString databaseName_;
    bool ignoreParams_ = false;
    bool semicolonTerm_ = true;
    QChar term_ = '/';
    bool transaction_ = false;
    int firstLineNumber_ = 0;
    QStringList sql_;
    // Statements already split into text and parameter references, by their text: a script
    // run once per product parses each of its statements once.
    QHash<QString, ParsedStatement> parsed_;
    TParams params_;
    Notify beforeExec_;
    Notify afterExec_;
    ErrorHook onScriptError_;
    DryRunSink dryRun_;
};

} // namespace db
